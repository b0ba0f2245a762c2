// kelmor_host: runs a plugin library against the stand-in engine and drives
// its method channel from the command line.
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "flutter/standard_method_codec.h"
#include "host_options.h"
#include "json_value.h"
#include "plugin_library.h"
#include "standin_engine.h"
#include "value_text.h"
#ifndef _WIN32
#include "windows_version.h"
#endif

namespace {

using flutter::EncodableValue;
using kelmor_host::HostOptions;
using kelmor_host::MethodCallSpec;
using kelmor_host::QuoteText;
using kelmor_host::ValueToText;

enum ExitCode {
  kDone = 0,
  kBadUsage = 2,
  kLibraryNotLoaded = 3,
  kExportMissing = 4,
};

// Turns a decoded reply envelope into the line the host prints.
class ReplyPrinter : public flutter::MethodResult<EncodableValue> {
 public:
  std::string line;

 protected:
  void HandleSuccess(const EncodableValue* result) override {
    line = "success " + (result ? ValueToText(*result) : std::string("null"));
  }
  void HandleError(const std::string& code, const std::string& message,
                   const EncodableValue* details) override {
    line = "error code=" + QuoteText(code) + " message=" + QuoteText(message) +
           " details=" + (details ? ValueToText(*details) : "null");
  }
  void HandleNotImplemented() override { line = "not implemented"; }
};

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::ostringstream out;
  out << std::hex << std::uppercase;
  for (uint8_t byte : bytes) out << (byte < 16 ? " 0" : " ") << int(byte);
  return out.str();
}

std::string DescribeResponse(const standin::Response& response) {
  if (!response.delivered) return "no handler on the channel";
  if (response.times_sent == 0) return "no reply";
  if (response.bytes.empty()) return "not implemented";
  ReplyPrinter printer;
  if (!flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(
          response.bytes.data(), response.bytes.size(), &printer)) {
    return "undecodable reply" + Hex(response.bytes);
  }
  return printer.line;
}

// Encodes every call first, so that bad JSON stops the run before anything
// is sent.
bool EncodeCalls(const std::vector<MethodCallSpec>& calls,
                 std::vector<std::vector<uint8_t>>* messages) {
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

int Run(const HostOptions& options) {
  if (!ApplyWindowsVersion(options)) return kBadUsage;
  std::vector<std::vector<uint8_t>> messages;
  if (!EncodeCalls(options.calls, &messages)) return kBadUsage;

  const std::string path = options.library.empty()
                               ? kelmor_host::DefaultPluginPath()
                               : options.library;
  std::string error;
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
  for (size_t i = 0; i < messages.size(); ++i) {
    const auto ticket = engine.Deliver(registrar, options.channel, messages[i]);
    std::cout << options.calls[i].method << ": "
              << DescribeResponse(engine.GetResponse(ticket)) << std::endl;
  }
  engine.DestroyRegistrar(registrar);
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  HostOptions options;
  std::string error;
  if (!kelmor_host::ParseHostOptions(args, &options, &error)) {
    std::cerr << "kelmor_host: " << error << "\n\n" << kelmor_host::HostUsage();
    return kBadUsage;
  }
  if (options.help) {
    std::cout << kelmor_host::HostUsage();
    return kDone;
  }
  return Run(options);
}
