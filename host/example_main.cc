// Prints the bytes of a "getPlatformVersion" call and of a success reply.
#include <cstdio>
#include <memory>
#include <vector>

#include "flutter/standard_method_codec.h"

namespace {

void PrintHex(const char* label, const std::vector<uint8_t>& bytes) {
  std::printf("%s:", label);
  for (uint8_t byte : bytes) std::printf(" %02X", byte);
  std::printf("\n");
}

}  // namespace

int main() {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  flutter::MethodCall<> call("getPlatformVersion", nullptr);
  PrintHex("call", *codec.EncodeMethodCall(call));
  const flutter::EncodableValue answer("Windows 10+");
  PrintHex("reply", *codec.EncodeSuccessEnvelope(&answer));
  return 0;
}
