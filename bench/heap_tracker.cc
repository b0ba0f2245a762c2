#include "heap_tracker.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace kelmor_bench {

namespace {

std::atomic<size_t> in_use{0};
std::atomic<size_t> peak{0};

void* Track(void* block) {
  if (block == nullptr) throw std::bad_alloc();
  const size_t now = in_use += malloc_usable_size(block);
  size_t seen = peak.load(std::memory_order_relaxed);
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
  return block;
}

void Untrack(void* block) {
  if (block == nullptr) return;
  in_use -= malloc_usable_size(block);
  std::free(block);
}

}  // namespace

size_t HeapInUse() { return in_use; }
size_t HeapPeak() { return peak; }
void ResetHeapPeak() { peak = in_use.load(); }

}  // namespace kelmor_bench

void* operator new(size_t size) {
  return kelmor_bench::Track(std::malloc(size ? size : 1));
}
void* operator new[](size_t size) {
  return kelmor_bench::Track(std::malloc(size ? size : 1));
}
void operator delete(void* block) noexcept { kelmor_bench::Untrack(block); }
void operator delete[](void* block) noexcept { kelmor_bench::Untrack(block); }
void operator delete(void* block, size_t) noexcept {
  kelmor_bench::Untrack(block);
}
void operator delete[](void* block, size_t) noexcept {
  kelmor_bench::Untrack(block);
}
