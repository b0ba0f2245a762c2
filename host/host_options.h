// The host program's command line.
//
// A JSON text on it (a method's arguments, --answer's value) is given inline
// or as "@PATH", the contents of the file at PATH; "@-" is standard input,
// which one run reads at most once. ParseHostOptions only notes the file;
// ReadJsonFiles reads it in.
#ifndef HOST_HOST_OPTIONS_H_
#define HOST_HOST_OPTIONS_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "json_file.h"

namespace kelmor_host {

// How many calls to the application side a run answers unless
// --max-application-calls says otherwise: more than any run driven by hand
// makes, and few enough that a plugin calling without end is stopped
// within seconds.
inline constexpr size_t kDefaultMaxApplicationCalls = 10000;

struct MethodCallSpec {
  std::string method;
  std::optional<std::string> arguments_json;  // absent: no arguments
  // "METHOD=@PATH": arguments_json is still to be read from PATH.
  std::optional<std::string> arguments_file;
};

// How the host answers the plugin's calls of one method on the application
// side: with success and a JSON value, or with an error.
struct MethodAnswer {
  std::string method;
  std::optional<std::string> json;        // for a success
  std::optional<std::string> file;        // "METHOD=@PATH", still to read
  std::optional<std::string> error_code;  // set: an error, not a success
  std::string error_message;
};

struct HostOptions {
  bool help = false;
  std::string library;  // empty: the default beside the program
  std::string export_name = "KelmorPluginCApiRegisterWithRegistrar";
  std::string channel = "kelmor";
  std::optional<std::string> windows_version;  // off Windows only
  // The success value that answers the plugin's calls to the application
  // side; absent: they are answered "not implemented".
  std::optional<std::string> answer_json;
  std::optional<std::string> answer_file;  // "--answer @PATH", still to read
  // --answer METHOD=JSON and --answer-error METHOD=CODE[:MESSAGE], one for
  // each method named, ahead of the answer to every call.
  std::vector<MethodAnswer> method_answers;
  // At the call past this many the run stops.
  size_t max_application_calls = kDefaultMaxApplicationCalls;
  // --wait: how long the run goes on, after the calls are sent, for late
  // replies; absent: it settles at once.
  std::optional<size_t> wait_seconds;
  std::vector<MethodCallSpec> calls;
};

// False, with a reason in `error`, for options it does not understand, an
// "@" without a path, standard input asked for twice, or a count that is no
// whole number.
bool ParseHostOptions(const std::vector<std::string>& args,
                      HostOptions* options, std::string* error);

// Reads every "@PATH" JSON text into its place. False, with a one-line
// reason naming what the text was for, when a file cannot be read or is
// longer than kMaxJsonTextBytes; what was read so far stays read.
bool ReadJsonFiles(HostOptions* options, std::string* error);

std::string HostUsage();

}  // namespace kelmor_host

#endif  // HOST_HOST_OPTIONS_H_
