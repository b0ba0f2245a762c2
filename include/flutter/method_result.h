// MethodResult: the one-shot answer to a method call. Whoever holds it
// answers once, with Success, Error or NotImplemented, then destroys it.
// Enforcing the once-only rule is the implementation's task.
//
// Threads: a result takes no lock; it may be handed to, and answered on,
// any thread, by one thread at a time.
#ifndef FLUTTER_METHOD_RESULT_H_
#define FLUTTER_METHOD_RESULT_H_

#include <string>

#include "flutter/encodable_value.h"

namespace flutter {

template <typename T = EncodableValue>
class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult() = default;

  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  void Success(const T& result) { HandleSuccess(&result); }
  void Success() { HandleSuccess(nullptr); }

  void Error(const std::string& error_code, const std::string& error_message,
             const T& error_details) {
    HandleError(error_code, error_message, &error_details);
  }
  void Error(const std::string& error_code,
             const std::string& error_message = "") {
    HandleError(error_code, error_message, nullptr);
  }

  void NotImplemented() { HandleNotImplemented(); }

 protected:
  // `result` is null for a success without a value.
  virtual void HandleSuccess(const T* result) = 0;
  // `error_details` is null when there are none.
  virtual void HandleError(const std::string& error_code,
                           const std::string& error_message,
                           const T* error_details) = 0;
  virtual void HandleNotImplemented() = 0;
};

}  // namespace flutter

#endif  // FLUTTER_METHOD_RESULT_H_
