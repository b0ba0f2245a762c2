// kelmor_host: runs a plugin library against the stand-in engine and drives
// its method or event channel from the command line.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "flutter/event_channel.h"
#include "flutter/standard_method_codec.h"
#include "host_options.h"
#include "json_value.h"
#include "message_loop.h"
#include "plugin_library.h"
#include "standin_engine.h"
#include "traffic_text.h"
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "utf16_text.h"
#else
#include "windows_version.h"
#endif

namespace {

using flutter::EncodableValue;
using kelmor_host::HostOptions;
using kelmor_host::MethodCallSpec;

// The statuses --help and the README document.
enum ExitCode {
  kAllSucceeded = 0,
  kSomeCallFailed = 1,
  kBadUsage = 2,
  kLibraryNotLoaded = 3,
  kExportMissing = 4,
};

using Bytes = std::vector<uint8_t>;

// Encodes every call first, so that bad JSON stops the run before anything
// is sent.
bool EncodeCalls(const std::vector<MethodCallSpec>& calls,
                 std::vector<Bytes>* messages) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  for (const MethodCallSpec& requested : calls) {
    std::unique_ptr<EncodableValue> arguments;
    if (requested.arguments_json) {
      arguments = std::make_unique<EncodableValue>();
      std::string error;
      if (!kelmor_host::EncodableValueFromJson(*requested.arguments_json,
                                               arguments.get(), &error)) {
        std::cerr << "kelmor_host: arguments of " << requested.method << ": "
                  << error << std::endl;
        return false;
      }
    }
    flutter::MethodCall<> call(requested.method, std::move(arguments));
    messages->push_back(*codec.EncodeMethodCall(call));
  }
  return true;
}

// The envelope that answers calls to the application side, a success with
// the value of `json`; `what` names the text in a refusal.
bool EncodeSuccess(const std::string& json, const std::string& what,
                   Bytes* answer) {
  EncodableValue value;
  std::string error;
  if (!kelmor_host::EncodableValueFromJson(json, &value, &error)) {
    std::cerr << "kelmor_host: " << what << ": " << error << std::endl;
    return false;
  }
  *answer = *flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(
      &value);
  return true;
}

// How the host answers calls to the application side: by method, else
// every call alike; neither: not implemented.
struct Answers {
  std::optional<Bytes> every_call;
  std::map<std::string, Bytes> by_method;

  // None: "not implemented".
  const Bytes* For(const std::string& method) const {
    const auto found = by_method.find(method);
    if (found != by_method.end()) return &found->second;
    return every_call ? &*every_call : nullptr;
  }
};

bool EncodeAnswers(const HostOptions& options, Answers* answers) {
  if (options.answer_json) {
    answers->every_call.emplace();
    if (!EncodeSuccess(*options.answer_json, "--answer",
                       &*answers->every_call)) {
      return false;
    }
  }
  for (const kelmor_host::MethodAnswer& answer : options.method_answers) {
    Bytes& bytes = answers->by_method[answer.method];
    if (answer.error_code) {
      bytes = *flutter::StandardMethodCodec::GetInstance().EncodeErrorEnvelope(
          *answer.error_code, answer.error_message);
    } else if (!EncodeSuccess(*answer.json, "--answer " + answer.method,
                              &bytes)) {
      return false;
    }
  }
  return true;
}

bool ApplyWindowsVersion(const HostOptions& options) {
  if (!options.windows_version) return true;
#ifdef _WIN32
  std::cerr << "kelmor_host: --windows-version is not available on Windows, "
               "where Windows reports its own version"
            << std::endl;
  return false;
#else
  standin::WindowsVersion version;
  if (!standin::ParseWindowsVersion(*options.windows_version, &version)) {
    std::cerr << "kelmor_host: bad --windows-version "
              << *options.windows_version << " (expected MAJOR.MINOR[.SP])"
              << std::endl;
    return false;
  }
  standin::SetWindowsVersion(version);
  return true;
#endif
}

// How the host answers the plugin's calls to the application side, and how
// many it has printed and answered so far.
struct ApplicationSide {
  Answers answers;
  size_t limit = 0;  // --max-application-calls
  size_t printed = 0;
  std::string channel;       // --channel
  size_t streams_ended = 0;  // ends of stream printed on it
};

// Prints each message the plugin sent to the application side since the
// last ones printed and answers each that waits for a reply. An answer may
// lead the plugin to send more; those follow, until it sends no more. False,
// with one line on the standard error, at the first message past the limit:
// a plugin may answer each answer with another call.
bool AnswerApplicationSide(standin::Engine& engine, ApplicationSide* side) {
  for (std::vector<standin::SentMessage> sent =
           engine.SendsSince(side->printed);
       !sent.empty(); sent = engine.SendsSince(side->printed)) {
    for (const standin::SentMessage& message : sent) {
      if (side->printed == side->limit) {
        std::cerr << "kelmor_host: stopped: the plugin called the application "
                     "side more than "
                  << side->limit << " times (--max-application-calls)"
                  << std::endl;
        return false;
      }
      const kelmor_host::SentText text = kelmor_host::DescribeSent(message);
      std::cout << text.line << std::endl;
      if (text.end_of_stream && message.channel == side->channel) {
        ++side->streams_ended;
      }
      // What is no method call gets no envelope: an empty reply.
      const Bytes* answer =
          text.method_call ? side->answers.For(text.method) : nullptr;
      if (answer) {
        engine.AnswerSend(side->printed, *answer);
      } else {
        engine.AnswerSendEmpty(side->printed);
      }
      ++side->printed;
    }
  }
  return true;
}

// Runs the tasks the plugin posted to the engine's thread, as an
// application's message loop would, and answers what it sent, until neither
// brings anything new. False as AnswerApplicationSide says.
bool Settle(standin::Engine& engine, ApplicationSide* side) {
  do {
    if (!AnswerApplicationSide(engine, side)) return false;
  } while (standin::RunPendingMessages() > 0);
  return true;
}

// The calls delivered so far and how many of their replies are printed.
struct Replies {
  std::vector<standin::MessageTicket> tickets;
  size_t printed = 0;
  int status = kAllSucceeded;
  // The last listen, when no cancel followed it, and how many streams had
  // ended before it was sent.
  std::optional<standin::MessageTicket> listen;
  size_t ends_before_listen = 0;
};

// Whether a stream on the channel started and has not ended: its listen
// was answered with success, and neither a cancel nor its end followed.
bool StreamOpen(const standin::Engine& engine, const ApplicationSide& side,
                const Replies& replies) {
  return replies.listen && side.streams_ended == replies.ends_before_listen &&
         kelmor_host::DescribeResponse(engine.GetResponse(*replies.listen))
             .success;
}

bool Answered(const standin::Engine& engine, standin::MessageTicket ticket) {
  const standin::Response response = engine.GetResponse(ticket);
  return !response.delivered || response.times_sent > 0;
}

// Prints the reply to each delivered call not printed yet, in the calls'
// order; with `answered_only`, it stops at the first call still unanswered,
// which may yet be answered.
void PrintReplies(const standin::Engine& engine,
                  const std::vector<MethodCallSpec>& calls, bool answered_only,
                  Replies* replies) {
  for (; replies->printed < replies->tickets.size(); ++replies->printed) {
    const standin::MessageTicket ticket = replies->tickets[replies->printed];
    if (answered_only && !Answered(engine, ticket)) return;
    const kelmor_host::ReplyText reply =
        kelmor_host::DescribeResponse(engine.GetResponse(ticket));
    std::cout << kelmor_host::MethodNameText(calls[replies->printed].method)
              << ": " << reply.line << std::endl;
    if (!reply.success) replies->status = kSomeCallFailed;
  }
}

// Longer than any run waits; keeps the deadline's arithmetic in range.
constexpr size_t kMaxWaitSeconds = 100000000;

// Runs the engine's thread, as an application's message loop would, until
// every call is answered and a stream they started has ended, or --wait's
// time is up: posted tasks run, what the plugin sends is printed and
// answered as it arrives, and each reply is printed once those before it
// are. False as AnswerApplicationSide says.
bool WaitForReplies(standin::Engine& engine, const HostOptions& options,
                    ApplicationSide* side, Replies* replies) {
  const auto deadline =
      std::chrono::steady_clock::now() +
      std::chrono::seconds(std::min(*options.wait_seconds, kMaxWaitSeconds));
  auto done = [&] {
    return replies->printed == replies->tickets.size() &&
           !StreamOpen(engine, *side, *replies);
  };
  // Something to print: a message from the plugin or the next reply.
  auto news = [&] {
    return done() || !engine.SendsSince(side->printed).empty() ||
           (replies->printed < replies->tickets.size() &&
            Answered(engine, replies->tickets[replies->printed]));
  };
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    const bool in_time =
        left.count() > 0 && standin::RunMessagesUntil(news, left);
    if (!Settle(engine, side)) return false;
    PrintReplies(engine, options.calls, true, replies);
    if (!in_time) return true;
  }
  return true;
}

int Run(HostOptions options) {
  if (!ApplyWindowsVersion(options)) return kBadUsage;
  std::string error;
  if (!kelmor_host::ReadJsonFiles(&options, &error)) {
    std::cerr << "kelmor_host: " << error << std::endl;
    return kBadUsage;
  }
  std::vector<Bytes> messages;
  ApplicationSide side;
  side.limit = options.max_application_calls;
  side.channel = options.channel;
  if (!EncodeCalls(options.calls, &messages) ||
      !EncodeAnswers(options, &side.answers)) {
    return kBadUsage;
  }

  const std::string path = options.library.empty()
                               ? kelmor_host::DefaultPluginPath()
                               : options.library;
  auto library = kelmor_host::PluginLibrary::Open(path, &error);
  if (!library) {
    std::cerr << "kelmor_host: cannot load " << path << ": " << error
              << std::endl;
    return kLibraryNotLoaded;
  }
  auto register_plugin =
      library->FindRegisterFunction(options.export_name, &error);
  if (register_plugin == nullptr) {
    std::cerr << "kelmor_host: " << path << " does not export "
              << options.export_name << std::endl;
    return kExportMissing;
  }

  // Torn down before the library, which holds the plugin's code. Stopped at
  // the limit, the run leaves the rest to the engine's destructor.
  standin::Engine engine;
  FlutterDesktopPluginRegistrarRef registrar = engine.CreateRegistrar();
  register_plugin(registrar);
  if (!Settle(engine, &side)) return kSomeCallFailed;
  Replies replies;
  for (size_t i = 0; i < messages.size(); ++i) {
    replies.tickets.push_back(
        engine.Deliver(registrar, options.channel, messages[i]));
    if (options.calls[i].method == flutter::kListenMethod) {
      replies.listen = replies.tickets.back();
      replies.ends_before_listen = side.streams_ended;
    } else if (options.calls[i].method == flutter::kCancelMethod) {
      replies.listen.reset();
    }
    // Answered first, so that a plugin that answers with what came back
    // from the application side, or from a task, has answered by now.
    if (!Settle(engine, &side)) return kSomeCallFailed;
    PrintReplies(engine, options.calls, options.wait_seconds.has_value(),
                 &replies);
  }
  if (options.wait_seconds && !WaitForReplies(engine, options, &side, &replies))
    return kSomeCallFailed;
  PrintReplies(engine, options.calls, false, &replies);
  engine.DestroyRegistrar(registrar);
  // What the plugin sent as it was torn down.
  if (!AnswerApplicationSide(engine, &side)) return kSomeCallFailed;
  return replies.status;
}

int Main(const std::vector<std::string>& args) {
  HostOptions options;
  std::string error;
  if (!kelmor_host::ParseHostOptions(args, &options, &error)) {
    std::cerr << "kelmor_host: " << error << "\n\n" << kelmor_host::HostUsage();
    return kBadUsage;
  }
  if (options.help) {
    std::cout << kelmor_host::HostUsage();
    return kAllSucceeded;
  }
  return Run(std::move(options));
}

}  // namespace

#ifdef _WIN32
// The command line as Windows holds it, in UTF-16, taken into UTF-8; output
// is UTF-8 too, and a console is told so for the run.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(kelmor_host::Utf8FromWide(std::wstring(argv[i])));
  }
  // Lines end in "\n" alone, as elsewhere, so output compares byte for byte.
  _setmode(_fileno(stdout), _O_BINARY);
  const UINT console_page = GetConsoleOutputCP();
  if (console_page != 0) SetConsoleOutputCP(CP_UTF8);
  const int status = Main(args);
  if (console_page != 0) SetConsoleOutputCP(console_page);
  return status;
}
#else
int main(int argc, char** argv) {
  return Main(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
