// A guess at a message's size, to make room for it before writing.
#ifndef CORE_MESSAGE_SIZE_H_
#define CORE_MESSAGE_SIZE_H_

#include <cstddef>

#include "flutter/encodable_value.h"
#include "flutter/standard_codec_serializer.h"

namespace flutter {
namespace internal {

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

}  // namespace internal
}  // namespace flutter

#endif  // CORE_MESSAGE_SIZE_H_
