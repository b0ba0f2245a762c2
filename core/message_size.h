// Sizes on the wire, and a guess at a message's size to make room for it
// before writing.
#ifndef CORE_MESSAGE_SIZE_H_
#define CORE_MESSAGE_SIZE_H_

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "flutter/encodable_value.h"
#include "flutter/standard_codec_serializer.h"

namespace flutter {
namespace internal {

// The bytes of the shortest size prefix for `count`.
inline size_t PrefixLength(size_t count) {
  if (count < kSizeUint16Marker) return 1;
  return count <= std::numeric_limits<uint16_t>::max() ? 3 : 5;
}

// Padding before an element of `alignment` bytes at `offset`, which counts
// from the buffer's first byte, as the writer's does.
inline size_t Padding(size_t offset, size_t alignment) {
  const size_t remainder = offset % alignment;
  return remainder == 0 ? 0 : alignment - remainder;
}

// The most room made for a guessed size, in all and for any one container;
// past it a buffer grows as it is written. An exact size is made room for
// whole.
constexpr size_t kMaxGuess = size_t{16} << 20;

// Where the encoding of `value` about ends when it starts `offset` bytes into
// a buffer. Exact for small values; a list or map of many elements is sized
// from its first few, which suits the usual collections of like elements, so
// that a large message is not walked twice. A wrong guess costs one more
// growth of the buffer or some capacity left unused, never wrong bytes: the
// guess can be fooled (large elements first, then small ones), so whoever
// makes room from it checks what was left unused after writing.
// Sets `*guessed` when any part of it was extrapolated.
size_t EstimatedEnd(const StandardCodecSerializer& serializer,
                    const EncodableValue& value, size_t offset, bool* guessed);

// After writing into room made from a guess: a buffer that keeps more unused
// capacity than its size and 4 KiB is traded for one of its own size (one
// copy), so that no one holds more than twice a message and 4 KiB.
inline void TrimUnusedRoom(std::vector<uint8_t>* buffer) {
  constexpr size_t kMaxUnusedBeyondSize = 4096;
  if (buffer->capacity() - buffer->size() >
      buffer->size() + kMaxUnusedBeyondSize) {
    std::vector<uint8_t>(buffer->begin(), buffer->end()).swap(*buffer);
  }
}

}  // namespace internal
}  // namespace flutter

#endif  // CORE_MESSAGE_SIZE_H_
