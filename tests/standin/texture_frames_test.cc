// The stand-in asks for a texture's frames as an engine does: typed by the
// texture's kind, and until its unregistration completes.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "flutter/texture_registrar.h"
#include "standin_registrar.h"

namespace {

using flutter::BufferTexture;
using flutter::SurfaceTexture;
using flutter::TextureVariant;

// A plugin's frame source: a buffer of the size asked for, which lives
// until the texture's unregistration completes.
struct Frames {
  std::vector<uint8_t> pixels;
  FlutterDesktopPixelBuffer record{};
  TextureVariant texture{BufferTexture([this](size_t width, size_t height) {
    pixels.assign(width * height * 4, 0x7f);
    record.buffer = pixels.data();
    record.width = width;
    record.height = height;
    return &record;
  })};
};

// A real engine may still draw a texture after its unregistration started;
// the plugin's buffer must outlive that until the completion, and the
// stand-in lets a test check it does.
TEST(TextureFrames, FramesComeUntilTheUnregistrationCompletes) {
  kelmor_test::StandinRegistrar fixture;
  flutter::TextureRegistrar& textures =
      *fixture.registrar->GetTextureRegistrar();
  auto frames = std::make_unique<Frames>();
  const int64_t id = textures.RegisterExternalTexture(&frames->texture);
  fixture.engine.SetDeferUnregistrations(true);
  textures.UnregisterExternalTexture(id, [&] { frames.reset(); });

  EXPECT_FALSE(textures.MarkExternalTextureFrameAvailable(id));
  const FlutterDesktopPixelBuffer* frame =
      fixture.engine.RequestPixelBuffer(id, 3, 2);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->width, 3u);
  EXPECT_EQ(frame->height, 2u);
  EXPECT_EQ(frame->buffer[3 * 2 * 4 - 1], 0x7f);
  ASSERT_EQ(fixture.engine.Textures().size(), 1u);
  EXPECT_TRUE(fixture.engine.Textures()[0].unregistering);
  EXPECT_EQ(fixture.engine.Textures()[0].frames_requested, 1);

  EXPECT_EQ(fixture.engine.CompleteUnregistrations(), 1u);
  EXPECT_EQ(frames, nullptr);
  EXPECT_EQ(fixture.engine.RequestPixelBuffer(id, 3, 2), nullptr);
  EXPECT_TRUE(fixture.engine.Textures().empty());
}

// Without a deferral the texture is gone as its unregistration returns.
TEST(TextureFrames, NoFrameAfterAnImmediateUnregistration) {
  kelmor_test::StandinRegistrar fixture;
  flutter::TextureRegistrar& textures =
      *fixture.registrar->GetTextureRegistrar();
  Frames frames;
  const int64_t id = textures.RegisterExternalTexture(&frames.texture);
  bool completed = false;
  textures.UnregisterExternalTexture(id, [&] { completed = true; });
  EXPECT_TRUE(completed);
  EXPECT_EQ(fixture.engine.RequestPixelBuffer(id, 1, 1), nullptr);
}

// A typed request never hands one kind's record out as the other's, and a
// refused one counts no frame.
TEST(TextureFrames, TypedRequestsMatchTheTexturesKind) {
  kelmor_test::StandinRegistrar fixture;
  flutter::TextureRegistrar& textures =
      *fixture.registrar->GetTextureRegistrar();
  Frames buffer;
  FlutterDesktopGpuSurfaceDescriptor descriptor{};
  TextureVariant surface(
      SurfaceTexture(FlutterDesktopGpuSurfaceType{1},
                     [&](size_t, size_t) { return &descriptor; }));
  const int64_t buffer_id = textures.RegisterExternalTexture(&buffer.texture);
  const int64_t surface_id = textures.RegisterExternalTexture(&surface);
  standin::Engine& engine = fixture.engine;

  EXPECT_EQ(engine.RequestPixelBuffer(buffer_id, 1, 1), &buffer.record);
  EXPECT_EQ(engine.RequestGpuSurface(buffer_id, 1, 1), nullptr);
  EXPECT_EQ(engine.RequestGpuSurface(surface_id, 1, 1), &descriptor);
  EXPECT_EQ(engine.RequestPixelBuffer(surface_id, 1, 1), nullptr);
  EXPECT_EQ(engine.RequestFrame(surface_id, 1, 1), &descriptor);
  // Only the frames handed out count.
  EXPECT_EQ(engine.Textures().at(0).frames_requested, 1);
  EXPECT_EQ(engine.Textures().at(1).frames_requested, 2);
}

}  // namespace
