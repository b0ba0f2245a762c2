#include "flutter/texture_registrar_impl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "standin_engine.h"
#include "test_bytes.h"

namespace {

using flutter::BufferTexture;
using flutter::SurfaceTexture;
using flutter::TextureVariant;
using kelmor_test::Bytes;
using kelmor_test::StderrCapture;

class TextureRegistrarImplTest : public testing::Test {
 protected:
  standin::Engine engine_;
  FlutterDesktopPluginRegistrarRef registrar_ = engine_.CreateRegistrar();
  flutter::TextureRegistrarImpl textures_{
      engine_.TextureRegistrarOf(registrar_)};
};

uint64_t Word(const Bytes& bytes, size_t offset) {
  uint64_t word = 0;
  std::memcpy(&word, bytes.data() + offset, sizeof(word));
  return word;
}

TEST_F(TextureRegistrarImplTest, BufferTextureDescriptorAsTheEngineSeesIt) {
  FlutterDesktopPixelBuffer frame{};
  TextureVariant texture(BufferTexture([&](size_t, size_t) { return &frame; }));
  engine_.SetNextTextureId(-12345);
  EXPECT_EQ(textures_.RegisterExternalTexture(&texture), -12345);

  const auto records = engine_.Textures();
  ASSERT_EQ(records.size(), 1u);
  const Bytes& d = records[0].descriptor;
  ASSERT_EQ(d.size(), 40u);
  EXPECT_EQ(Word(d, 0), 0u);  // type 0, then four zero bytes
  EXPECT_NE(Word(d, 8), 0u);  // the frame callback
  EXPECT_EQ(Word(d, 16),
            reinterpret_cast<uintptr_t>(&std::get<BufferTexture>(texture)));
  EXPECT_EQ(Word(d, 24), 0u);
  EXPECT_EQ(Word(d, 32), 0u);
  EXPECT_EQ(engine_.RequestFrame(-12345, 4, 4), &frame);
}

TEST_F(TextureRegistrarImplTest, SurfaceTextureDescriptorAsTheEngineSeesIt) {
  FlutterDesktopGpuSurfaceDescriptor frame{};
  size_t seen_width = 0, seen_height = 0;
  TextureVariant texture(SurfaceTexture(2, [&](size_t width, size_t height) {
    seen_width = width;
    seen_height = height;
    return &frame;
  }));
  const int64_t id = textures_.RegisterExternalTexture(&texture);
  const Bytes d = engine_.Textures().at(0).descriptor;
  EXPECT_EQ(Word(d, 0), 1u);
  EXPECT_EQ(Word(d, 8), 32u);
  EXPECT_EQ(Word(d, 16), 2u);  // surface kind, then four zero bytes
  EXPECT_NE(Word(d, 24), 0u);
  EXPECT_EQ(Word(d, 32),
            reinterpret_cast<uintptr_t>(&std::get<SurfaceTexture>(texture)));
  EXPECT_EQ(engine_.RequestFrame(id, 640, 480), &frame);
  EXPECT_EQ(seen_width, 640u);
  EXPECT_EQ(seen_height, 480u);
}

TEST_F(TextureRegistrarImplTest, NullTextureIsRefused) {
  StderrCapture capture;
  EXPECT_EQ(textures_.RegisterExternalTexture(nullptr), -1);
  EXPECT_EQ(capture.Lines(),
            std::vector<std::string>{
                "Attempting to register unknown texture variant."});
  EXPECT_TRUE(engine_.Textures().empty());
}

TEST_F(TextureRegistrarImplTest, FrameWithoutCallbackIsNull) {
  TextureVariant texture(BufferTexture(nullptr));
  const int64_t id = textures_.RegisterExternalTexture(&texture);
  EXPECT_EQ(engine_.RequestFrame(id, 1, 1), nullptr);
}

// The engine calls these from its own code: an exception must stop here.
TEST_F(TextureRegistrarImplTest, ThrowingCallablesGiveNoFrameAndOneLine) {
  TextureVariant buffer(
      BufferTexture([](size_t, size_t) -> const FlutterDesktopPixelBuffer* {
        throw std::runtime_error("no pixels");
      }));
  TextureVariant surface(SurfaceTexture(
      FlutterDesktopGpuSurfaceType{1},
      [](size_t, size_t) -> const FlutterDesktopGpuSurfaceDescriptor* {
        throw 1;
      }));
  const int64_t buffer_id = textures_.RegisterExternalTexture(&buffer);
  const int64_t surface_id = textures_.RegisterExternalTexture(&surface);
  StderrCapture capture;
  EXPECT_EQ(engine_.RequestFrame(buffer_id, 1, 1), nullptr);
  EXPECT_EQ(engine_.RequestFrame(surface_id, 1, 1), nullptr);
  textures_.UnregisterExternalTexture(
      buffer_id, [] { throw std::runtime_error("done badly"); });
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{
                "Exception in texture frame callback: no pixels",
                "Exception in texture frame callback",
                "Exception in texture unregistration callback: done badly"}));
}

TEST_F(TextureRegistrarImplTest, MarkPassesTheEnginesAnswerOn) {
  TextureVariant texture(BufferTexture(nullptr));
  const int64_t id = textures_.RegisterExternalTexture(&texture);
  EXPECT_TRUE(textures_.MarkExternalTextureFrameAvailable(id));
  engine_.SetMarkFrameResult(false);
  EXPECT_FALSE(textures_.MarkExternalTextureFrameAvailable(id));
  EXPECT_FALSE(textures_.MarkExternalTextureFrameAvailable(id + 100));
}

TEST_F(TextureRegistrarImplTest, CompletionRunsExactlyOnceWhenTheEngineIsDone) {
  TextureVariant texture(BufferTexture(nullptr));
  const int64_t id = textures_.RegisterExternalTexture(&texture);
  engine_.SetDeferUnregistrations(true);
  int completions = 0;
  textures_.UnregisterExternalTexture(id, [&] { ++completions; });
  EXPECT_EQ(completions, 0);
  EXPECT_EQ(engine_.CompleteUnregistrations(), 1u);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(engine_.CompleteUnregistrations(), 0u);
  EXPECT_EQ(completions, 1);
}

TEST_F(TextureRegistrarImplTest, UnregisteringWithoutCompletion) {
  engine_.SetDeferUnregistrations(true);
  EXPECT_TRUE(textures_.UnregisterExternalTexture(999));  // unknown id
  textures_.UnregisterExternalTexture(999, nullptr);
  EXPECT_EQ(engine_.PendingUnregistrations(), 0u);  // no callback passed
}

// The id-only overload goes through the interface to the other overload.
TEST_F(TextureRegistrarImplTest, IdOnlyOverloadReachesAnOverride) {
  struct Counting : flutter::TextureRegistrarImpl {
    using TextureRegistrarImpl::TextureRegistrarImpl;
    using TextureRegistrarImpl::UnregisterExternalTexture;
    void UnregisterExternalTexture(int64_t id,
                                   std::function<void()> callback) override {
      ++calls;
      TextureRegistrarImpl::UnregisterExternalTexture(id, std::move(callback));
    }
    int calls = 0;
  } counting(engine_.TextureRegistrarOf(registrar_));
  EXPECT_TRUE(counting.UnregisterExternalTexture(int64_t{5}));
  EXPECT_EQ(counting.calls, 1);
}

}  // namespace
