#include "kelmor/kelmor_plugin_c_api.h"

#include "flutter/plugin_registrar_manager.h"
#include "kelmor_plugin.h"

void KelmorPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  kelmor::KelmorPlugin::RegisterWithRegistrar(
      flutter::PluginRegistrarManager::GetInstance()->GetOrCreateRegistrar(
          registrar));
}
