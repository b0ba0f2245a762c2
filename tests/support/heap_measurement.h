// Counts the bytes held on the heap, and their peak, for tests of memory
// bounds, fuzz targets and benchmarks. A program links heap_measurement.cc
// and one source of allocation hooks: counting_operator_new.cc (the global
// allocation functions, replaced) or, under a sanitizer, the fuzz targets'
// sanitizer_heap_measurement.cc.
#ifndef TESTS_SUPPORT_HEAP_MEASUREMENT_H_
#define TESTS_SUPPORT_HEAP_MEASUREMENT_H_

#include <cstddef>

namespace kelmor_test {

// Counting costs time, so it runs only while a HeapMeasurement lives; one at
// a time per program.
class HeapMeasurement {
 public:
  HeapMeasurement();
  ~HeapMeasurement();
  HeapMeasurement(const HeapMeasurement&) = delete;
  HeapMeasurement& operator=(const HeapMeasurement&) = delete;

  // The most bytes held at once since construction, beyond what was held then.
  size_t PeakGrowth() const;

  // Blocks allocated since construction.
  size_t Allocations() const;
};

// The hooks' side: the hooks call these with each block's size.
void InstallAllocationHooks();
bool Counting();
void CountAllocated(size_t bytes);
void CountFreed(size_t bytes);

}  // namespace kelmor_test

#endif  // TESTS_SUPPORT_HEAP_MEASUREMENT_H_
