// A guess at a message's size, to make room for it before writing.
#ifndef CORE_MESSAGE_SIZE_H_
#define CORE_MESSAGE_SIZE_H_

#include <cstddef>

#include "flutter/encodable_value.h"
#include "flutter/standard_codec_serializer.h"

namespace flutter {
namespace internal {

// Where the encoding of `value` about ends when it starts `offset` bytes into
// a buffer. Exact for small values; a list or map of many elements is sized
// from its first few, which suits the usual collections of like elements, so
// that a large message is not walked twice. A wrong guess costs one more
// growth of the buffer or some capacity left unused, never wrong bytes.
// Sets `*guessed` when any part of it was extrapolated.
size_t EstimatedEnd(const StandardCodecSerializer& serializer,
                    const EncodableValue& value, size_t offset, bool* guessed);

}  // namespace internal
}  // namespace flutter

#endif  // CORE_MESSAGE_SIZE_H_
