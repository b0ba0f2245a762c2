// The host program's command line.
#ifndef HOST_HOST_OPTIONS_H_
#define HOST_HOST_OPTIONS_H_

#include <optional>
#include <string>
#include <vector>

namespace kelmor_host {

struct MethodCallSpec {
  std::string method;
  std::optional<std::string> arguments_json;  // absent: no arguments
};

struct HostOptions {
  bool help = false;
  std::string library;  // empty: the default beside the program
  std::string export_name = "KelmorPluginCApiRegisterWithRegistrar";
  std::string channel = "kelmor";
  std::optional<std::string> windows_version;  // off Windows only
  std::vector<MethodCallSpec> calls;
};

// False, with a reason in `error`, for options it does not understand.
bool ParseHostOptions(const std::vector<std::string>& args,
                      HostOptions* options, std::string* error);

std::string HostUsage();

}  // namespace kelmor_host

#endif  // HOST_HOST_OPTIONS_H_
