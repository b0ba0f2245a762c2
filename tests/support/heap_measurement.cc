#include "heap_measurement.h"

#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace kelmor_test {

namespace {

std::atomic<bool> tracking{false};
std::atomic<int64_t> in_use{0};  // may dip below zero: frees of blocks
std::atomic<int64_t> peak{0};    // allocated before tracking began

size_t UsableSize(void* block) {
#ifdef _WIN32
  return _msize(block);
#else
  return malloc_usable_size(block);
#endif
}

void* Allocate(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  if (tracking.load(std::memory_order_relaxed)) {
    const int64_t now = in_use += static_cast<int64_t>(UsableSize(block));
    int64_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
  }
  return block;
}

void Free(void* block) {
  if (block == nullptr) return;
  if (tracking.load(std::memory_order_relaxed)) {
    in_use -= static_cast<int64_t>(UsableSize(block));
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

}  // namespace kelmor_test

void* operator new(size_t size) { return kelmor_test::Allocate(size); }
void* operator new[](size_t size) { return kelmor_test::Allocate(size); }
void operator delete(void* block) noexcept { kelmor_test::Free(block); }
void operator delete[](void* block) noexcept { kelmor_test::Free(block); }
void operator delete(void* block, size_t) noexcept { kelmor_test::Free(block); }
void operator delete[](void* block, size_t) noexcept {
  kelmor_test::Free(block);
}
