// TextureRegistrar: external textures that a plugin supplies to the engine,
// which asks each for a frame whenever it needs one.
//
//   flutter::TextureVariant texture(flutter::BufferTexture(
//       [&](size_t width, size_t height) { return &pixel_buffer; }));
//   int64_t id = registrar->RegisterExternalTexture(&texture);
//
// The TextureVariant must stay alive, at the same address, until the texture
// is unregistered: the engine calls back with its address.
#ifndef FLUTTER_TEXTURE_REGISTRAR_H_
#define FLUTTER_TEXTURE_REGISTRAR_H_

#include <cstdint>
#include <functional>
#include <utility>
#include <variant>

#include "flutter_desktop_api.h"

namespace flutter {

// A texture whose frames are pixel buffers in memory.
class BufferTexture {
 public:
  using CopyBufferCallback = std::function<const FlutterDesktopPixelBuffer*(
      size_t width, size_t height)>;

  explicit BufferTexture(CopyBufferCallback copy_buffer)
      : copy_buffer_(std::move(copy_buffer)) {}

  // The frame for the given size; null when no callback was given.
  const FlutterDesktopPixelBuffer* CopyBuffer(size_t width,
                                              size_t height) const {
    return copy_buffer_ ? copy_buffer_(width, height) : nullptr;
  }

 private:
  CopyBufferCallback copy_buffer_;
};

// A texture whose frames are GPU surfaces of an engine-defined kind.
class SurfaceTexture {
 public:
  using ObtainDescriptorCallback =
      std::function<const FlutterDesktopGpuSurfaceDescriptor*(size_t width,
                                                              size_t height)>;

  SurfaceTexture(FlutterDesktopGpuSurfaceType surface_type,
                 ObtainDescriptorCallback obtain_descriptor)
      : surface_type_(surface_type),
        obtain_descriptor_(std::move(obtain_descriptor)) {}

  FlutterDesktopGpuSurfaceType surface_type() const { return surface_type_; }

  // The frame for the given size; null when no callback was given.
  const FlutterDesktopGpuSurfaceDescriptor* ObtainDescriptor(
      size_t width, size_t height) const {
    return obtain_descriptor_ ? obtain_descriptor_(width, height) : nullptr;
  }

 private:
  FlutterDesktopGpuSurfaceType surface_type_;
  ObtainDescriptorCallback obtain_descriptor_;
};

using TextureVariant = std::variant<BufferTexture, SurfaceTexture>;

class TextureRegistrar {
 public:
  virtual ~TextureRegistrar() = default;

  // The engine's id for the new texture, or -1 for a null or valueless
  // variant (which writes "Attempting to register unknown texture variant.").
  virtual int64_t RegisterExternalTexture(TextureVariant* texture) = 0;

  // Tells the engine a new frame is ready; the engine's answer.
  virtual bool MarkExternalTextureFrameAvailable(int64_t texture_id) = 0;

  // Unregisters without waiting; true.
  virtual bool UnregisterExternalTexture(int64_t texture_id) = 0;

  // Unregisters; `callback`, when given, runs once when the engine is done,
  // on a thread of the engine's choosing.
  virtual void UnregisterExternalTexture(int64_t texture_id,
                                         std::function<void()> callback) = 0;
};

}  // namespace flutter

#endif  // FLUTTER_TEXTURE_REGISTRAR_H_
