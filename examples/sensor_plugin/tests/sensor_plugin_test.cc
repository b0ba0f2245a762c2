// The sensor plugin on the stand-in engine: its late answer, its stream of
// readings and its texture, each waited for with the test kit, which runs
// the engine's thread meanwhile. A send from any other thread fails the
// test (standin/plugin_test_rules.h).
#include "sensor_plugin/sensor_plugin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "flutter/encodable_value.h"
#include "standin/decoded_send.h"
#include "standin/method_call_kit.h"
#include "standin/plugin_test_rules.h"
#include "standin/plugin_waits.h"
#include "standin/standin_engine.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using standin::DecodedSend;

// Long enough for a loaded machine, sanitizers and Wine; a wait that
// succeeds ends as soon as what it waits for came.
constexpr auto kWait = std::chrono::seconds(10);
// How long a test watches for something that must not come.
constexpr auto kQuiet = std::chrono::milliseconds(300);

// Listen arguments: {"rate": rate} and, unless 0, "count".
EncodableValue Request(int32_t rate, int32_t count = 0) {
  EncodableMap request{{EncodableValue("rate"), EncodableValue(rate)}};
  if (count != 0) request[EncodableValue("count")] = EncodableValue(count);
  return EncodableValue(request);
}

class SensorPluginTest : public testing::Test {
 protected:
  void SetUp() override { SensorPluginRegisterWithRegistrar(registrar_); }

  standin::MethodAnswer Call(const std::string& method) {
    return standin::CallMethod(engine_, registrar_, "sensor", method);
  }

  standin::MethodAnswer CallStream(const std::string& method,
                                   const EncodableValue& arguments = {}) {
    return standin::CallMethod(engine_, registrar_, "sensor/events", method,
                               arguments);
  }

  // Waits for `count` sends in all, and fails the test if they do not come.
  void WaitForSends(size_t count) {
    const standin::SendsWait sends =
        standin::WaitForSends(engine_, count, kWait);
    ASSERT_TRUE(sends.reached) << sends.failure;
  }

  // Watches for kQuiet; true when no send came meanwhile.
  bool NoSendsFollow() {
    return !standin::WaitForSends(engine_, engine_.Sends().size() + 1, kQuiet)
                .reached;
  }

  int64_t CreateTexture() {
    const standin::MethodAnswer answer = Call("createTexture");
    EXPECT_TRUE(answer.IsSuccess());
    const auto* id = std::get_if<int64_t>(&answer.value);
    return id ? *id : -1;
  }

  int FramesMarked() const {
    const auto textures = engine_.Textures();
    return textures.empty() ? -1 : textures[0].frames_marked;
  }

  standin::Engine engine_;
  FlutterDesktopPluginRegistrarRef registrar_ = engine_.CreateRegistrar();
};

// ==== "calibrate": answered later, on the engine's thread ====

TEST_F(SensorPluginTest, CalibrateAnswersFromTheWorkerThroughTheTaskRunner) {
  const standin::MethodAnswer call = Call("calibrate");
  ASSERT_EQ(call.kind, standin::MethodAnswer::Kind::kNoAnswerYet);
  const standin::AnswerWait waited =
      standin::WaitForAnswer(engine_, call.ticket, kWait);
  ASSERT_TRUE(waited.answer) << waited.failure;
  EXPECT_TRUE(waited.answer->IsSuccess());
  EXPECT_EQ(waited.answer->value, EncodableValue(9.81));
  EXPECT_EQ(engine_.GetResponse(call.ticket).times_sent, 1);
}

// ==== The stream of readings ====

TEST_F(SensorPluginTest, ACountedStreamSendsItsReadingsThenEnds) {
  const standin::MethodAnswer listen = standin::CallMethod(
      engine_, registrar_, "sensor/events", "listen", Request(100, 3));
  ASSERT_TRUE(listen.IsSuccess());
  const standin::SendsWait sends = standin::WaitForSends(engine_, 4, kWait);
  ASSERT_TRUE(sends.reached) << sends.failure;
  const std::vector<DecodedSend> events =
      standin::SendsOn(engine_, "sensor/events", standin::SendKind::kEvent);
  ASSERT_EQ(events.size(), 4u);
  for (int32_t n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(events[n - 1].kind, DecodedSend::Kind::kEvent);
    EXPECT_EQ(events[n - 1].value,
              EncodableValue(std::vector<double>{0.5 * n, -0.25 * n, 9.81}));
  }
  EXPECT_EQ(events[3].kind, DecodedSend::Kind::kEndOfStream);
  EXPECT_TRUE(NoSendsFollow());
}

// The readings' ticks stop too: a cancelled stream marks no more frames.
TEST_F(SensorPluginTest, AfterACancelNeitherEventsNorFramesFollow) {
  CreateTexture();
  ASSERT_TRUE(CallStream("listen", Request(200)).IsSuccess());
  WaitForSends(2);
  ASSERT_TRUE(CallStream("cancel").IsSuccess());
  const int marked = FramesMarked();
  EXPECT_TRUE(NoSendsFollow());
  EXPECT_EQ(FramesMarked(), marked);
}

// A listen during a stream starts it afresh, from the first reading.
TEST_F(SensorPluginTest, AListenAgainRestartsTheReadings) {
  ASSERT_TRUE(CallStream("listen", Request(100)).IsSuccess());
  WaitForSends(2);
  const size_t first = engine_.Sends().size();
  ASSERT_TRUE(CallStream("listen", Request(100, 1)).IsSuccess());
  WaitForSends(first + 2);
  const auto events = standin::SendsOn(engine_, "sensor/events",
                                       standin::SendKind::kEvent, first);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].value,
            EncodableValue(std::vector<double>{0.5, -0.25, 9.81}));
  EXPECT_EQ(events[1].kind, DecodedSend::Kind::kEndOfStream);
}

TEST_F(SensorPluginTest, ListenArgumentsAreChecked) {
  const struct {
    const char* name;
    EncodableValue arguments;
    bool accepted;
  } cases[] = {
      {"none", EncodableValue(), true},
      {"the limits", Request(1000, 1), true},
      {"rate 0", Request(0), false},
      {"rate 1001", Request(1001), false},
      {"count 0",
       EncodableValue(
           EncodableMap{{EncodableValue("count"), EncodableValue(0)}}),
       false},
      {"rate not a number",
       EncodableValue(
           EncodableMap{{EncodableValue("rate"), EncodableValue("fast")}}),
       false},
      {"unknown key",
       EncodableValue(
           EncodableMap{{EncodableValue("speed"), EncodableValue(5)}}),
       false},
      {"not a map", EncodableValue(EncodableList{EncodableValue(10)}), false},
  };
  for (const auto& request : cases) {
    SCOPED_TRACE(request.name);
    const standin::MethodAnswer answer =
        CallStream("listen", request.arguments);
    if (request.accepted) {
      EXPECT_TRUE(answer.IsSuccess());
    } else {
      ASSERT_TRUE(answer.IsError());
      EXPECT_EQ(answer.code, "bad_arguments");
    }
  }
}

// ==== The texture ====

TEST_F(SensorPluginTest, TheTextureShowsEachReading) {
  const int64_t id = CreateTexture();
  EXPECT_EQ(CreateTexture(), id);
  const FlutterDesktopPixelBuffer* frame = engine_.RequestPixelBuffer(id, 3, 1);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(frame->buffer, frame->buffer + 12),
            std::vector<uint8_t>({0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255}));

  ASSERT_TRUE(CallStream("listen", Request(100, 2)).IsSuccess());
  WaitForSends(3);
  EXPECT_EQ(FramesMarked(), 2);
  // Reading 2 is {1.0, -0.5, 9.81}: 20 levels of grey per m/s².
  frame = engine_.RequestPixelBuffer(id, 3, 1);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->width, 3u);
  EXPECT_EQ(frame->height, 1u);
  EXPECT_EQ(std::vector<uint8_t>(frame->buffer, frame->buffer + 12),
            std::vector<uint8_t>(
                {20, 20, 20, 255, 10, 10, 10, 255, 196, 196, 196, 255}));
}

// The engine may ask for frames until the unregistration completes: the
// plugin keeps the pixels alive until then (the sanitizers catch a read of
// freed ones).
TEST_F(SensorPluginTest, ADisposedTextureServesFramesUntilUnregistered) {
  engine_.SetDeferUnregistrations(true);
  const int64_t id = CreateTexture();
  ASSERT_TRUE(Call("disposeTexture").IsSuccess());
  ASSERT_EQ(engine_.Textures().size(), 1u);
  EXPECT_TRUE(engine_.Textures()[0].unregistering);
  const FlutterDesktopPixelBuffer* frame = engine_.RequestPixelBuffer(id, 3, 1);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->buffer[3], 255);

  EXPECT_EQ(engine_.CompleteUnregistrations(), 1u);
  EXPECT_TRUE(engine_.Textures().empty());
  EXPECT_NE(CreateTexture(), id);
}

// ==== The registrar going while the worker works ====

// The plugin's worker stops with it: nothing it had planned is sent, and its
// texture is unregistered.
TEST_F(SensorPluginTest, TheRegistrarMayGoWhileTheWorkerWorks) {
  CreateTexture();
  ASSERT_TRUE(CallStream("listen", Request(1000)).IsSuccess());
  Call("calibrate");
  WaitForSends(1);
  engine_.DestroyRegistrar(registrar_);
  EXPECT_TRUE(engine_.Textures().empty());
  EXPECT_TRUE(NoSendsFollow());
}

}  // namespace
