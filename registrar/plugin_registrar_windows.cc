#include "flutter/plugin_registrar_windows.h"

namespace flutter {

PluginRegistrarWindows::PluginRegistrarWindows(
    FlutterDesktopPluginRegistrarRef registrar)
    : PluginRegistrar(registrar) {
  FlutterDesktopViewRef view = FlutterDesktopPluginRegistrarGetView(registrar);
  if (view != nullptr) view_ = std::make_unique<FlutterView>(view);
}

PluginRegistrarWindows::~PluginRegistrarWindows() {
  // Plugins go while the view still exists.
  DestroyPlugins();
  view_.reset();
}

}  // namespace flutter
