// The allocation hooks of HeapMeasurement for ordinary programs: the global
// allocation functions, replaced, count what they hand out.
#include <malloc.h>

#include <cstdlib>
#include <new>

#include "heap_measurement.h"

namespace kelmor_test {

namespace {

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
  if (Counting()) CountAllocated(UsableSize(block));
  return block;
}

void Free(void* block) {
  if (block == nullptr) return;
  if (Counting()) CountFreed(UsableSize(block));
  std::free(block);
}

}  // namespace

void InstallAllocationHooks() {}

}  // namespace kelmor_test

void* operator new(size_t size) { return kelmor_test::Allocate(size); }
void* operator new[](size_t size) { return kelmor_test::Allocate(size); }
void operator delete(void* block) noexcept { kelmor_test::Free(block); }
void operator delete[](void* block) noexcept { kelmor_test::Free(block); }
void operator delete(void* block, size_t) noexcept { kelmor_test::Free(block); }
void operator delete[](void* block, size_t) noexcept {
  kelmor_test::Free(block);
}
