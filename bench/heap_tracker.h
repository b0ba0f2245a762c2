// Counts the bytes held on the heap, and their peak, through the global
// allocation functions of the benchmark program.
#ifndef BENCH_HEAP_TRACKER_H_
#define BENCH_HEAP_TRACKER_H_

#include <cstddef>

namespace kelmor_bench {

// Counting costs time, so it runs only while a HeapMeasurement lives.
class HeapMeasurement {
 public:
  HeapMeasurement();
  ~HeapMeasurement();
  // The most bytes held at once since construction, beyond what was held then.
  size_t PeakGrowth() const;
};

}  // namespace kelmor_bench

#endif  // BENCH_HEAP_TRACKER_H_
