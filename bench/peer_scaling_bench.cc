// The scaling collections of codec_bench.cc, encoded and decoded by the
// peers in their own natural forms, for the plot beside ours: msgpack-c
// (from and into msgpack::object) and nlohmann-json's MessagePack (from and
// into json; maps with int32 keys have no json form).
#include <benchmark/benchmark.h>

#include <msgpack.hpp>
#include <nlohmann/json.hpp>
#include <string>

namespace {

using nlohmann::json;

enum class Kind { kNulls, kInt64s, kStrings, kInt32Map };

// The collection packed as MessagePack, element for element like ours.
msgpack::sbuffer Packed(Kind kind, size_t count) {
  msgpack::sbuffer buffer;
  msgpack::packer<msgpack::sbuffer> packer(buffer);
  if (kind == Kind::kInt32Map) {
    packer.pack_map(static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
      packer.pack(static_cast<int32_t>(i));
      packer.pack(static_cast<int32_t>(i));
    }
    return buffer;
  }
  packer.pack_array(static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    switch (kind) {
      case Kind::kNulls:
        packer.pack_nil();
        break;
      case Kind::kInt64s:
        packer.pack(static_cast<int64_t>(i) << 33);
        break;
      default:
        packer.pack("element " + std::to_string(i % 1000));
        break;
    }
  }
  return buffer;
}

msgpack::object_handle Unpacked(const msgpack::sbuffer& buffer) {
  return msgpack::unpack(buffer.data(), buffer.size());
}

void BM_PeerScaleEncode_MsgpackC(benchmark::State& state, Kind kind) {
  const auto count = static_cast<size_t>(state.range(0));
  const msgpack::object_handle tree = Unpacked(Packed(kind, count));
  for (auto _ : state) {
    msgpack::sbuffer buffer;
    msgpack::pack(buffer, tree.get());
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PeerScaleDecode_MsgpackC(benchmark::State& state, Kind kind) {
  const msgpack::sbuffer bytes =
      Packed(kind, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    msgpack::object_handle tree = Unpacked(bytes);
    benchmark::DoNotOptimize(&tree);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

json JsonOf(Kind kind, size_t count) {
  const msgpack::sbuffer bytes = Packed(kind, count);
  return json::from_msgpack(bytes.data(), bytes.data() + bytes.size());
}

void BM_PeerScaleEncode_NlohmannMsgpack(benchmark::State& state, Kind kind) {
  const json tree = JsonOf(kind, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    auto bytes = json::to_msgpack(tree);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PeerScaleDecode_NlohmannMsgpack(benchmark::State& state, Kind kind) {
  const msgpack::sbuffer bytes =
      Packed(kind, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    json tree = json::from_msgpack(bytes.data(), bytes.data() + bytes.size());
    benchmark::DoNotOptimize(&tree);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ScalingSizes(benchmark::internal::Benchmark* bench) {
  for (int64_t count = 1000; count <= 1000000; count *= 10) bench->Arg(count);
}

#define KELMOR_PEER_SCALING(peer, kind_name, kind)              \
  BENCHMARK_CAPTURE(BM_PeerScaleEncode_##peer, kind_name, kind) \
      ->Apply(ScalingSizes);                                    \
  BENCHMARK_CAPTURE(BM_PeerScaleDecode_##peer, kind_name, kind) \
      ->Apply(ScalingSizes)

KELMOR_PEER_SCALING(MsgpackC, nulls, Kind::kNulls);
KELMOR_PEER_SCALING(MsgpackC, int64s, Kind::kInt64s);
KELMOR_PEER_SCALING(MsgpackC, strings, Kind::kStrings);
KELMOR_PEER_SCALING(MsgpackC, int32_map, Kind::kInt32Map);
KELMOR_PEER_SCALING(NlohmannMsgpack, nulls, Kind::kNulls);
KELMOR_PEER_SCALING(NlohmannMsgpack, int64s, Kind::kInt64s);
KELMOR_PEER_SCALING(NlohmannMsgpack, strings, Kind::kStrings);

}  // namespace
