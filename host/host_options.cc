#include "host_options.h"

#include "flutter/standard_codec_serializer.h"
#include "json_value.h"

namespace kelmor_host {

namespace {

// "--name=value" or "--name value"; advances `index` past what it used.
bool TakeValue(const std::vector<std::string>& args, size_t* index,
               const std::string& name, std::string* value,
               std::string* error) {
  const std::string& arg = args[*index];
  if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
      arg[name.size()] == '=') {
    *value = arg.substr(name.size() + 1);
    return true;
  }
  if (*index + 1 >= args.size()) {
    *error = "option " + name + " needs a value";
    return false;
  }
  *value = args[++*index];
  return true;
}

bool IsOption(const std::string& arg, const std::string& name) {
  return arg == name || arg.compare(0, name.size() + 1, name + "=") == 0;
}

}  // namespace

bool ParseHostOptions(const std::vector<std::string>& args,
                      HostOptions* options, std::string* error) {
  bool only_calls = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!only_calls && arg == "--") {
      only_calls = true;
    } else if (!only_calls && (arg == "--help" || arg == "-h")) {
      options->help = true;
    } else if (!only_calls && IsOption(arg, "--library")) {
      if (!TakeValue(args, &i, "--library", &options->library, error))
        return false;
    } else if (!only_calls && IsOption(arg, "--export")) {
      if (!TakeValue(args, &i, "--export", &options->export_name, error))
        return false;
    } else if (!only_calls && IsOption(arg, "--channel")) {
      if (!TakeValue(args, &i, "--channel", &options->channel, error))
        return false;
    } else if (!only_calls && IsOption(arg, "--windows-version")) {
      std::string version;
      if (!TakeValue(args, &i, "--windows-version", &version, error))
        return false;
      options->windows_version = version;
    } else if (!only_calls && arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else {
      const size_t equals = arg.find('=');
      MethodCallSpec call;
      call.method = arg.substr(0, equals);
      if (equals != std::string::npos)
        call.arguments_json = arg.substr(equals + 1);
      options->calls.push_back(std::move(call));
    }
  }
  if (!options->help && options->calls.empty()) {
    *error = "no method to call";
    return false;
  }
  return true;
}

std::string HostUsage() {
  return R"(Usage: kelmor_host [options] METHOD[=JSON] ...

Loads a plugin library, registers it with a stand-in engine, sends each
METHOD on the plugin's channel (with the JSON value as its arguments, when
given) and prints each reply on its own line:
  METHOD: success VALUE
  METHOD: error code=CODE message=MESSAGE details=VALUE
  METHOD: not implemented

Options:
  --library PATH           the plugin library (default: beside this program)
  --export NAME            its registration export
                           (default: KelmorPluginCApiRegisterWithRegistrar)
  --channel NAME           the method channel (default: kelmor)
  --windows-version M.N[.SP]
                           the Windows version the stand-in reports
                           (not on Windows, where Windows itself answers;
                           default 10.0)
  --help                   this text
  --                       what follows is methods, even if it starts with -

JSON objects become maps with string keys; whole numbers become int32 or
int64 by size. A JSON text is refused when it is longer than )" +
         std::to_string(kMaxJsonTextBytes >> 20) +
         R"( MiB or nests
arrays and objects deeper than )" +
         std::to_string(flutter::kMaxNestingDepth) +
         R"( levels.

Exit codes: 0 done, 2 bad options or JSON, 3 the library does not load,
4 the library lacks the export.
)";
}

}  // namespace kelmor_host
