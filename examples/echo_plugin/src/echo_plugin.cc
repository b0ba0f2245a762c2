// The echo plugin answers calls on the "echo" channel:
//   "echo"  succeeds with the call's arguments;
//   "fail"  answers the error "echo_failed" with the arguments as details;
//   "ask"   calls "ask" with the same arguments on the application's side of
//           the channel, and answers with whatever the application answers;
//   anything else is not implemented.
#include "echo_plugin/echo_plugin.h"

#include <memory>
#include <string>
#include <utility>

#include "flutter/encodable_value.h"
#include "flutter/method_channel.h"
#include "flutter/method_result_functions.h"
#include "flutter/plugin_registrar_manager.h"
#include "flutter/report_caught_exception.h"
#include "flutter/standard_method_codec.h"

namespace {

using flutter::EncodableValue;
using Result = flutter::MethodResult<EncodableValue>;

constexpr char kChannelName[] = "echo";

class EchoPlugin : public flutter::Plugin {
 public:
  // Opens the channel on the registrar's messenger, routes its calls to a
  // new plugin and hands the plugin to the registrar, which owns it.
  static void Register(flutter::PluginRegistrarWindows* registrar) {
    auto plugin = std::make_unique<EchoPlugin>(registrar->GetMessenger());
    EchoPlugin* target = plugin.get();
    // Owned first: if installing the handler fails, no handler is left
    // pointing at a plugin that is gone.
    registrar->AdoptPlugin(std::move(plugin));
    target->channel_.SetCallHandler([target](const flutter::MethodCall<>& call,
                                             std::unique_ptr<Result> result) {
      target->HandleMethodCall(call, std::move(result));
    });
  }

  // `messenger` must outlive the plugin; the registrar's does.
  explicit EchoPlugin(flutter::BinaryMessenger* messenger)
      : channel_(messenger, kChannelName,
                 &flutter::StandardMethodCodec::GetInstance()) {}

 private:
  void HandleMethodCall(const flutter::MethodCall<>& call,
                        std::unique_ptr<Result> result) {
    const EncodableValue arguments =
        call.Arguments() ? *call.Arguments() : EncodableValue();
    const std::string& method = call.MethodName();
    if (method == "echo") {
      result->Success(arguments);
    } else if (method == "fail") {
      result->Error("echo_failed", "fail was called", arguments);
    } else if (method == "ask") {
      Ask(arguments, std::move(result));
    } else {
      result->NotImplemented();
    }
  }

  // The application's answer, whenever it comes, answers the call. The
  // callables hold the call's result, not the plugin, so an answer that
  // arrives after the plugin is gone still lands.
  void Ask(const EncodableValue& arguments, std::unique_ptr<Result> result) {
    std::shared_ptr<Result> call_result = std::move(result);
    auto on_success = [call_result](const EncodableValue* value) {
      if (value) {
        call_result->Success(*value);
      } else {
        call_result->Success();
      }
    };
    auto on_error = [call_result](const std::string& code,
                                  const std::string& message,
                                  const EncodableValue* details) {
      if (details) {
        call_result->Error(code, message, *details);
      } else {
        call_result->Error(code, message);
      }
    };
    auto on_not_implemented = [call_result] { call_result->NotImplemented(); };
    channel_.InvokeMethod("ask", std::make_unique<EncodableValue>(arguments),
                          std::make_unique<flutter::MethodResultFunctions<>>(
                              on_success, on_error, on_not_implemented));
  }

  flutter::MethodChannel<> channel_;
};

}  // namespace

void EchoPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  // The application calls this from C code: nothing may unwind into it.
  flutter::CallReportingExceptions("EchoPluginRegisterWithRegistrar", [&] {
    EchoPlugin::Register(
        flutter::PluginRegistrarManager::GetInstance()->GetOrCreateRegistrar(
            registrar));
  });
}
