#include "heap_tracker.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "bench_support.h"

namespace kelmor_bench {

namespace {

std::atomic<bool> tracking{false};
std::atomic<int64_t> in_use{0};  // may dip below zero: frees of blocks
std::atomic<int64_t> peak{0};    // allocated before tracking began

void* Allocate(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  if (tracking.load(std::memory_order_relaxed)) {
    const int64_t now = in_use +=
        static_cast<int64_t>(malloc_usable_size(block));
    int64_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
  }
  return block;
}

void Free(void* block) {
  if (block == nullptr) return;
  if (tracking.load(std::memory_order_relaxed)) {
    in_use -= static_cast<int64_t>(malloc_usable_size(block));
  }
  std::free(block);
}

}  // namespace

// Counts start from zero: only what is allocated while measuring counts.
HeapMeasurement::HeapMeasurement() {
  in_use = 0;
  peak = 0;
  tracking = true;
}

HeapMeasurement::~HeapMeasurement() { tracking = false; }

size_t HeapMeasurement::PeakGrowth() const {
  return static_cast<size_t>(peak.load());
}

void MeasureDecodePeak(benchmark::State& state,
                       const std::vector<uint8_t>& bytes) {
  double ratio = 0;
  for (auto _ : state) {
    HeapMeasurement heap;
    flutter::EncodableValue value = Decode(bytes);
    benchmark::DoNotOptimize(&value);
    ratio = static_cast<double>(heap.PeakGrowth()) /
            static_cast<double>(bytes.size());
  }
  state.counters["peak_heap_per_message_byte"] = ratio;
}

}  // namespace kelmor_bench

void* operator new(size_t size) { return kelmor_bench::Allocate(size); }
void* operator new[](size_t size) { return kelmor_bench::Allocate(size); }
void operator delete(void* block) noexcept { kelmor_bench::Free(block); }
void operator delete[](void* block) noexcept { kelmor_bench::Free(block); }
void operator delete(void* block, size_t) noexcept {
  kelmor_bench::Free(block);
}
void operator delete[](void* block, size_t) noexcept {
  kelmor_bench::Free(block);
}
