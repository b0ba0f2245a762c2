#include "host_options.h"

#include <charconv>
#include <system_error>

#include "flutter/standard_codec_serializer.h"
#include "json_file.h"
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

// Files a JSON text `value` into `json` or, for "@PATH", `file`. `what`
// names the text in a refusal; `standard_input_uses` counts "@-".
bool TakeJson(const std::string& value, const std::string& what,
              std::optional<std::string>* json,
              std::optional<std::string>* file, int* standard_input_uses,
              std::string* error) {
  // A text given again replaces the earlier one, standard input included.
  if (*file == std::optional<std::string>(kStandardInputPath)) {
    --*standard_input_uses;
  }
  json->reset();
  file->reset();
  if (value.empty() || value[0] != '@') {
    *json = value;
    return true;
  }
  if (value.size() == 1) {
    *error = what + ": no file name after @";
    return false;
  }
  *file = value.substr(1);
  if (**file == kStandardInputPath && ++*standard_input_uses > 1) {
    *error = "standard input (@-) can give only one JSON text a run";
    return false;
  }
  return true;
}

// A count: decimal digits only, no sign, no more than size_t holds.
bool TakeCount(const std::string& name, const std::string& value, size_t* count,
               std::string* error) {
  const char* end = value.data() + value.size();
  const auto parsed = std::from_chars(value.data(), end, *count);
  if (value.empty() || parsed.ec != std::errc() || parsed.ptr != end) {
    *error =
        "bad " + name + " " + value + " (expected a whole number, 0 or more)";
    return false;
  }
  return true;
}

// The answer for `method`, made when there is none yet: a method named
// again has its answer replaced.
MethodAnswer* AnswerFor(const std::string& method, HostOptions* options) {
  for (MethodAnswer& answer : options->method_answers) {
    if (answer.method == method) return &answer;
  }
  options->method_answers.push_back({});
  options->method_answers.back().method = method;
  return &options->method_answers.back();
}

// Where "METHOD=" ends in an --answer value, or npos when the value is a
// JSON text alone. Valid JSON has a '=' only inside a string, so a quote,
// bracket or '@' before it means there is no method.
size_t MethodEnd(const std::string& value) {
  const size_t equals = value.find('=');
  if (equals == 0 || equals == std::string::npos ||
      value.find_first_of("\"{[@") < equals) {
    return std::string::npos;
  }
  return equals;
}

bool TakeAnswer(const std::string& value, HostOptions* options,
                int* standard_input_uses, std::string* error) {
  const size_t equals = MethodEnd(value);
  if (equals == std::string::npos) {
    return TakeJson(value, "--answer", &options->answer_json,
                    &options->answer_file, standard_input_uses, error);
  }
  const std::string method = value.substr(0, equals);
  MethodAnswer* answer = AnswerFor(method, options);
  answer->error_code.reset();
  return TakeJson(value.substr(equals + 1), "--answer " + method, &answer->json,
                  &answer->file, standard_input_uses, error);
}

// METHOD=CODE[:MESSAGE], neither METHOD nor CODE empty.
bool TakeErrorAnswer(const std::string& value, HostOptions* options,
                     int* standard_input_uses, std::string* error) {
  const size_t equals = value.find('=');
  const size_t colon = value.find(':', equals);
  if (equals == 0 || equals == std::string::npos ||
      equals + 1 == value.size() || colon == equals + 1) {
    *error =
        "bad --answer-error " + value + " (expected METHOD=CODE[:MESSAGE])";
    return false;
  }
  MethodAnswer* answer = AnswerFor(value.substr(0, equals), options);
  // What it replaces may have held standard input.
  if (answer->file == std::optional<std::string>(kStandardInputPath)) {
    --*standard_input_uses;
  }
  answer->file.reset();
  answer->json.reset();
  answer->error_code = value.substr(equals + 1, colon - equals - 1);
  answer->error_message =
      colon == std::string::npos ? std::string() : value.substr(colon + 1);
  return true;
}

}  // namespace

bool ParseHostOptions(const std::vector<std::string>& args,
                      HostOptions* options, std::string* error) {
  bool only_calls = false;
  int standard_input_uses = 0;
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
    } else if (!only_calls && IsOption(arg, "--answer")) {
      std::string answer;
      if (!TakeValue(args, &i, "--answer", &answer, error) ||
          !TakeAnswer(answer, options, &standard_input_uses, error)) {
        return false;
      }
    } else if (!only_calls && IsOption(arg, "--answer-error")) {
      std::string answer;
      if (!TakeValue(args, &i, "--answer-error", &answer, error) ||
          !TakeErrorAnswer(answer, options, &standard_input_uses, error)) {
        return false;
      }
    } else if (!only_calls && IsOption(arg, "--max-application-calls")) {
      std::string count;
      if (!TakeValue(args, &i, "--max-application-calls", &count, error) ||
          !TakeCount("--max-application-calls", count,
                     &options->max_application_calls, error)) {
        return false;
      }
    } else if (!only_calls && IsOption(arg, "--wait")) {
      std::string seconds;
      size_t count = 0;
      if (!TakeValue(args, &i, "--wait", &seconds, error) ||
          !TakeCount("--wait", seconds, &count, error)) {
        return false;
      }
      options->wait_seconds = count;
    } else if (!only_calls && arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else {
      const size_t equals = arg.find('=');
      MethodCallSpec call;
      call.method = arg.substr(0, equals);
      if (equals != std::string::npos &&
          !TakeJson(arg.substr(equals + 1), "arguments of " + call.method,
                    &call.arguments_json, &call.arguments_file,
                    &standard_input_uses, error)) {
        return false;
      }
      options->calls.push_back(std::move(call));
    }
  }
  if (!options->help && options->calls.empty()) {
    *error = "no method to call";
    return false;
  }
  return true;
}

namespace {

// Reads a text still to be read from `file` into `json`; `label` names it in
// a refusal.
bool ReadPendingFile(std::optional<std::string>* file,
                     std::optional<std::string>* json, const std::string& label,
                     std::string* error) {
  if (!*file) return true;
  std::string text;
  std::string reason;
  if (!ReadJsonFile(**file, &text, &reason)) {
    *error = label + reason;
    return false;
  }
  *json = std::move(text);
  file->reset();
  return true;
}

}  // namespace

bool ReadJsonFiles(HostOptions* options, std::string* error) {
  for (MethodCallSpec& call : options->calls) {
    if (!ReadPendingFile(&call.arguments_file, &call.arguments_json,
                         "arguments of " + call.method + ": ", error)) {
      return false;
    }
  }
  for (MethodAnswer& answer : options->method_answers) {
    if (!ReadPendingFile(&answer.file, &answer.json,
                         "--answer " + answer.method + ": ", error)) {
      return false;
    }
  }
  return ReadPendingFile(&options->answer_file, &options->answer_json,
                         "--answer: ", error);
}

std::string HostUsage() {
  return R"usage(Usage: kelmor_host [options] METHOD[=JSON | =@FILE | =@-] ...

Loads a plugin library, registers it with a stand-in engine, sends each
METHOD on the plugin's channel (with the JSON value as its arguments, when
given) and prints each reply on its own line, in the calls' order:
  METHOD: success VALUE
  METHOD: error code="CODE" message="MESSAGE" details=VALUE
  METHOD: not implemented
  METHOD: no reply
  METHOD: no handler on the channel
  METHOD: undecodable reply HEX
(METHOD quoted when it is empty or has spaces, quotes or control
characters). Before that reply, it prints each message the plugin sent,
as it arrives, and answers each call among them (not implemented, unless
--answer says otherwise):
  application call on "CHANNEL": NAME VALUE
  event on "CHANNEL": VALUE
  event on "CHANNEL": error code="CODE" message="MESSAGE" details=VALUE
  event on "CHANNEL": end of stream
  message on "CHANNEL": VALUE
  application message on "CHANNEL": undecodable, N bytes: HEX
A method call (a string, then one value) has " (no reply wanted)" after it
when sent without asking for an answer, and NAME quoted when it has spaces,
quotes or control characters. An event is a success or error envelope, and
an empty message ends its stream; a plain message is one value. Each must be
the whole message, with nothing cut short or after it, or it is
undecodable. On an event channel, "listen=JSON" starts the stream and
"cancel" stops it, as calls like any other.
A run answers at most --max-application-calls of these; at the next one
it says so on the standard error, sends nothing more and exits 1.

Options:
  --library PATH           the plugin library (default: beside this program,
                           or in ../lib when installed);
                           a bare file name is one in the current folder
  --export NAME            its registration export
                           (default: KelmorPluginCApiRegisterWithRegistrar)
  --channel NAME           the method or event channel the calls go to
                           (default: kelmor)
  --answer JSON | @FILE | @-
                           answer the plugin's calls to the application side
                           with success and this value
  --answer METHOD=JSON | METHOD=@FILE | METHOD=@-
                           answer its calls of METHOD so, ahead of the
                           answer to every call (a '=' before any quote,
                           bracket or @ names a method)
  --answer-error METHOD=CODE[:MESSAGE]
                           answer its calls of METHOD with this error
                           (details null); each METHOD given again replaces
                           its answer
  --max-application-calls N
                           answer at most N calls and messages to the
                           application side (default: )usage" +
         std::to_string(kDefaultMaxApplicationCalls) + R"usage()
  --wait SECONDS           after sending the calls, run the engine's thread
                           (the plugin's posted tasks, its late replies and
                           what it sends) until every call is answered and a
                           stream a listen started has ended or been
                           cancelled, or for at most SECONDS; a call
                           unanswered by then prints "no reply". Without it,
                           the run waits for nothing that does not come at
                           once
  --windows-version M.N[.SP]
                           the Windows version the stand-in reports
                           (not on Windows, where Windows itself answers;
                           default 10.0)
  --help                   this text
  --                       what follows is methods, even if it starts with -

A JSON text is given inline, or as @FILE to read it from a file, or as @- to
read it from standard input (once a run). A command line holds at most 32767
characters on Windows and 128 KiB per argument on Linux: give longer
arguments as @FILE. JSON objects become maps with string keys; numbers with
a fraction or an exponent become doubles, and whole numbers int32 or int64
by size (beyond int64 they are refused). Typed lists are written as they
print: int32[1, 2], int64[...], uint8[...], float32[...], float64[...].
Doubles print as the shortest text that reads back to the same double,
and a whole one keeps its point (2.0). A JSON text is refused when it is
longer than )usage" +
         std::to_string(kMaxJsonTextBytes >> 20) +
         " MiB or nests arrays and objects deeper than " +
         std::to_string(flutter::kMaxNestingDepth) + R"usage( levels.

Exit status:
  0  every call was answered with success
  1  some call was answered with an error or not implemented, or got no
     reply, or had no handler, or got a reply that does not decode; or the
     plugin went past --max-application-calls
  2  bad options, JSON or argument file; nothing was sent
  3  the library does not load
  4  the library lacks the export
)usage";
}

}  // namespace kelmor_host
