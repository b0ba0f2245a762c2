// Encoding helpers shared by the benchmarks.
#ifndef BENCH_BENCH_SUPPORT_H_
#define BENCH_BENCH_SUPPORT_H_

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flutter/byte_buffer_streams.h"
#include "flutter/standard_codec_serializer.h"
#include "flutter/standard_method_codec.h"
#include "heap_measurement.h"

namespace kelmor_bench {

// How a plugin's value leaves for the application: a success envelope.
inline std::unique_ptr<std::vector<uint8_t>> EncodeMessage(
    const flutter::EncodableValue& value) {
  return flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(
      &value);
}

// The value alone, as the serializer writes it into an empty buffer.
inline std::vector<uint8_t> Encode(const flutter::EncodableValue& value) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

// How a value arrives: read from a message, as a call's arguments are.
inline flutter::EncodableValue Decode(const std::vector<uint8_t>& bytes) {
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  return flutter::StandardCodecSerializer::GetInstance().ReadValue(&reader);
}

// Peak heap while decoding `bytes`, per message byte, as a counter.
// The codec's part of answering "getPlatformVersion": decode the call in
// `call`, encode the answer. Gives the reply's bytes.
inline std::unique_ptr<std::vector<uint8_t>> PlatformVersionCodecWork(
    const flutter::StandardMethodCodec& codec,
    const std::vector<uint8_t>& call) {
  const auto decoded = codec.DecodeMethodCall(call.data(), call.size());
  const flutter::EncodableValue answer(std::string("Windows 10+"));
  return codec.EncodeSuccessEnvelope(&answer);
}

inline void MeasureDecodePeak(benchmark::State& state,
                              const std::vector<uint8_t>& bytes) {
  double ratio = 0;
  for (auto _ : state) {
    kelmor_test::HeapMeasurement heap;
    flutter::EncodableValue value = Decode(bytes);
    benchmark::DoNotOptimize(&value);
    ratio = static_cast<double>(heap.PeakGrowth()) /
            static_cast<double>(bytes.size());
  }
  state.counters["peak_heap_per_message_byte"] = ratio;
}

}  // namespace kelmor_bench

#endif  // BENCH_BENCH_SUPPORT_H_
