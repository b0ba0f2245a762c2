// Streams and a serializer that are not exactly the library's own classes,
// so that the standard serializer takes its general path through virtual
// calls; the fuzz targets check it byte for byte against the direct one.
#ifndef FUZZ_GENERAL_PATH_H_
#define FUZZ_GENERAL_PATH_H_

#include <cstdint>
#include <vector>

#include "flutter/byte_buffer_streams.h"
#include "flutter/standard_codec_serializer.h"

namespace kelmor_fuzz {

class ForwardingReader : public flutter::ByteBufferStreamReader {
 public:
  using ByteBufferStreamReader::ByteBufferStreamReader;
};

class ForwardingWriter : public flutter::ByteBufferStreamWriter {
 public:
  using ByteBufferStreamWriter::ByteBufferStreamWriter;
};

// Overrides nothing, but is not the standard class itself.
class PlainExtension : public flutter::StandardCodecSerializer {};

}  // namespace kelmor_fuzz

#endif  // FUZZ_GENERAL_PATH_H_
