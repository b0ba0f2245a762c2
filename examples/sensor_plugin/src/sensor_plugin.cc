// The sensor plugin: a simulated accelerometer whose work runs on a worker
// thread of its own.
//
// Channel "sensor" (methods):
//   "calibrate"       measures on the worker for about 200 ms and answers
//                     the resting reading's strength, 9.81, on the engine's
//                     thread through the registrar's task runner;
//   "createTexture"   registers a pixel-buffer texture, 3x1 pixels, one grey
//                     pixel per axis of the latest reading, and answers its
//                     id (the same id until "disposeTexture");
//   "disposeTexture"  unregisters it and answers null;
//   anything else is not implemented.
// Channel "sensor/events" (an event channel): "listen" with {"rate": N}
// sends N readings a second, each float64[x, y, z] in m/s², until "cancel";
// with {"count": M} as well, it sends M readings and ends the stream. Both
// keys are optional (10 a second, no end); a listen with anything else
// fails with "bad_arguments".
#include "sensor_plugin/sensor_plugin.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "flutter/encodable_value.h"
#include "flutter/event_channel.h"
#include "flutter/method_channel.h"
#include "flutter/plugin_registrar_manager.h"
#include "flutter/report_caught_exception.h"
#include "flutter/standard_method_codec.h"
#include "flutter/stream_handler_functions.h"
#include "flutter/task_runner.h"
#include "flutter/texture_registrar.h"
#include "worker.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using Result = flutter::MethodResult<EncodableValue>;
using Sink = flutter::EventSink<EncodableValue>;
using StreamError = flutter::StreamHandlerError<EncodableValue>;

constexpr char kMethodChannel[] = "sensor";
constexpr char kEventChannel[] = "sensor/events";
constexpr auto kCalibrationTime = std::chrono::milliseconds(200);
constexpr double kGravity = 9.81;

// Reading `n` (from 1) of a stream: x, y and z.
std::vector<double> Reading(int32_t n) {
  return {0.5 * n, -0.25 * n, kGravity};
}

// What a listen asks for.
struct StreamRequest {
  int32_t rate = 10;  // readings a second
  int32_t count = 0;  // readings before the end; 0: until cancelled
};

// Reads {"rate": 1 to 1000, "count": 1 or more}, each key optional, or
// null; false for anything else.
bool ReadRequest(const EncodableValue* arguments, StreamRequest* request) {
  if (!arguments || arguments->IsNull()) return true;
  const auto* map = std::get_if<EncodableMap>(arguments);
  if (!map) return false;
  for (const auto& [key, value] : *map) {
    const auto* name = std::get_if<std::string>(&key);
    const auto* number = std::get_if<int32_t>(&value);
    if (!name || !number) return false;
    if (*name == "rate" && *number >= 1 && *number <= 1000) {
      request->rate = *number;
    } else if (*name == "count" && *number >= 1) {
      request->count = *number;
    } else {
      return false;
    }
  }
  return true;
}

// One listened stream: the engine's thread starts and stops it, the
// worker's jobs send its readings.
struct Stream {
  Stream(std::unique_ptr<Sink> events, const StreamRequest& request)
      : sink(std::move(events)),
        period(std::chrono::microseconds(1000000 / request.rate)),
        count(request.count) {}

  const std::unique_ptr<Sink> sink;
  const std::chrono::microseconds period;
  const int32_t count;
  int32_t sent = 0;  // the worker's
  std::atomic<bool> stopped{false};
};

// A pixel-buffer texture showing a reading: one grey pixel per axis, the
// brighter the stronger. The engine asks for frames on a thread of its
// choosing, so what it reads is guarded; it must not move while
// registered, so it is held by a shared pointer.
class Preview {
 public:
  static constexpr size_t kWidth = 3;
  static constexpr size_t kHeight = 1;

  Preview()
      : texture_(flutter::BufferTexture(
            [this](size_t, size_t) { return CopyFrame(); })) {}

  Preview(const Preview&) = delete;
  Preview& operator=(const Preview&) = delete;

  // For RegisterExternalTexture.
  flutter::TextureVariant* texture() { return &texture_; }

  void Show(const std::vector<double>& reading) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t axis = 0; axis < kWidth; ++axis) {
      const double level = std::min(255.0, std::abs(reading[axis]) * 20.0);
      const auto grey = static_cast<uint8_t>(level);
      uint8_t* pixel = &shown_[axis * 4];
      pixel[0] = pixel[1] = pixel[2] = grey;
    }
  }

 private:
  // The engine reads the frame until it asks for the next one, so the
  // pixels shown are copied rather than lent.
  const FlutterDesktopPixelBuffer* CopyFrame() {
    std::lock_guard<std::mutex> lock(mutex_);
    frame_ = shown_;
    buffer_.buffer = frame_.data();
    buffer_.width = kWidth;
    buffer_.height = kHeight;
    return &buffer_;
  }

  using Pixels = std::array<uint8_t, kWidth * kHeight * 4>;  // RGBA

  std::mutex mutex_;
  // Opaque black until the first reading.
  Pixels shown_ = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  Pixels frame_{};
  FlutterDesktopPixelBuffer buffer_{};
  flutter::TextureVariant texture_;
};

class SensorPlugin : public flutter::Plugin {
 public:
  // Hands a new plugin to the registrar, which owns it, and only then
  // routes the channels to it, so that no handler outlives it.
  static void Register(flutter::PluginRegistrarWindows* registrar) {
    auto plugin = std::make_unique<SensorPlugin>(registrar);
    SensorPlugin* target = plugin.get();
    registrar->AdoptPlugin(std::move(plugin));
    target->methods_.SetCallHandler([target](const flutter::MethodCall<>& call,
                                             std::unique_ptr<Result> result) {
      target->HandleMethodCall(call, std::move(result));
    });
    target->events_.SetStreamHandler(
        std::make_unique<flutter::StreamHandlerFunctions<>>(
            [target](const EncodableValue* arguments,
                     std::unique_ptr<Sink>&& events) {
              return target->Listen(arguments, std::move(events));
            },
            [target](const EncodableValue*) {
              target->StopStream();
              return std::unique_ptr<StreamError>();
            }));
  }

  // `registrar` must outlive the plugin; it does, as the plugin's owner.
  explicit SensorPlugin(flutter::PluginRegistrar* registrar)
      : methods_(registrar->GetMessenger(), kMethodChannel,
                 &flutter::StandardMethodCodec::GetInstance()),
        events_(registrar->GetMessenger(), kEventChannel,
                &flutter::StandardMethodCodec::GetInstance()),
        textures_(registrar->GetTextureRegistrar()),
        runner_(registrar->GetTaskRunner()) {}

  // A texture left registered would be asked for frames by a preview that
  // is gone. The registrar destroys its plugins before its texture
  // registrar. Then the worker, the last member, is stopped first: a job
  // under way touches none of the members this body changes.
  ~SensorPlugin() override { DisposeTexture(); }

 private:
  void HandleMethodCall(const flutter::MethodCall<>& call,
                        std::unique_ptr<Result> result) {
    const std::string& method = call.MethodName();
    if (method == "calibrate") {
      Calibrate(std::move(result));
    } else if (method == "createTexture") {
      CreateTexture(*result);
    } else if (method == "disposeTexture") {
      DisposeTexture();
      result->Success();
    } else {
      result->NotImplemented();
    }
  }

  // The worker measures; the answer goes back to the engine's thread as a
  // task. A task still waiting when the registrar goes is destroyed, and
  // with it the unanswered result.
  void Calibrate(std::unique_ptr<Result> result) {
    worker_.PostAfter(kCalibrationTime, [runner = runner_,
                                         result = std::move(result)]() mutable {
      const double strength = kGravity;  // a real sensor measures here
      runner->PostTask([result = std::move(result), strength] {
        result->Success(EncodableValue(strength));
      });
    });
  }

  std::unique_ptr<StreamError> Listen(const EncodableValue* arguments,
                                      std::unique_ptr<Sink> events) {
    StreamRequest request;
    if (!ReadRequest(arguments, &request)) {
      return std::make_unique<StreamError>(
          "bad_arguments",
          "listen takes {\"rate\": 1 to 1000, \"count\": 1 or more}, each "
          "optional",
          nullptr);
    }
    StopStream();
    stream_ = std::make_shared<Stream>(std::move(events), request);
    worker_.PostAfter(stream_->period,
                      [this, stream = stream_] { Tick(stream); });
    return nullptr;
  }

  void StopStream() {
    if (!stream_) return;
    stream_->stopped = true;
    stream_.reset();
  }

  // On the worker: sends the next reading and plans the one after it.
  void Tick(const std::shared_ptr<Stream>& stream) {
    if (stream->stopped) return;
    const int32_t n = ++stream->sent;
    const std::vector<double> reading = Reading(n);
    // The texture is the engine's thread's to mark, and a reading of a
    // stream stopped meanwhile is not shown. Posted before the event, it
    // shows the reading by the time the event goes out.
    runner_->PostTask([this, stream, reading] {
      if (!stream->stopped) Show(reading);
    });
    stream->sink->Success(EncodableValue(reading));
    if (n == stream->count) {
      stream->sink->EndOfStream();
      return;
    }
    worker_.PostAfter(stream->period, [this, stream] { Tick(stream); });
  }

  void CreateTexture(Result& result) {
    if (!preview_) {
      auto preview = std::make_shared<Preview>();
      const int64_t id = textures_->RegisterExternalTexture(preview->texture());
      if (id < 0) {
        result.Error("no_texture", "the engine refused the texture");
        return;
      }
      preview_ = std::move(preview);
      texture_id_ = id;
    }
    result.Success(EncodableValue(texture_id_));
  }

  void Show(const std::vector<double>& reading) {
    if (!preview_) return;
    preview_->Show(reading);
    textures_->MarkExternalTextureFrameAvailable(texture_id_);
  }

  // The engine may ask for frames until the unregistration completes, on a
  // thread of its choosing: the completion keeps the preview alive until
  // then.
  void DisposeTexture() {
    if (!preview_) return;
    textures_->UnregisterExternalTexture(texture_id_,
                                         [preview = std::move(preview_)] {});
    texture_id_ = -1;
  }

  flutter::MethodChannel<> methods_;
  flutter::EventChannel<> events_;
  flutter::TextureRegistrar* textures_;
  const std::shared_ptr<flutter::TaskRunner> runner_;
  // The engine's thread's.
  std::shared_ptr<Stream> stream_;
  std::shared_ptr<Preview> preview_;
  int64_t texture_id_ = -1;
  // Last: stopped and joined first, while all its jobs use is still there.
  Worker worker_;
};

}  // namespace

void SensorPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  // The application calls this from C code: nothing may unwind into it.
  flutter::CallReportingExceptions("SensorPluginRegisterWithRegistrar", [&] {
    SensorPlugin::Register(
        flutter::PluginRegistrarManager::GetInstance()->GetOrCreateRegistrar(
            registrar));
  });
}
