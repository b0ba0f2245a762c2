#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace kelmor_fuzz {

void SilenceDiagnostics() { std::cerr.rdbuf(nullptr); }

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

}  // namespace kelmor_fuzz
