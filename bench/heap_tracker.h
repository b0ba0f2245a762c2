// Counts the bytes held on the heap, and their peak, through the global
// allocation functions of the benchmark program.
#ifndef BENCH_HEAP_TRACKER_H_
#define BENCH_HEAP_TRACKER_H_

#include <cstddef>

namespace kelmor_bench {

size_t HeapInUse();
size_t HeapPeak();
// Starts a new peak from what is in use now.
void ResetHeapPeak();

}  // namespace kelmor_bench

#endif  // BENCH_HEAP_TRACKER_H_
