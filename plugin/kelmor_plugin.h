// KelmorPlugin: answers "getPlatformVersion" on the "kelmor" channel with
// the running Windows version ("Windows 10+", "Windows 8", "Windows 7" or
// "Windows "), and every other method as not implemented.
#ifndef PLUGIN_KELMOR_PLUGIN_H_
#define PLUGIN_KELMOR_PLUGIN_H_

#include <cstdint>
#include <memory>

#include "flutter/encodable_value.h"
#include "flutter/method_call.h"
#include "flutter/method_result.h"
#include "flutter/plugin_registrar_windows.h"

namespace kelmor {

// Registration, method calls and destruction run on the engine's platform
// thread.
class KelmorPlugin : public flutter::Plugin {
 public:
  // Opens the "kelmor" channel on the registrar's messenger, routes its calls
  // to a new plugin, and hands the plugin to the registrar. A registrar that
  // owns a KelmorPlugin already keeps it answering: the call writes
  // "Warning: The kelmor plugin is already registered with this registrar.
  // Ignoring duplicate registration." and changes nothing.
  static void RegisterWithRegistrar(flutter::PluginRegistrarWindows* registrar);

  KelmorPlugin() = default;
  // A plugin for `registrar` to own: while it lives, the registrar counts as
  // served once registration has finished.
  explicit KelmorPlugin(const flutter::PluginRegistrarWindows* registrar)
      : registrar_(registrar) {}
  ~KelmorPlugin() override;

  KelmorPlugin(const KelmorPlugin&) = delete;
  KelmorPlugin& operator=(const KelmorPlugin&) = delete;

  // Answers one call, always before returning.
  void HandleMethodCall(
      const flutter::MethodCall<flutter::EncodableValue>& method_call,
      std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

  // Whether the system reports at least (major, minor, service pack major),
  // compared in that order.
  static bool IsVersionAtLeast(uint16_t major, uint16_t minor,
                               uint16_t service_pack_major);

 private:
  // The registrar that owns this plugin (and so outlives it); null when none.
  const flutter::PluginRegistrarWindows* registrar_ = nullptr;
};

}  // namespace kelmor

#endif  // PLUGIN_KELMOR_PLUGIN_H_
