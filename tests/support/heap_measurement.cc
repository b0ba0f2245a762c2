#include "heap_measurement.h"

#include <atomic>
#include <cstdint>

namespace kelmor_test {

namespace {

std::atomic<bool> tracking{false};
std::atomic<int64_t> in_use{0};  // may dip below zero: frees of blocks
std::atomic<int64_t> peak{0};    // allocated before tracking began
std::atomic<size_t> blocks{0};

}  // namespace

void CountAllocated(size_t bytes) {
  if (!tracking.load(std::memory_order_relaxed)) return;
  blocks.fetch_add(1, std::memory_order_relaxed);
  const int64_t now = in_use += static_cast<int64_t>(bytes);
  int64_t seen = peak.load(std::memory_order_relaxed);
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
}

void CountFreed(size_t bytes) {
  if (!tracking.load(std::memory_order_relaxed)) return;
  in_use -= static_cast<int64_t>(bytes);
}

bool Counting() { return tracking.load(std::memory_order_relaxed); }

// Counts start from zero: only what is allocated while measuring counts.
HeapMeasurement::HeapMeasurement() {
  InstallAllocationHooks();
  in_use = 0;
  peak = 0;
  blocks = 0;
  tracking = true;
}

HeapMeasurement::~HeapMeasurement() { tracking = false; }

size_t HeapMeasurement::PeakGrowth() const {
  return static_cast<size_t>(peak.load());
}

size_t HeapMeasurement::Allocations() const { return blocks.load(); }

}  // namespace kelmor_test
