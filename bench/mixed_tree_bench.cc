// A mixed value tree of about 100 KB, encoded and decoded by our codec and,
// each from and into its own natural in-memory form, by nlohmann-json's
// MessagePack and CBOR and by msgpack-c.
#include <benchmark/benchmark.h>

#include <msgpack.hpp>
#include <nlohmann/json.hpp>

#include "bench_support.h"
#include "heap_tracker.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using nlohmann::json;

constexpr int kEntries = 1000;

EncodableValue OurTree() {
  EncodableList list;
  for (int i = 0; i < kEntries; ++i) {
    list.emplace_back(EncodableMap{
        {"int32", EncodableValue(int32_t{i})},
        {"int64", EncodableValue(int64_t{i} << 40)},
        {"double", EncodableValue(i * 0.25)},
        {"text", EncodableValue("short string")},
        {"flag", EncodableValue(i % 2 == 0)},
        {"nothing", EncodableValue()},
        {"list", EncodableValue(std::vector<int32_t>{i, i + 1, i + 2, i + 3})},
        {"nested", EncodableValue(EncodableMap{{"a", int32_t{1}}, {"b", "x"}})},
    });
  }
  return EncodableValue(std::move(list));
}

json JsonTree() {
  json list = json::array();
  for (int i = 0; i < kEntries; ++i) {
    list.push_back({{"int32", i},
                    {"int64", int64_t{i} << 40},
                    {"double", i * 0.25},
                    {"text", "short string"},
                    {"flag", i % 2 == 0},
                    {"nothing", nullptr},
                    {"list", {i, i + 1, i + 2, i + 3}},
                    {"nested", {{"a", 1}, {"b", "x"}}}});
  }
  return list;
}

void Report(benchmark::State& state, size_t message_size) {
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(message_size));
  state.counters["message_bytes"] = static_cast<double>(message_size);
}

void BM_MixedEncode_Ours(benchmark::State& state) {
  const EncodableValue tree = OurTree();
  size_t size = 0;
  for (auto _ : state) {
    auto bytes = kelmor_bench::EncodeMessage(tree);
    size = bytes->size();
    benchmark::DoNotOptimize(bytes->data());
  }
  Report(state, size);
}
BENCHMARK(BM_MixedEncode_Ours);

void BM_MixedDecode_Ours(benchmark::State& state) {
  const std::vector<uint8_t> bytes = kelmor_bench::Encode(OurTree());
  for (auto _ : state) {
    EncodableValue tree = kelmor_bench::Decode(bytes);
    benchmark::DoNotOptimize(&tree);
  }
  Report(state, bytes.size());
}
BENCHMARK(BM_MixedDecode_Ours);

void BM_MixedEncode_NlohmannMsgpack(benchmark::State& state) {
  const json tree = JsonTree();
  size_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> bytes = json::to_msgpack(tree);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  Report(state, size);
}
BENCHMARK(BM_MixedEncode_NlohmannMsgpack);

void BM_MixedDecode_NlohmannMsgpack(benchmark::State& state) {
  const std::vector<uint8_t> bytes = json::to_msgpack(JsonTree());
  for (auto _ : state) {
    json tree = json::from_msgpack(bytes);
    benchmark::DoNotOptimize(&tree);
  }
  Report(state, bytes.size());
}
BENCHMARK(BM_MixedDecode_NlohmannMsgpack);

void BM_MixedEncode_NlohmannCbor(benchmark::State& state) {
  const json tree = JsonTree();
  size_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> bytes = json::to_cbor(tree);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  Report(state, size);
}
BENCHMARK(BM_MixedEncode_NlohmannCbor);

void BM_MixedDecode_NlohmannCbor(benchmark::State& state) {
  const std::vector<uint8_t> bytes = json::to_cbor(JsonTree());
  for (auto _ : state) {
    json tree = json::from_cbor(bytes);
    benchmark::DoNotOptimize(&tree);
  }
  Report(state, bytes.size());
}
BENCHMARK(BM_MixedDecode_NlohmannCbor);

// msgpack-c's natural form is msgpack::object in a zone.
msgpack::object_handle MsgpackTree() {
  const std::vector<uint8_t> bytes = json::to_msgpack(JsonTree());
  return msgpack::unpack(reinterpret_cast<const char*>(bytes.data()),
                         bytes.size());
}

void BM_MixedEncode_MsgpackC(benchmark::State& state) {
  const msgpack::object_handle tree = MsgpackTree();
  size_t size = 0;
  for (auto _ : state) {
    msgpack::sbuffer buffer;
    msgpack::pack(buffer, tree.get());
    size = buffer.size();
    benchmark::DoNotOptimize(buffer.data());
  }
  Report(state, size);
}
BENCHMARK(BM_MixedEncode_MsgpackC);

void BM_MixedDecode_MsgpackC(benchmark::State& state) {
  const std::vector<uint8_t> bytes = json::to_msgpack(JsonTree());
  for (auto _ : state) {
    msgpack::object_handle tree = msgpack::unpack(
        reinterpret_cast<const char*>(bytes.data()), bytes.size());
    benchmark::DoNotOptimize(&tree);
  }
  Report(state, bytes.size());
}
BENCHMARK(BM_MixedDecode_MsgpackC);

void BM_DecodePeakHeapMixedTree(benchmark::State& state) {
  const std::vector<uint8_t> bytes = kelmor_bench::Encode(OurTree());
  double ratio = 0;
  for (auto _ : state) {
    kelmor_bench::HeapMeasurement heap;
    EncodableValue tree = kelmor_bench::Decode(bytes);
    benchmark::DoNotOptimize(&tree);
    ratio = static_cast<double>(heap.PeakGrowth()) /
            static_cast<double>(bytes.size());
  }
  state.counters["peak_heap_per_message_byte"] = ratio;
}
BENCHMARK(BM_DecodePeakHeapMixedTree)->Iterations(20);

}  // namespace
