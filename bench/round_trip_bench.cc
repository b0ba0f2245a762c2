// A method call's round trip through the stand-in engine and the real plugin,
// beside the codec work alone (decode the call, encode the reply).
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "flutter/standard_method_codec.h"
#include "heap_measurement.h"
#include "kelmor/kelmor_plugin_c_api.h"
#include "standin_engine.h"

namespace {

using flutter::EncodableValue;
using flutter::MethodCall;
using flutter::StandardMethodCodec;

std::vector<uint8_t> CallBytes(const std::string& method) {
  return *StandardMethodCodec::GetInstance().EncodeMethodCall(
      MethodCall<>(method, nullptr));
}

void RoundTrip(benchmark::State& state, const std::string& method) {
  standin::Engine engine;
  FlutterDesktopPluginRegistrarRef registrar = engine.CreateRegistrar();
  KelmorPluginCApiRegisterWithRegistrar(registrar);
  const std::vector<uint8_t> call = CallBytes(method);
  for (auto _ : state) {
    const auto ticket = engine.Deliver(registrar, "kelmor", call);
    engine.Forget(ticket);
  }
  size_t allocations = 0;
  {
    kelmor_test::HeapMeasurement heap;
    engine.Forget(engine.Deliver(registrar, "kelmor", call));
    allocations = heap.Allocations();
  }
  state.counters["allocations"] = static_cast<double>(allocations);
  const auto ticket = engine.Deliver(registrar, "kelmor", call);
  if (engine.GetResponse(ticket).times_sent != 1)
    state.SkipWithError("no reply");
  engine.DestroyRegistrar(registrar);
}

void BM_RoundTrip_GetPlatformVersion(benchmark::State& state) {
  RoundTrip(state, "getPlatformVersion");
}
BENCHMARK(BM_RoundTrip_GetPlatformVersion);

void BM_RoundTrip_NotImplemented(benchmark::State& state) {
  RoundTrip(state, "somethingElse");
}
BENCHMARK(BM_RoundTrip_NotImplemented);

// The engine's own share of a round trip: the stand-in delivers the same
// call to a bare callback, which answers at once with the reply's bytes.
void BM_RoundTrip_EngineAlone(benchmark::State& state) {
  standin::Engine engine;
  FlutterDesktopPluginRegistrarRef registrar = engine.CreateRegistrar();
  const std::vector<uint8_t> call = CallBytes("getPlatformVersion");
  const std::vector<uint8_t> reply = *kelmor_bench::PlatformVersionCodecWork(
      StandardMethodCodec::GetInstance(), call);
  FlutterDesktopMessengerSetCallback(
      FlutterDesktopPluginRegistrarGetMessenger(registrar), "kelmor",
      [](FlutterDesktopMessengerRef messenger,
         const FlutterDesktopMessage* message, void* user_data) {
        const auto* bytes = static_cast<const std::vector<uint8_t>*>(user_data);
        FlutterDesktopMessengerSendResponse(messenger, message->response_handle,
                                            bytes->data(), bytes->size());
      },
      const_cast<std::vector<uint8_t>*>(&reply));
  for (auto _ : state) {
    engine.Forget(engine.Deliver(registrar, "kelmor", call));
  }
  if (engine.GetResponse(engine.Deliver(registrar, "kelmor", call)).bytes !=
      reply) {
    state.SkipWithError("no reply");
  }
  engine.DestroyRegistrar(registrar);
}
BENCHMARK(BM_RoundTrip_EngineAlone);

void BM_CodecWork_GetPlatformVersion(benchmark::State& state) {
  const auto& codec = StandardMethodCodec::GetInstance();
  const std::vector<uint8_t> call = CallBytes("getPlatformVersion");
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        kelmor_bench::PlatformVersionCodecWork(codec, call)->data());
  }
  kelmor_test::HeapMeasurement heap;
  kelmor_bench::PlatformVersionCodecWork(codec, call);
  state.counters["allocations"] = static_cast<double>(heap.Allocations());
}
BENCHMARK(BM_CodecWork_GetPlatformVersion);

void BM_CodecWork_NotImplemented(benchmark::State& state) {
  const auto& codec = StandardMethodCodec::GetInstance();
  const std::vector<uint8_t> call = CallBytes("somethingElse");
  for (auto _ : state) {
    auto decoded = codec.DecodeMethodCall(call.data(), call.size());
    benchmark::DoNotOptimize(decoded.get());
  }
}
BENCHMARK(BM_CodecWork_NotImplemented);

}  // namespace
