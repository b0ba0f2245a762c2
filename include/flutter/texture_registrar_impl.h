// TextureRegistrarImpl: the TextureRegistrar over the engine's texture
// registrar. Destroying it unregisters nothing.
//
// Threads: no lock of its own; the engine chooses the threads on which it
// asks for frames and reports unregistrations.
#ifndef FLUTTER_TEXTURE_REGISTRAR_IMPL_H_
#define FLUTTER_TEXTURE_REGISTRAR_IMPL_H_

#include "flutter/texture_registrar.h"
#include "flutter_desktop_api.h"

namespace flutter {

class TextureRegistrarImpl : public TextureRegistrar {
 public:
  // `texture_registrar` is borrowed from the engine.
  explicit TextureRegistrarImpl(
      FlutterDesktopTextureRegistrarRef texture_registrar)
      : texture_registrar_(texture_registrar) {}

  TextureRegistrarImpl(const TextureRegistrarImpl&) = delete;
  TextureRegistrarImpl& operator=(const TextureRegistrarImpl&) = delete;

  int64_t RegisterExternalTexture(TextureVariant* texture) override;
  bool MarkExternalTextureFrameAvailable(int64_t texture_id) override;
  bool UnregisterExternalTexture(int64_t texture_id) override;
  void UnregisterExternalTexture(int64_t texture_id,
                                 std::function<void()> callback) override;

 private:
  FlutterDesktopTextureRegistrarRef texture_registrar_;
};

}  // namespace flutter

#endif  // FLUTTER_TEXTURE_REGISTRAR_IMPL_H_
