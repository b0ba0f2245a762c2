// MethodResultFunctions: a MethodResult made of three callables, for callers
// that would rather pass lambdas than write a class.
//
//   auto result = std::make_unique<flutter::MethodResultFunctions<>>(
//       [](const flutter::EncodableValue* value) { ... },
//       [](const std::string& code, const std::string& message,
//          const flutter::EncodableValue* details) { ... },
//       [] { ... });
//
// An empty callable ignores its kind of answer. It enforces nothing itself:
// each answer reaches its callable, so a caller that answers twice sees two
// calls. Threads: as the result's holder calls it; the callables run on
// the answering thread.
#ifndef FLUTTER_METHOD_RESULT_FUNCTIONS_H_
#define FLUTTER_METHOD_RESULT_FUNCTIONS_H_

#include <functional>
#include <string>
#include <utility>

#include "flutter/encodable_value.h"
#include "flutter/method_result.h"

namespace flutter {

template <typename T = EncodableValue>
class MethodResultFunctions : public MethodResult<T> {
 public:
  // `value` is null for a success without a value.
  using SuccessHandler = std::function<void(const T* value)>;
  // `details` is null when there are none.
  using ErrorHandler = std::function<void(
      const std::string& code, const std::string& message, const T* details)>;
  using NotImplementedHandler = std::function<void()>;

  MethodResultFunctions(SuccessHandler on_success, ErrorHandler on_error,
                        NotImplementedHandler on_not_implemented)
      : on_success_(std::move(on_success)),
        on_error_(std::move(on_error)),
        on_not_implemented_(std::move(on_not_implemented)) {}

 protected:
  void HandleSuccess(const T* value) override {
    if (on_success_) on_success_(value);
  }
  void HandleError(const std::string& code, const std::string& message,
                   const T* details) override {
    if (on_error_) on_error_(code, message, details);
  }
  void HandleNotImplemented() override {
    if (on_not_implemented_) on_not_implemented_();
  }

 private:
  SuccessHandler on_success_;
  ErrorHandler on_error_;
  NotImplementedHandler on_not_implemented_;
};

}  // namespace flutter

#endif  // FLUTTER_METHOD_RESULT_FUNCTIONS_H_
