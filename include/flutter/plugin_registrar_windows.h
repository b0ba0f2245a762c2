// PluginRegistrarWindows and FlutterView: the registrar as Windows plugins
// see it, with the engine's view when it has one. Threads: as the
// registrar's, the engine's thread.
#ifndef FLUTTER_PLUGIN_REGISTRAR_WINDOWS_H_
#define FLUTTER_PLUGIN_REGISTRAR_WINDOWS_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "flutter/plugin_registrar.h"
#include "flutter_desktop_api.h"

namespace flutter {

// Wraps the engine's view handle, which it borrows and never releases.
class FlutterView {
 public:
  explicit FlutterView(FlutterDesktopViewRef view) : view_(view) {}
  virtual ~FlutterView() = default;

  FlutterView(const FlutterView&) = delete;
  FlutterView& operator=(const FlutterView&) = delete;

  FlutterDesktopViewRef engine_view() const { return view_; }

 private:
  FlutterDesktopViewRef view_;
};

class PluginRegistrarWindows : public PluginRegistrar {
 public:
  explicit PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef registrar);

  // Destroys the plugins first, then the view, then what the base owns.
  ~PluginRegistrarWindows() override;

  // Null when the engine has no view for this registrar.
  FlutterView* GetView() const { return view_.get(); }

 private:
  std::unique_ptr<FlutterView> view_;
  // Reserved for callables that plugins attach by id; nothing uses them yet.
  [[maybe_unused]] int32_t next_callback_id_ = 1;
  std::map<int32_t, std::function<void()>> callbacks_by_id_;
};

}  // namespace flutter

#endif  // FLUTTER_PLUGIN_REGISTRAR_WINDOWS_H_
