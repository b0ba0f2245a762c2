// What the machinery does with an exception that reaches a function the
// engine calls: it stops there, as one diagnostic line, since unwinding into
// the engine's C code would end the application.
//
//   try {
//     callback();
//   } catch (...) {
//     flutter::internal::ReportCaughtException("texture frame callback");
//   }
//
// The line is "Exception in ", the place, then ": " and the exception's text
// when it is a std::exception.
#ifndef FLUTTER_CALLBACK_GUARD_H_
#define FLUTTER_CALLBACK_GUARD_H_

#include <string>

namespace flutter {
namespace internal {

// The text of the exception being handled; empty when it is not a
// std::exception. Call only inside a catch block.
std::string CaughtExceptionText() noexcept;

// Writes the line for an exception with `text` caught at `where` followed
// directly by `name` (a channel name, say; may be empty).
void ReportException(const char* where, const std::string& name,
                     const std::string& text) noexcept;

// Both of the above: call only inside a catch block.
void ReportCaughtException(const char* where) noexcept;

}  // namespace internal
}  // namespace flutter

#endif  // FLUTTER_CALLBACK_GUARD_H_
