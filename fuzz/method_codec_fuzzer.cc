// Arbitrary bytes as a method call and as a response envelope. Both decode
// within the linear bounds on heap and diagnostics; a call that decodes
// re-encodes, in a buffer of at most twice its size and 4 KiB, and decodes
// to the same call; a result is answered at most once, and exactly once
// when the envelope is understood.
#include <cstddef>
#include <cstdint>

#include "flutter/standard_method_codec.h"
#include "fuzz_support.h"

namespace {

using flutter::EncodableValue;

class CountingResult : public flutter::MethodResult<EncodableValue> {
 public:
  int answers = 0;

 protected:
  void HandleSuccess(const EncodableValue* value) override {
    Count();
    kelmor_fuzz::Require(value == nullptr || !value->IsNull(),
                         "a null success value is passed as none");
  }
  void HandleError(const std::string&, const std::string&,
                   const EncodableValue* details) override {
    Count();
    kelmor_fuzz::Require(details == nullptr || !details->IsNull(),
                         "null error details are passed as none");
  }
  void HandleNotImplemented() override { Count(); }

 private:
  void Count() {
    ++answers;
    kelmor_fuzz::Require(answers == 1, "a result was answered twice");
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kelmor_fuzz::CountDiagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  // Two values: a name and the arguments.
  auto call = kelmor_fuzz::WithinBounds(
      size, 2, [&] { return codec.DecodeMethodCall(data, size); });
  if (call) {
    kelmor_fuzz::Require(call->Arguments() != nullptr,
                         "a decoded call always holds arguments");
    const auto bytes = codec.EncodeMethodCall(*call);
    kelmor_fuzz::Require(bytes->capacity() <= 2 * bytes->size() + 4096,
                         "an encoded call keeps more than twice its size");
    auto again = codec.DecodeMethodCall(bytes->data(), bytes->size());
    kelmor_fuzz::Require(
        again && again->MethodName() == call->MethodName() &&
            again->Arguments()->Compare(*call->Arguments()) == 0,
        "a call does not survive re-encoding");
  }
  CountingResult result;
  // A flag, three values and the malformed-envelope line.
  const bool understood = kelmor_fuzz::WithinBounds(size, 3, [&] {
    return codec.DecodeResponseEnvelope(data, size, &result);
  });
  kelmor_fuzz::Require(result.answers == (understood ? 1 : 0),
                       "the result was answered against what was returned");
  return 0;
}
