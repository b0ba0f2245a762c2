// Counts the bytes held on the heap, and their peak, through the global
// allocation functions of the program that links heap_measurement.cc (tests
// of memory bounds, fuzz targets and benchmarks).
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
};

}  // namespace kelmor_test

#endif  // TESTS_SUPPORT_HEAP_MEASUREMENT_H_
