// A plugin for the host's end-to-end tests, on channel "test":
//   echo  answers with its arguments;
//   ask   calls "question" with its arguments on the application side and
//         answers with whatever came back;
//   tell  calls "note" with its arguments on the application side without
//         asking for a reply, and answers null;
//   fail  answers the error "failed" with its arguments as details;
//   keep  keeps its result unanswered for as long as the plugin lives;
//   flood calls "more" with 1 on the application side and answers null;
//         then it calls "more" with the next number at each answer that is
//         no error, for as long as the plugin lives;
//   worker does what "ask" does from a thread of its own;
//   slow  answers with its arguments a second later, from a thread of its
//         own through the registrar's task runner;
// anything else is not implemented. On the event channel "test/events", a
// listen with a count N starts a thread that sends the readings 1 to N and
// then ends the stream.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "flutter/encodable_value.h"
#include "flutter/event_channel.h"
#include "flutter/method_channel.h"
#include "flutter/method_result_functions.h"
#include "flutter/plugin_registrar_manager.h"
#include "flutter/report_caught_exception.h"
#include "flutter/standard_method_codec.h"
#include "flutter/stream_handler_functions.h"
#include "flutter/task_runner.h"
#include "flutter_desktop_api.h"

#if defined(_WIN32)
#define TEST_PLUGIN_EXPORT __declspec(dllexport)
#else
#define TEST_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TEST_PLUGIN_EXPORT void TestPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);

namespace {

using flutter::EncodableValue;
using Result = flutter::MethodResult<EncodableValue>;

class TestPlugin : public flutter::Plugin {
 public:
  explicit TestPlugin(flutter::PluginRegistrar* registrar)
      : channel_(std::make_shared<flutter::MethodChannel<>>(
            registrar->GetMessenger(), "test",
            &flutter::StandardMethodCodec::GetInstance())),
        events_(registrar->GetMessenger(), "test/events",
                &flutter::StandardMethodCodec::GetInstance()),
        task_runner_(registrar->GetTaskRunner()) {
    channel_->SetCallHandler([this](const auto& call, auto result) {
      Handle(call, std::move(result));
    });
    events_.SetStreamHandler(
        std::make_unique<flutter::StreamHandlerFunctions<>>(
            [this](const EncodableValue* arguments,
                   std::unique_ptr<flutter::EventSink<>>&& sink) {
              Listen(arguments, std::move(sink));
              return nullptr;
            },
            [this](const EncodableValue*) {
              stop_readings_ = true;
              return nullptr;
            }));
  }

  // Nothing the threads hold may outlive the plugin.
  ~TestPlugin() override {
    stop_readings_ = true;
    for (std::thread& thread : slow_threads_) thread.join();
    if (readings_.joinable()) readings_.join();
  }

 private:
  void Handle(const flutter::MethodCall<EncodableValue>& call,
              std::unique_ptr<Result> result) {
    const std::string& method = call.MethodName();
    const EncodableValue arguments =
        call.Arguments() ? *call.Arguments() : EncodableValue();
    if (method == "echo") {
      result->Success(arguments);
    } else if (method == "ask") {
      Ask(arguments, std::move(result));
    } else if (method == "worker") {
      // The call reaches the engine from its own thread, and the answer
      // comes back there, whichever thread asks.
      std::thread([this, arguments, &result] {
        Ask(arguments, std::move(result));
      }).join();
    } else if (method == "slow") {
      Slow(arguments, std::move(result));
    } else if (method == "tell") {
      channel_->InvokeMethod("note",
                             std::make_unique<EncodableValue>(arguments));
      result->Success();
    } else if (method == "fail") {
      result->Error("failed", "asked to fail", arguments);
    } else if (method == "keep") {
      kept_.push_back(std::move(result));
    } else if (method == "flood") {
      Flood(channel_, 1);
      result->Success();
    } else {
      result->NotImplemented();
    }
  }

  // The answer from the application side becomes the answer to the call.
  void Ask(const EncodableValue& arguments, std::unique_ptr<Result> result) {
    std::shared_ptr<Result> shared = std::move(result);
    channel_->InvokeMethod(
        "question", std::make_unique<EncodableValue>(arguments),
        std::make_unique<flutter::MethodResultFunctions<>>(
            [shared](const EncodableValue* value) {
              if (value) {
                shared->Success(*value);
              } else {
                shared->Success();
              }
            },
            [shared](const std::string& code, const std::string& message,
                     const EncodableValue* details) {
              if (details) {
                shared->Error(code, message, *details);
              } else {
                shared->Error(code, message);
              }
            },
            [shared] { shared->NotImplemented(); }));
  }

  void Slow(const EncodableValue& arguments, std::unique_ptr<Result> result) {
    slow_threads_.emplace_back([runner = task_runner_, arguments,
                                result = std::move(result)]() mutable {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      runner->PostTask([arguments, result = std::move(result)] {
        result->Success(arguments);
      });
    });
  }

  // A listen while a stream runs has cancelled it first.
  void Listen(const EncodableValue* arguments,
              std::unique_ptr<flutter::EventSink<>> sink) {
    if (readings_.joinable()) readings_.join();
    stop_readings_ = false;
    const int32_t* count =
        arguments ? std::get_if<int32_t>(arguments) : nullptr;
    readings_ = std::thread(
        [this, sink = std::move(sink), readings = count ? *count : 0] {
          for (int32_t i = 1; i <= readings && !stop_readings_; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            sink->Success(EncodableValue(i));
          }
          if (!stop_readings_) sink->EndOfStream();
        });
  }

  // Weak, since an answer may come after the plugin is gone; an error
  // (among them the engine refusing the call) ends the flood.
  static void Flood(std::weak_ptr<flutter::MethodChannel<>> weak_channel,
                    int32_t count) {
    const auto channel = weak_channel.lock();
    if (!channel) return;
    auto again = [weak_channel, count] { Flood(weak_channel, count + 1); };
    channel->InvokeMethod(
        "more", std::make_unique<EncodableValue>(count),
        std::make_unique<flutter::MethodResultFunctions<>>(
            [again](const EncodableValue*) { again(); }, nullptr, again));
  }

  // Shared, so that the flood's answers can tell whether it still exists.
  std::shared_ptr<flutter::MethodChannel<>> channel_;
  std::vector<std::unique_ptr<Result>> kept_;
  flutter::EventChannel<> events_;
  std::shared_ptr<flutter::TaskRunner> task_runner_;
  std::atomic<bool> stop_readings_{false};
  // Joined as the plugin goes.
  std::vector<std::thread> slow_threads_;
  std::thread readings_;
};

}  // namespace

void TestPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  // Called from C: nothing may unwind into it.
  try {
    flutter::PluginRegistrarWindows* windows_registrar =
        flutter::PluginRegistrarManager::GetInstance()->GetOrCreateRegistrar(
            registrar);
    windows_registrar->AdoptPlugin(
        std::make_unique<TestPlugin>(windows_registrar));
  } catch (...) {
    flutter::ReportCaughtException("TestPluginRegisterWithRegistrar");
  }
}
