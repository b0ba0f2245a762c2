// Typed lists beside memcpy, scaling with element count, and peak heap while
// decoding a large typed list.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "bench_support.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using kelmor_bench::Decode;
using kelmor_bench::Encode;

template <typename T>
EncodableValue TypedList(size_t bytes) {
  std::vector<T> list(bytes / sizeof(T));
  for (size_t i = 0; i < list.size(); ++i) list[i] = static_cast<T>(i * 7);
  return EncodableValue(std::move(list));
}

void TypedListSizes(benchmark::internal::Benchmark* bench) {
  for (int64_t size : {int64_t{1} << 10, int64_t{1} << 16, int64_t{1} << 20,
                       int64_t{1} << 24, int64_t{1} << 26}) {
    bench->Arg(size);
  }
}

// The physical limit: the same bytes into a fresh vector, one allocation and
// one memcpy.
void BM_Memcpy(benchmark::State& state) {
  const std::vector<uint8_t> source(static_cast<size_t>(state.range(0)), 7);
  for (auto _ : state) {
    std::vector<uint8_t> copy(source.begin(), source.end());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Memcpy)->Apply(TypedListSizes);

template <typename T>
void BM_EncodeTypedList(benchmark::State& state) {
  const EncodableValue value =
      TypedList<T>(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    auto bytes = kelmor_bench::EncodeMessage(value);
    benchmark::DoNotOptimize(bytes->data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK_TEMPLATE(BM_EncodeTypedList, uint8_t)->Apply(TypedListSizes);
BENCHMARK_TEMPLATE(BM_EncodeTypedList, int32_t)->Apply(TypedListSizes);
BENCHMARK_TEMPLATE(BM_EncodeTypedList, int64_t)->Apply(TypedListSizes);
BENCHMARK_TEMPLATE(BM_EncodeTypedList, double)->Apply(TypedListSizes);

template <typename T>
void BM_DecodeTypedList(benchmark::State& state) {
  const std::vector<uint8_t> bytes =
      Encode(TypedList<T>(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    EncodableValue value = Decode(bytes);
    benchmark::DoNotOptimize(&value);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK_TEMPLATE(BM_DecodeTypedList, uint8_t)->Apply(TypedListSizes);
BENCHMARK_TEMPLATE(BM_DecodeTypedList, int32_t)->Apply(TypedListSizes);
BENCHMARK_TEMPLATE(BM_DecodeTypedList, int64_t)->Apply(TypedListSizes);
BENCHMARK_TEMPLATE(BM_DecodeTypedList, double)->Apply(TypedListSizes);

// ==== Scaling: time per element from 10^3 to 10^6 ====

enum class Kind { kNulls, kInt64s, kStrings, kInt32Map };

EncodableValue Collection(Kind kind, size_t count) {
  if (kind == Kind::kInt32Map) {
    EncodableMap map;
    for (size_t i = 0; i < count; ++i) {
      map.try_emplace(map.end(), EncodableValue(static_cast<int32_t>(i)),
                      EncodableValue(static_cast<int32_t>(i)));
    }
    return EncodableValue(std::move(map));
  }
  EncodableList list;
  list.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    switch (kind) {
      case Kind::kNulls:
        list.emplace_back();
        break;
      case Kind::kInt64s:
        list.emplace_back(static_cast<int64_t>(i) << 33);
        break;
      default:
        list.emplace_back("element " + std::to_string(i % 1000));
        break;
    }
  }
  return EncodableValue(std::move(list));
}

void ScalingSizes(benchmark::internal::Benchmark* bench) {
  for (int64_t count = 1000; count <= 1000000; count *= 10) bench->Arg(count);
}

void BM_ScaleEncode(benchmark::State& state, Kind kind) {
  const EncodableValue value =
      Collection(kind, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    auto bytes = kelmor_bench::EncodeMessage(value);
    benchmark::DoNotOptimize(bytes->data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ScaleDecode(benchmark::State& state, Kind kind) {
  const std::vector<uint8_t> bytes =
      Encode(Collection(kind, static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    EncodableValue value = Decode(bytes);
    benchmark::DoNotOptimize(&value);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK_CAPTURE(BM_ScaleEncode, nulls, Kind::kNulls)->Apply(ScalingSizes);
BENCHMARK_CAPTURE(BM_ScaleDecode, nulls, Kind::kNulls)->Apply(ScalingSizes);
BENCHMARK_CAPTURE(BM_ScaleEncode, int64s, Kind::kInt64s)->Apply(ScalingSizes);
BENCHMARK_CAPTURE(BM_ScaleDecode, int64s, Kind::kInt64s)->Apply(ScalingSizes);
BENCHMARK_CAPTURE(BM_ScaleEncode, strings, Kind::kStrings)->Apply(ScalingSizes);
BENCHMARK_CAPTURE(BM_ScaleDecode, strings, Kind::kStrings)->Apply(ScalingSizes);
BENCHMARK_CAPTURE(BM_ScaleEncode, int32_map, Kind::kInt32Map)
    ->Apply(ScalingSizes);
BENCHMARK_CAPTURE(BM_ScaleDecode, int32_map, Kind::kInt32Map)
    ->Apply(ScalingSizes);

// ==== Memory: peak heap while decoding, against the message size ====

void BM_DecodePeakHeapTypedList(benchmark::State& state) {
  kelmor_bench::MeasureDecodePeak(state,
                                  Encode(TypedList<double>(size_t{1} << 26)));
}
BENCHMARK(BM_DecodePeakHeapTypedList)->Iterations(3);

}  // namespace
