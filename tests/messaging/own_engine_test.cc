// The machinery needs nothing but the engine's C interface: this program
// provides its own sixteen engine functions and no stand-in.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "flutter/binary_messenger_impl.h"
#include "flutter/method_channel.h"
#include "flutter/standard_method_codec.h"

namespace {

struct MinimalEngine {
  FlutterDesktopMessageCallback callback = nullptr;
  void* user_data = nullptr;
  std::vector<uint8_t> response;
  int responses = 0;
  size_t response_size = 0;
  int refs = 0;
  // Makes the next references fail as memory running out would.
  bool refuse_refs = false;
} engine;

FlutterDesktopMessengerRef const kMessenger =
    reinterpret_cast<FlutterDesktopMessengerRef>(&engine);

}  // namespace

extern "C" {
FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(
    FlutterDesktopPluginRegistrarRef) {
  return kMessenger;
}
FlutterDesktopTextureRegistrarRef FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef) {
  return nullptr;
}
FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(
    FlutterDesktopPluginRegistrarRef) {
  return nullptr;
}
void FlutterDesktopPluginRegistrarSetDestructionHandler(
    FlutterDesktopPluginRegistrarRef,
    FlutterDesktopOnPluginRegistrarDestroyed) {}
bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef, const char*,
                                 const uint8_t*, size_t) {
  return true;
}
bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef,
                                          const char*, const uint8_t*, size_t,
                                          FlutterDesktopBinaryReply, void*) {
  return false;
}
void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef, const FlutterDesktopMessageResponseHandle*,
    const uint8_t* data, size_t size) {
  ++engine.responses;
  engine.response_size = size;
  if (data != nullptr) engine.response.assign(data, data + size);
}
void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef, const char*,
                                        FlutterDesktopMessageCallback callback,
                                        void* user_data) {
  engine.callback = callback;
  engine.user_data = user_data;
}
FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(
    FlutterDesktopMessengerRef messenger) {
  if (engine.refuse_refs) throw std::bad_alloc();
  ++engine.refs;
  return messenger;
}
void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef) {
  --engine.refs;
}
bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef) {
  return true;
}
FlutterDesktopMessengerRef FlutterDesktopMessengerLock(
    FlutterDesktopMessengerRef messenger) {
  return messenger;
}
void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef) {}
int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(
    FlutterDesktopTextureRegistrarRef, const FlutterDesktopTextureInfo*) {
  return -1;
}
bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
    FlutterDesktopTextureRegistrarRef, int64_t) {
  return false;
}
void FlutterDesktopTextureRegistrarUnregisterExternalTexture(
    FlutterDesktopTextureRegistrarRef, int64_t,
    FlutterDesktopOnTextureUnregistered, void*) {}
}  // extern "C"

namespace {

TEST(OwnEngine, AnswersACallWithoutTheStandIn) {
  flutter::BinaryMessengerImpl messenger(kMessenger);
  flutter::MethodChannel<> channel(
      &messenger, "kelmor", &flutter::StandardMethodCodec::GetInstance());
  channel.SetCallHandler(
      [](const flutter::MethodCall<>&, auto result) { result->Success(); });

  const auto call =
      flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(
          flutter::MethodCall<>("m", nullptr));
  const auto* handle =
      reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(1);
  const FlutterDesktopMessage message{sizeof(FlutterDesktopMessage), "kelmor",
                                      call->data(), call->size(), handle};
  ASSERT_NE(engine.callback, nullptr);
  engine.callback(kMessenger, &message, engine.user_data);
  EXPECT_EQ(engine.response, (std::vector<uint8_t>{0, 0}));
  EXPECT_EQ(engine.refs, 0);
}

// No reply can be made for the message, so nobody else can answer it: it is
// answered empty when it has a response handle, and the handler is skipped.
TEST(OwnEngine, MessageWithoutAReplyIsAnsweredEmpty) {
  flutter::BinaryMessengerImpl messenger(kMessenger);
  int handler_calls = 0;
  messenger.SetChannelHandler(
      "raw",
      [&](const uint8_t*, size_t, flutter::BinaryReply) { ++handler_calls; });
  for (const bool with_handle : {true, false}) {
    SCOPED_TRACE(with_handle ? "with a response handle" : "without one");
    engine.responses = 0;
    engine.response_size = 99;
    const auto* handle =
        with_handle
            ? reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(1)
            : nullptr;
    const FlutterDesktopMessage message{sizeof(FlutterDesktopMessage), "raw",
                                        nullptr, 0, handle};
    engine.refuse_refs = true;
    testing::internal::CaptureStderr();
    engine.callback(kMessenger, &message, engine.user_data);
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    engine.refuse_refs = false;
    EXPECT_EQ(diagnostics,
              "Exception in message handler on channel raw: std::bad_alloc\n");
    EXPECT_EQ(handler_calls, 0);
    EXPECT_EQ(engine.responses, with_handle ? 1 : 0);
    EXPECT_EQ(engine.response_size, with_handle ? 0u : 99u);
    EXPECT_EQ(engine.refs, 0);
  }
}

}  // namespace
