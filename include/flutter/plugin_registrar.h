// Plugin and PluginRegistrar: a registrar wraps one engine registrar handle,
// gives plugins its messenger and texture registrar, and owns the plugins
// registered with it.
#ifndef FLUTTER_PLUGIN_REGISTRAR_H_
#define FLUTTER_PLUGIN_REGISTRAR_H_

#include <memory>
#include <set>

#include "flutter/binary_messenger.h"
#include "flutter/texture_registrar.h"
#include "flutter_desktop_api.h"

namespace flutter {

// The base of every plugin a registrar owns.
class Plugin {
 public:
  virtual ~Plugin() = default;
};

class PluginRegistrar {
 public:
  // Asks the engine for the registrar's messenger and texture registrar.
  // `registrar` is borrowed and never released here.
  explicit PluginRegistrar(FlutterDesktopPluginRegistrarRef registrar);

  // Destroys the plugins, then the messenger, then the texture registrar.
  // Calls nothing in the engine.
  virtual ~PluginRegistrar();

  PluginRegistrar(const PluginRegistrar&) = delete;
  PluginRegistrar& operator=(const PluginRegistrar&) = delete;

  // Valid as long as this registrar.
  BinaryMessenger* GetMessenger() const { return messenger_.get(); }
  TextureRegistrar* GetTextureRegistrar() const {
    return texture_registrar_.get();
  }
  FlutterDesktopPluginRegistrarRef registrar() const { return registrar_; }

  // Takes ownership: the plugin lives exactly as long as this registrar.
  void AdoptPlugin(std::unique_ptr<Plugin> plugin);

 protected:
  void DestroyPlugins() { plugins_.clear(); }

 private:
  FlutterDesktopPluginRegistrarRef registrar_;
  std::unique_ptr<BinaryMessenger> messenger_;
  std::unique_ptr<TextureRegistrar> texture_registrar_;
  std::set<std::unique_ptr<Plugin>> plugins_;
};

}  // namespace flutter

#endif  // FLUTTER_PLUGIN_REGISTRAR_H_
