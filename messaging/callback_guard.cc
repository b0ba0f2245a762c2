#include "flutter/callback_guard.h"

#include <exception>
#include <iostream>

namespace flutter {
namespace internal {

std::string CaughtExceptionText() noexcept {
  try {
    throw;
  } catch (const std::exception& caught) {
    try {
      return caught.what();
    } catch (...) {
      return std::string();
    }
  } catch (...) {
    return std::string();
  }
}

void ReportException(const char* where, const std::string& name,
                     const std::string& text) noexcept {
  try {
    std::cerr << "Exception in " << where << name;
    if (!text.empty()) std::cerr << ": " << text;
    std::cerr << std::endl;
  } catch (...) {
    // The standard error stream was set to throw; there is nowhere to say it.
  }
}

}  // namespace internal

void ReportCaughtException(const char* where) noexcept {
  internal::ReportException(where, std::string(),
                            internal::CaughtExceptionText());
}

}  // namespace flutter
