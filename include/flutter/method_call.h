// MethodCall: a decoded method call, a method name and an owned argument
// value (which may hold null).
#ifndef FLUTTER_METHOD_CALL_H_
#define FLUTTER_METHOD_CALL_H_

#include <memory>
#include <string>
#include <utility>

#include "flutter/encodable_value.h"

namespace flutter {

template <typename T = EncodableValue>
class MethodCall {
 public:
  MethodCall(std::string method_name, std::unique_ptr<T> arguments)
      : method_name_(std::move(method_name)),
        arguments_(std::move(arguments)) {}
  virtual ~MethodCall() = default;

  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;

  const std::string& MethodName() const { return method_name_; }

  // The argument value; null when the call was built without one.
  const T* Arguments() const { return arguments_.get(); }

 private:
  std::string method_name_;
  std::unique_ptr<T> arguments_;
};

}  // namespace flutter

#endif  // FLUTTER_METHOD_CALL_H_
