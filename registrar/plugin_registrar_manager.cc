#include "flutter/plugin_registrar_manager.h"

#include "flutter/callback_guard.h"

namespace flutter {

PluginRegistrarManager* PluginRegistrarManager::GetInstance() {
  static PluginRegistrarManager* instance = new PluginRegistrarManager();
  return instance;
}

PluginRegistrarWindows* PluginRegistrarManager::GetOrCreateRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  auto candidate = std::make_unique<PluginRegistrarWindows>(registrar);
  auto inserted = registrars_.try_emplace(registrar, std::move(candidate));
  if (!inserted.second) candidate.reset();  // the handle is known already
  FlutterDesktopPluginRegistrarSetDestructionHandler(
      registrar, &OnEngineRegistrarDestroyed);
  return static_cast<PluginRegistrarWindows*>(inserted.first->second.get());
}

void PluginRegistrarManager::OnEngineRegistrarDestroyed(
    FlutterDesktopPluginRegistrarRef registrar) noexcept {
  try {
    GetInstance()->registrars_.erase(registrar);
  } catch (...) {
    ReportCaughtException("registrar destruction callback");
  }
}

}  // namespace flutter
