// Plugin and PluginRegistrar: a registrar wraps one engine registrar handle,
// gives plugins its messenger, texture registrar and task runner, and owns
// the plugins registered with it.
//
// Threads: a registrar is made, used and destroyed on the engine's thread
// (the thread on which the engine calls the plugin's registration), except
// GetTaskRunner, whose runner any thread may use and keep.
#ifndef FLUTTER_PLUGIN_REGISTRAR_H_
#define FLUTTER_PLUGIN_REGISTRAR_H_

#include <memory>
#include <set>

#include "flutter/binary_messenger.h"
#include "flutter/task_runner.h"
#include "flutter/texture_registrar.h"
#include "flutter_desktop_api.h"

namespace flutter {

class MessageWindowTaskRunner;

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

  // Closes the task runner (tasks still waiting are destroyed without
  // running), then destroys the plugins, the messenger and the texture
  // registrar. Calls nothing in the engine.
  virtual ~PluginRegistrar();

  PluginRegistrar(const PluginRegistrar&) = delete;
  PluginRegistrar& operator=(const PluginRegistrar&) = delete;

  // Valid as long as this registrar.
  BinaryMessenger* GetMessenger() const { return messenger_.get(); }
  TextureRegistrar* GetTextureRegistrar() const {
    return texture_registrar_.get();
  }
  FlutterDesktopPluginRegistrarRef registrar() const { return registrar_; }

  // Runs tasks on the engine's thread; may be copied to any thread and kept
  // past the registrar, when it refuses new tasks.
  std::shared_ptr<TaskRunner> GetTaskRunner() const;

  // Takes ownership: the plugin lives exactly as long as this registrar.
  void AdoptPlugin(std::unique_ptr<Plugin> plugin);

 protected:
  // Closes the task runner first, so that no task runs on a plugin that is
  // going.
  void DestroyPlugins();

 private:
  FlutterDesktopPluginRegistrarRef registrar_;
  std::shared_ptr<MessageWindowTaskRunner> task_runner_;
  std::unique_ptr<BinaryMessenger> messenger_;
  std::unique_ptr<TextureRegistrar> texture_registrar_;
  std::set<std::unique_ptr<Plugin>> plugins_;
};

}  // namespace flutter

#endif  // FLUTTER_PLUGIN_REGISTRAR_H_
