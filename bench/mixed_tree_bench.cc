// A mixed value tree of about 100 KB, encoded and decoded by our codec and,
// each from and into its own natural in-memory form, by nlohmann-json's
// MessagePack and CBOR and by msgpack-c; and the floors of our value model:
// the cheapest build of the same tree without parsing, and a walk over it.
#include <benchmark/benchmark.h>

#include <msgpack.hpp>
#include <nlohmann/json.hpp>

#include "bench_support.h"
#include "mixed_tree.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using nlohmann::json;

using kelmor_bench::kEntries;
using kelmor_bench::OurTree;

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

// Encodes `tree` with `encode` (tree in, bytes out) on every iteration.
template <typename Tree, typename Encode>
void EncodeBenchmark(benchmark::State& state, const Tree& tree, Encode encode) {
  size_t size = 0;
  for (auto _ : state) {
    auto bytes = encode(tree);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  Report(state, size);
}

// Decodes `bytes` with `decode` into the peer's own form on every iteration.
template <typename Decode>
void DecodeBenchmark(benchmark::State& state, const std::vector<uint8_t>& bytes,
                     Decode decode) {
  for (auto _ : state) {
    auto tree = decode(bytes);
    benchmark::DoNotOptimize(&tree);
  }
  Report(state, bytes.size());
}

// msgpack-c's natural form is msgpack::object in a zone.
msgpack::object_handle MsgpackUnpack(const std::vector<uint8_t>& bytes) {
  return msgpack::unpack(reinterpret_cast<const char*>(bytes.data()),
                         bytes.size());
}

// Through the method codec: a success envelope, as a plugin answers.
void BM_MixedEncode_Ours(benchmark::State& state) {
  EncodeBenchmark(state, OurTree(), [](const EncodableValue& tree) {
    return std::move(*kelmor_bench::EncodeMessage(tree));
  });
}
BENCHMARK(BM_MixedEncode_Ours);

// Through the serializer into a ByteBufferStreamWriter over a fresh vector.
void BM_MixedEncodeWriter_Ours(benchmark::State& state) {
  EncodeBenchmark(state, OurTree(), kelmor_bench::Encode);
}
BENCHMARK(BM_MixedEncodeWriter_Ours);

void BM_MixedDecode_Ours(benchmark::State& state) {
  DecodeBenchmark(state, kelmor_bench::Encode(OurTree()), kelmor_bench::Decode);
}
BENCHMARK(BM_MixedDecode_Ours);

// Through the method codec: a call whose arguments are the tree.
void BM_MixedDecodeCall_Ours(benchmark::State& state) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  const auto message = codec.EncodeMethodCall(flutter::MethodCall<>(
      "tree", std::make_unique<EncodableValue>(OurTree())));
  DecodeBenchmark(state, *message, [&](const std::vector<uint8_t>& bytes) {
    return codec.DecodeMethodCall(bytes.data(), bytes.size());
  });
}
BENCHMARK(BM_MixedDecodeCall_Ours);

void BM_MixedEncode_NlohmannMsgpack(benchmark::State& state) {
  EncodeBenchmark(state, JsonTree(),
                  [](const json& tree) { return json::to_msgpack(tree); });
}
BENCHMARK(BM_MixedEncode_NlohmannMsgpack);

void BM_MixedDecode_NlohmannMsgpack(benchmark::State& state) {
  DecodeBenchmark(state, json::to_msgpack(JsonTree()),
                  [](const std::vector<uint8_t>& bytes) {
                    return json::from_msgpack(bytes);
                  });
}
BENCHMARK(BM_MixedDecode_NlohmannMsgpack);

void BM_MixedEncode_NlohmannCbor(benchmark::State& state) {
  EncodeBenchmark(state, JsonTree(),
                  [](const json& tree) { return json::to_cbor(tree); });
}
BENCHMARK(BM_MixedEncode_NlohmannCbor);

void BM_MixedDecode_NlohmannCbor(benchmark::State& state) {
  DecodeBenchmark(
      state, json::to_cbor(JsonTree()),
      [](const std::vector<uint8_t>& bytes) { return json::from_cbor(bytes); });
}
BENCHMARK(BM_MixedDecode_NlohmannCbor);

void BM_MixedEncode_MsgpackC(benchmark::State& state) {
  const msgpack::object_handle tree =
      MsgpackUnpack(json::to_msgpack(JsonTree()));
  EncodeBenchmark(state, tree.get(), [](const msgpack::object& object) {
    msgpack::sbuffer buffer;
    msgpack::pack(buffer, object);
    return buffer;
  });
}
BENCHMARK(BM_MixedEncode_MsgpackC);

void BM_MixedDecode_MsgpackC(benchmark::State& state) {
  DecodeBenchmark(state, json::to_msgpack(JsonTree()), MsgpackUnpack);
}
BENCHMARK(BM_MixedDecode_MsgpackC);

// The decode floor: the tree built from its events, then destroyed, as a
// decoded tree is.
void BM_MixedBuildFloor(benchmark::State& state) {
  const std::vector<uint8_t> bytes = kelmor_bench::Encode(OurTree());
  const kelmor_bench::Events parsed = kelmor_bench::ParseMessage(bytes);
  for (auto _ : state) {
    EncodableValue tree;
    const kelmor_bench::Event* next = parsed.events.data();
    kelmor_bench::Build(next, tree);
    benchmark::DoNotOptimize(&tree);
  }
  Report(state, bytes.size());
}
BENCHMARK(BM_MixedBuildFloor);

// The tree copied, then destroyed: the general-purpose way to build it.
void BM_MixedCopy(benchmark::State& state) {
  const EncodableValue tree = OurTree();
  for (auto _ : state) {
    EncodableValue copy = tree;
    benchmark::DoNotOptimize(&copy);
  }
  Report(state, kelmor_bench::Encode(tree).size());
}
BENCHMARK(BM_MixedCopy);

// The encode floor.
void BM_MixedWalk(benchmark::State& state) {
  const EncodableValue tree = OurTree();
  for (auto _ : state) {
    benchmark::DoNotOptimize(kelmor_bench::Walk(tree));
  }
  Report(state, kelmor_bench::Encode(tree).size());
}
BENCHMARK(BM_MixedWalk);

void BM_DecodePeakHeapMixedTree(benchmark::State& state) {
  kelmor_bench::MeasureDecodePeak(state, kelmor_bench::Encode(OurTree()));
}
BENCHMARK(BM_DecodePeakHeapMixedTree)->Iterations(20);

}  // namespace
