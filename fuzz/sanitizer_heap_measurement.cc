// HeapMeasurement for the fuzz targets: the sanitizer's allocation hooks see
// every allocation, including libFuzzer's own, without replacing the global
// allocation functions that the sanitizer already provides.
#include <sanitizer/allocator_interface.h>

#include <atomic>
#include <cstdint>

#include "heap_measurement.h"

namespace kelmor_test {

namespace {

std::atomic<bool> tracking{false};
std::atomic<int64_t> in_use{0};
std::atomic<int64_t> peak{0};

void OnMalloc(const volatile void*, size_t size) {
  if (!tracking.load(std::memory_order_relaxed)) return;
  const int64_t now = in_use += static_cast<int64_t>(size);
  int64_t seen = peak.load(std::memory_order_relaxed);
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
}

void OnFree(const volatile void* block) {
  if (!tracking.load(std::memory_order_relaxed)) return;
  in_use -= static_cast<int64_t>(
      __sanitizer_get_allocated_size(const_cast<const void*>(block)));
}

bool InstallHooks() {
  return __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree) != 0;
}

}  // namespace

HeapMeasurement::HeapMeasurement() {
  static const bool installed = InstallHooks();
  (void)installed;
  in_use = 0;
  peak = 0;
  tracking = true;
}

HeapMeasurement::~HeapMeasurement() { tracking = false; }

size_t HeapMeasurement::PeakGrowth() const {
  return static_cast<size_t>(peak.load());
}

}  // namespace kelmor_test
