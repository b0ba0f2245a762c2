// kelmor_host: runs a plugin library against the stand-in engine and drives
// its method channel from the command line.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "flutter/standard_method_codec.h"
#include "host_options.h"
#include "json_value.h"
#include "plugin_library.h"
#include "standin_engine.h"
#include "traffic_text.h"
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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

// The success envelope that answers calls to the application side; none
// without --answer, and they are answered not implemented.
bool EncodeAnswer(const HostOptions& options, std::optional<Bytes>* answer) {
  if (!options.answer_json) return true;
  EncodableValue value;
  std::string error;
  if (!kelmor_host::EncodableValueFromJson(*options.answer_json, &value,
                                           &error)) {
    std::cerr << "kelmor_host: --answer: " << error << std::endl;
    return false;
  }
  *answer = *flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(
      &value);
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

// Prints each message the plugin sent to the application side since
// `*printed` and answers each that waits for a reply. An answer may lead the
// plugin to send more; those follow, until it sends no more.
void AnswerApplicationSide(standin::Engine& engine,
                           const std::optional<Bytes>& answer,
                           size_t* printed) {
  for (std::vector<standin::SentMessage> sent = engine.Sends();
       *printed < sent.size(); sent = engine.Sends()) {
    for (; *printed < sent.size(); ++*printed) {
      const kelmor_host::SentText text =
          kelmor_host::DescribeSent(sent[*printed]);
      std::cout << text.line << std::endl;
      // What is no method call gets no envelope: an empty reply.
      if (answer && text.method_call) {
        engine.AnswerSend(*printed, *answer);
      } else {
        engine.AnswerSendEmpty(*printed);
      }
    }
  }
}

int Run(HostOptions options) {
  if (!ApplyWindowsVersion(options)) return kBadUsage;
  std::string error;
  if (!kelmor_host::ReadJsonFiles(&options, &error)) {
    std::cerr << "kelmor_host: " << error << std::endl;
    return kBadUsage;
  }
  std::vector<Bytes> messages;
  std::optional<Bytes> answer;
  if (!EncodeCalls(options.calls, &messages) ||
      !EncodeAnswer(options, &answer)) {
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

  standin::Engine engine;
  FlutterDesktopPluginRegistrarRef registrar = engine.CreateRegistrar();
  register_plugin(registrar);
  size_t printed = 0;
  AnswerApplicationSide(engine, answer, &printed);
  int status = kAllSucceeded;
  for (size_t i = 0; i < messages.size(); ++i) {
    const auto ticket = engine.Deliver(registrar, options.channel, messages[i]);
    // Answered first, so that a plugin that answers with what came back
    // from the application side has answered by now.
    AnswerApplicationSide(engine, answer, &printed);
    const kelmor_host::ReplyText reply =
        kelmor_host::DescribeResponse(engine.GetResponse(ticket));
    std::cout << kelmor_host::MethodNameText(options.calls[i].method) << ": "
              << reply.line << std::endl;
    if (!reply.success) status = kSomeCallFailed;
  }
  engine.DestroyRegistrar(registrar);
  // What the plugin sent as it was torn down.
  AnswerApplicationSide(engine, answer, &printed);
  return status;
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
