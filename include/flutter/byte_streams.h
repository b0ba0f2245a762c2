// ByteStreamReader and ByteStreamWriter: the abstract byte streams through
// which the standard encoding reads and writes. Neither interface reports a
// failure to its caller; a reader logs a failed read and goes on.
#ifndef FLUTTER_BYTE_STREAMS_H_
#define FLUTTER_BYTE_STREAMS_H_

#include <cstddef>
#include <cstdint>
#include <limits>

namespace flutter {

class ByteStreamReader {
 public:
  virtual ~ByteStreamReader() = default;

  // The next byte; 0 when none is left.
  virtual uint8_t ReadByte() = 0;

  // Copies exactly `length` bytes into `buffer`, or nothing at all when fewer
  // are left (the destination is then untouched).
  virtual void ReadBytes(uint8_t* buffer, uint64_t length) = 0;

  // Skips to the next multiple of `alignment` without looking at the bytes.
  virtual void ReadAlignment(uint8_t alignment) = 0;

  // How many bytes are left to read, so that a decoder can refuse a declared
  // size before making room for it. A reader that cannot tell in advance
  // says "unbounded" (the largest value) while it has input, and 0 once it
  // has run out: the decoder then makes no room ahead of what arrives
  // (containers grow as their elements come, typed lists byte by byte),
  // stops where the input ends and reports that once. A reader that never
  // says 0 cannot be told from an endless run of zero bytes.
  virtual uint64_t BytesRemaining() const {
    return std::numeric_limits<uint64_t>::max();
  }
};

class ByteStreamWriter {
 public:
  virtual ~ByteStreamWriter() = default;

  virtual void WriteByte(uint8_t byte) = 0;
  virtual void WriteBytes(const uint8_t* bytes, uint64_t length) = 0;

  // Pads with zero bytes up to the next multiple of `alignment`.
  virtual void WriteAlignment(uint8_t alignment) = 0;
};

}  // namespace flutter

#endif  // FLUTTER_BYTE_STREAMS_H_
