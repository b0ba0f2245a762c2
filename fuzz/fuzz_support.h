// Shared by the fuzz targets: diagnostics counted rather than shown, the
// linear bounds that every decode must keep, and a hard failure that
// libFuzzer reports with the input that caused it.
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>

#include "heap_measurement.h"

namespace kelmor_fuzz {

// Heap a decode may hold per input byte, and a constant beside it.
constexpr size_t kHeapPerInputByte = 100;
constexpr size_t kHeapConstant = 4096;

// From now on std::cerr counts its lines instead of writing them.
void CountDiagnostics();

// Lines written to std::cerr since CountDiagnostics.
size_t DiagnosticLines();

// Aborts with `what` when `condition` is false.
void Require(bool condition, const char* what);

// Runs `work` on an input of `size` bytes and requires that it held at most
// kHeapPerInputByte bytes of heap per input byte (plus kHeapConstant) and
// wrote at most `size` + `extra_lines` diagnostic lines. Gives what `work`
// gives.
template <typename Work>
auto WithinBounds(size_t size, size_t extra_lines, Work work) {
  const size_t lines_before = DiagnosticLines();
  kelmor_test::HeapMeasurement heap;
  auto outcome = work();
  Require(heap.PeakGrowth() <= kHeapPerInputByte * size + kHeapConstant,
          "decoding held more heap than the input justifies");
  Require(DiagnosticLines() - lines_before <= size + extra_lines,
          "decoding wrote more diagnostic lines than the input has bytes");
  return outcome;
}

}  // namespace kelmor_fuzz

#endif  // FUZZ_FUZZ_SUPPORT_H_
