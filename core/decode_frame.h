// DecodeFrame: what one list or map being decoded has claimed of its input.
//
// A size prefix is only trusted as far as the input can back it: every
// element that an enclosing list or map still expects needs at least one
// more byte (its type byte), so a nested prefix may only claim the bytes
// left beyond those. Checking each prefix against that share, rather than
// against all the bytes left, keeps the whole decode linear in the message:
// the declared counts of all containers together never exceed its length.
//
// The frames of one thread form a stack that follows the decoder's
// recursion; frames over different readers do not count against each other,
// so a value decoded from another buffer in the middle of a decode keeps its
// own budget.
#ifndef CORE_DECODE_FRAME_H_
#define CORE_DECODE_FRAME_H_

#include <cstdint>
#include <limits>

namespace flutter {
namespace internal {

// What BytesRemaining answers for a reader that cannot tell.
constexpr uint64_t kUnknownRemaining = std::numeric_limits<uint64_t>::max();

class DecodeFrame {
 public:
  // Opens the frame of a list or map about to be read from the reader
  // `stream` (any address that names it), which has `remaining` bytes left.
  DecodeFrame(const void* stream, uint64_t remaining);
  ~DecodeFrame();
  DecodeFrame(const DecodeFrame&) = delete;
  DecodeFrame& operator=(const DecodeFrame&) = delete;

  // Lists and maps open, on this thread, including this one.
  int depth() const { return depth_; }

  // Whether the reader tells how many bytes are left.
  bool bounded() const { return bounded_; }

  // Whether `count` elements of at least `width` bytes each fit in what the
  // enclosing containers leave of the `remaining` bytes. Reports one invalid
  // read when not.
  bool Fits(uint64_t count, uint64_t width, uint64_t remaining) const;

  // Declares the bytes that the elements after the one about to be read
  // still need, so that nested prefixes cannot claim them.
  void Expect(uint64_t bytes) { expected_ = bytes; }

  // True the first time any open frame over this reader asks: the end of
  // the input is reported once, not by every container it cuts short.
  bool ReportEndOnce();

  // What of the `remaining` bytes of `stream` open containers do not still
  // expect, or kUnknownRemaining when the reader cannot tell.
  static uint64_t AvailableTo(const void* stream, uint64_t remaining);

  // For a decoder that keeps its own budget: the bytes of `stream` that
  // open frames expect for their later elements, and the lists and maps
  // open on this thread, over any reader.
  static void Enclosing(const void* stream, uint64_t* expected, int* depth);

 private:
  // Bytes of `stream` that open frames expect for their later elements.
  static uint64_t ExpectedOf(const void* stream);
  const void* stream_;
  DecodeFrame* outer_;
  int depth_;
  bool bounded_;
  uint64_t outside_;  // what frames outside this one expect of `stream_`
  uint64_t expected_ = 0;
  DecodeFrame* outermost_;  // the first open frame over `stream_`
  bool end_reported_ = false;
};

}  // namespace internal
}  // namespace flutter

#endif  // CORE_DECODE_FRAME_H_
