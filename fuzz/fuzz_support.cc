#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>

namespace kelmor_fuzz {

namespace {

// Discards what it is given, counting the ends of lines.
class LineCountingBuffer : public std::streambuf {
 public:
  size_t lines = 0;

 protected:
  int overflow(int c) override {
    if (c == '\n') ++lines;
    return c == EOF ? 0 : c;
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    for (std::streamsize i = 0; i < count; ++i) {
      if (text[i] == '\n') ++lines;
    }
    return count;
  }
};

LineCountingBuffer* TheBuffer() {
  static auto* buffer = new LineCountingBuffer();
  return buffer;
}

}  // namespace

void CountDiagnostics() { std::cerr.rdbuf(TheBuffer()); }

size_t DiagnosticLines() { return TheBuffer()->lines; }

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

}  // namespace kelmor_fuzz
