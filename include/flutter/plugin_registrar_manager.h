// PluginRegistrarManager: keeps one PluginRegistrarWindows per engine
// registrar handle, from its first request until the engine reports the
// registrar destroyed. Used on the engine's platform thread only.
#ifndef FLUTTER_PLUGIN_REGISTRAR_MANAGER_H_
#define FLUTTER_PLUGIN_REGISTRAR_MANAGER_H_

#include <map>
#include <memory>

#include "flutter/plugin_registrar_windows.h"
#include "flutter_desktop_api.h"

namespace flutter {

class PluginRegistrarManager {
 public:
  // The process-wide manager, made on first use and never destroyed.
  static PluginRegistrarManager* GetInstance();

  PluginRegistrarManager(const PluginRegistrarManager&) = delete;
  PluginRegistrarManager& operator=(const PluginRegistrarManager&) = delete;

  // The registrar for `registrar`, owned by the manager and valid until the
  // engine's destruction callback for that handle.
  PluginRegistrarWindows* GetOrCreateRegistrar(
      FlutterDesktopPluginRegistrarRef registrar);

  size_t registrar_count() const { return registrars_.size(); }

 private:
  PluginRegistrarManager() = default;

  static void OnEngineRegistrarDestroyed(
      FlutterDesktopPluginRegistrarRef registrar) noexcept;

  std::map<FlutterDesktopPluginRegistrarRef, std::unique_ptr<PluginRegistrar>>
      registrars_;
};

}  // namespace flutter

#endif  // FLUTTER_PLUGIN_REGISTRAR_MANAGER_H_
