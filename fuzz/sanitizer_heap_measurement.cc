// The allocation hooks of HeapMeasurement for the fuzz targets: the
// sanitizer's own hooks see every allocation, libFuzzer's included, without
// replacing the global allocation functions that the sanitizer provides.
#include <sanitizer/allocator_interface.h>

#include "heap_measurement.h"

namespace kelmor_test {

namespace {

void OnMalloc(const volatile void*, size_t size) { CountAllocated(size); }

void OnFree(const volatile void* block) {
  if (!Counting()) return;
  CountFreed(__sanitizer_get_allocated_size(const_cast<const void*>(block)));
}

}  // namespace

void InstallAllocationHooks() {
  static const bool installed =
      __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree) != 0;
  (void)installed;
}

}  // namespace kelmor_test
