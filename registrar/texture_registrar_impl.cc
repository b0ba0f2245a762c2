#include "flutter/texture_registrar_impl.h"

#include <iostream>
#include <memory>

#include "flutter/callback_guard.h"

namespace flutter {

namespace {

// A frame callable that throws gives the engine no frame, as an empty one
// would.
const FlutterDesktopPixelBuffer* OnBufferFrameRequested(
    size_t width, size_t height, void* user_data) noexcept {
  try {
    return static_cast<BufferTexture*>(user_data)->CopyBuffer(width, height);
  } catch (...) {
    ReportCaughtException("texture frame callback");
    return nullptr;
  }
}

const FlutterDesktopGpuSurfaceDescriptor* OnSurfaceFrameRequested(
    size_t width, size_t height, void* user_data) noexcept {
  try {
    return static_cast<SurfaceTexture*>(user_data)->ObtainDescriptor(width,
                                                                     height);
  } catch (...) {
    ReportCaughtException("texture frame callback");
    return nullptr;
  }
}

// The completion of one unregistration, owned by the engine's pending call.
struct CompletionHolder {
  std::function<void()> callback;
};

void OnTextureUnregistered(void* user_data) noexcept {
  std::unique_ptr<CompletionHolder> holder(
      static_cast<CompletionHolder*>(user_data));
  try {
    holder->callback();
  } catch (...) {
    ReportCaughtException("texture unregistration callback");
  }
}

}  // namespace

int64_t TextureRegistrarImpl::RegisterExternalTexture(TextureVariant* texture) {
  FlutterDesktopTextureInfo info{};
  if (auto* buffer = texture ? std::get_if<BufferTexture>(texture) : nullptr) {
    info.type = kFlutterDesktopPixelBufferTexture;
    info.pixel_buffer_config.callback = &OnBufferFrameRequested;
    info.pixel_buffer_config.user_data = buffer;
  } else if (auto* surface =
                 texture ? std::get_if<SurfaceTexture>(texture) : nullptr) {
    info.type = kFlutterDesktopGpuSurfaceTexture;
    info.gpu_surface_config.struct_size =
        sizeof(FlutterDesktopGpuSurfaceTextureConfig);
    info.gpu_surface_config.type = surface->surface_type();
    info.gpu_surface_config.callback = &OnSurfaceFrameRequested;
    info.gpu_surface_config.user_data = surface;
  } else {
    std::cerr << "Attempting to register unknown texture variant." << std::endl;
    return -1;
  }
  return FlutterDesktopTextureRegistrarRegisterExternalTexture(
      texture_registrar_, &info);
}

bool TextureRegistrarImpl::MarkExternalTextureFrameAvailable(
    int64_t texture_id) {
  return FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(
      texture_registrar_, texture_id);
}

bool TextureRegistrarImpl::UnregisterExternalTexture(int64_t texture_id) {
  TextureRegistrar& self = *this;  // an override of the other overload runs
  self.UnregisterExternalTexture(texture_id, nullptr);
  return true;
}

void TextureRegistrarImpl::UnregisterExternalTexture(
    int64_t texture_id, std::function<void()> callback) {
  if (!callback) {
    FlutterDesktopTextureRegistrarUnregisterExternalTexture(
        texture_registrar_, texture_id, nullptr, nullptr);
    return;
  }
  auto holder = new CompletionHolder{std::move(callback)};
  FlutterDesktopTextureRegistrarUnregisterExternalTexture(
      texture_registrar_, texture_id, &OnTextureUnregistered, holder);
}

}  // namespace flutter
