// A plugin library loaded at run time, and its registration export.
#ifndef HOST_PLUGIN_LIBRARY_H_
#define HOST_PLUGIN_LIBRARY_H_

#include <memory>
#include <string>

#include "flutter_desktop_api.h"

namespace kelmor_host {

using RegisterFunction = void (*)(FlutterDesktopPluginRegistrarRef);

class PluginLibrary {
 public:
  // Null, with the loader's reason in `error`, when it does not load. The
  // library stays loaded for the life of the process: its registrars live
  // until the process ends. `path` is UTF-8; a bare file name names a file
  // in the current folder, as any other path on the command line would,
  // where the loader would search its own folders for it.
  static std::unique_ptr<PluginLibrary> Open(const std::string& path,
                                             std::string* error);

  // Null, with a reason in `error`, when the library does not export `name`.
  RegisterFunction FindRegisterFunction(const std::string& name,
                                        std::string* error) const;

 private:
  explicit PluginLibrary(void* handle) : handle_(handle) {}

  void* handle_;
};

// The plugin library's file name beside the running program.
std::string DefaultPluginPath();

#ifdef _WIN32
// The system's message for a Windows error code, in UTF-8 on one line,
// with `subject` where it names what failed, followed by "(Windows error
// CODE)"; only the latter when the system has no message.
std::string WindowsErrorText(unsigned long code, const std::string& subject);
#endif

}  // namespace kelmor_host

#endif  // HOST_PLUGIN_LIBRARY_H_
