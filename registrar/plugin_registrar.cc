#include "flutter/plugin_registrar.h"

#include "flutter/binary_messenger_impl.h"
#include "flutter/texture_registrar_impl.h"
#include "message_window_task_runner.h"

namespace flutter {

PluginRegistrar::PluginRegistrar(FlutterDesktopPluginRegistrarRef registrar)
    : registrar_(registrar), task_runner_(MessageWindowTaskRunner::Create()) {
  messenger_ = std::make_unique<BinaryMessengerImpl>(
      FlutterDesktopPluginRegistrarGetMessenger(registrar), task_runner_);
  texture_registrar_ = std::make_unique<TextureRegistrarImpl>(
      FlutterDesktopRegistrarGetTextureRegistrar(registrar));
}

PluginRegistrar::~PluginRegistrar() {
  // Plugins may still use the messenger and textures while they go; the
  // messenger goes before the texture registrar.
  DestroyPlugins();
  messenger_.reset();
}

std::shared_ptr<TaskRunner> PluginRegistrar::GetTaskRunner() const {
  return task_runner_;
}

void PluginRegistrar::DestroyPlugins() {
  task_runner_->Close();
  plugins_.clear();
}

void PluginRegistrar::AdoptPlugin(std::unique_ptr<Plugin> plugin) {
  plugins_.insert(std::move(plugin));
}

}  // namespace flutter
