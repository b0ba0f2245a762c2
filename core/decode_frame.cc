#include "decode_frame.h"

#include "codec_diagnostics.h"

namespace flutter {
namespace internal {

namespace {

// The innermost open frame of this thread. The serializer's read operations
// are const with fixed signatures, so the stack lives beside the calls.
thread_local DecodeFrame* innermost = nullptr;

}  // namespace

DecodeFrame::DecodeFrame(const void* stream, uint64_t remaining)
    : stream_(stream),
      outer_(innermost),
      depth_(innermost ? innermost->depth() + 1 : 1),
      bounded_(remaining != kUnknownRemaining),
      outside_(ExpectedOf(stream)),
      outermost_(this) {
  for (DecodeFrame* frame = outer_; frame; frame = frame->outer_) {
    if (frame->stream_ == stream) {
      outermost_ = frame->outermost_;
      break;
    }
  }
  innermost = this;
}

bool DecodeFrame::ReportEndOnce() {
  if (outermost_->end_reported_) return false;
  outermost_->end_reported_ = true;
  return true;
}

DecodeFrame::~DecodeFrame() { innermost = outer_; }

bool DecodeFrame::Fits(uint64_t count, uint64_t width,
                       uint64_t remaining) const {
  if (!bounded_) return true;
  const uint64_t available = remaining > outside_ ? remaining - outside_ : 0;
  if (count <= available / width) return true;
  ReportInvalidRead();
  return false;
}

uint64_t DecodeFrame::ExpectedOf(const void* stream) {
  // The innermost frame over the same reader already counts what the frames
  // outside it expect.
  for (const DecodeFrame* frame = innermost; frame; frame = frame->outer_) {
    if (frame->stream_ == stream) return frame->outside_ + frame->expected_;
  }
  return 0;
}

void DecodeFrame::Enclosing(const void* stream, uint64_t* expected,
                            int* depth) {
  *expected = ExpectedOf(stream);
  *depth = innermost ? innermost->depth() : 0;
}

uint64_t DecodeFrame::AvailableTo(const void* stream, uint64_t remaining) {
  if (remaining == kUnknownRemaining) return kUnknownRemaining;
  const uint64_t expected = ExpectedOf(stream);
  return remaining > expected ? remaining - expected : 0;
}

}  // namespace internal
}  // namespace flutter
