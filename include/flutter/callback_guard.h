// The machinery's own helpers for an exception that reaches a function the
// engine calls. Plugins use flutter::ReportCaughtException and
// flutter::CallReportingExceptions (flutter/report_caught_exception.h).
//
// The line is "Exception in ", the place, then ": " and the exception's text
// when it is a std::exception.
#ifndef FLUTTER_CALLBACK_GUARD_H_
#define FLUTTER_CALLBACK_GUARD_H_

#include <string>

#include "flutter/report_caught_exception.h"

namespace flutter {
namespace internal {

// The text of the exception being handled; empty when it is not a
// std::exception. Call only inside a catch block.
std::string CaughtExceptionText() noexcept;

// Writes the line for an exception with `text` caught at `where` followed
// directly by `name` (a channel name, say; may be empty).
void ReportException(const char* where, const std::string& name,
                     const std::string& text) noexcept;

// Deprecated, to be removed in the next release: the public
// flutter::ReportCaughtException, under its former name.
[[deprecated(
    "use flutter::ReportCaughtException from "
    "flutter/report_caught_exception.h")]] inline void
ReportCaughtException(const char* where) noexcept {
  ::flutter::ReportCaughtException(where);
}

}  // namespace internal
}  // namespace flutter

#endif  // FLUTTER_CALLBACK_GUARD_H_
