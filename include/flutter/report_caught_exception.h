// Stopping an exception at a C boundary: a function that C code calls (a
// plugin's registration export, a callback the engine runs) must let nothing
// unwind into its caller, which would end the application. Catch everything
// there and report it as one diagnostic line:
//
//   void MyPluginRegisterWithRegistrar(
//       FlutterDesktopPluginRegistrarRef registrar) {
//     try {
//       MyPlugin::Register(flutter::PluginRegistrarManager::GetInstance()
//                              ->GetOrCreateRegistrar(registrar));
//     } catch (...) {
//       flutter::ReportCaughtException("MyPluginRegisterWithRegistrar");
//     }
//   }
//
// or the same in one call, with CallReportingExceptions:
//
//   flutter::CallReportingExceptions("MyPluginRegisterWithRegistrar", [&] {
//     MyPlugin::Register(...);
//   });
//
// The line, on the standard error stream, is "Exception in ", the place,
// then ": " and the exception's text when it is a std::exception.
#ifndef FLUTTER_REPORT_CAUGHT_EXCEPTION_H_
#define FLUTTER_REPORT_CAUGHT_EXCEPTION_H_

#include <utility>

namespace flutter {

// Writes the line for the exception being handled, caught at `where`. Call
// only inside a catch block. Never throws, even if writing fails.
void ReportCaughtException(const char* where) noexcept;

// Calls `callable()`; an exception it throws stops here and is reported as
// caught at `where`. Returns whether the call completed without one; what
// `callable` returns, if anything, is dropped.
template <typename Callable>
bool CallReportingExceptions(const char* where, Callable&& callable) noexcept {
  try {
    static_cast<void>(std::forward<Callable>(callable)());
    return true;
  } catch (...) {
    ReportCaughtException(where);
    return false;
  }
}

}  // namespace flutter

#endif  // FLUTTER_REPORT_CAUGHT_EXCEPTION_H_
