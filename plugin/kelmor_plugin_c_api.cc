#include "kelmor/kelmor_plugin_c_api.h"

#include "flutter/plugin_registrar_manager.h"
#include "flutter/report_caught_exception.h"
#include "kelmor_plugin.h"

void KelmorPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  // The application calls this from C code: nothing may unwind into it.
  try {
    kelmor::KelmorPlugin::RegisterWithRegistrar(
        flutter::PluginRegistrarManager::GetInstance()->GetOrCreateRegistrar(
            registrar));
  } catch (...) {
    flutter::ReportCaughtException("KelmorPluginCApiRegisterWithRegistrar");
  }
}
