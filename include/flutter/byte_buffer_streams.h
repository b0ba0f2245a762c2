// ByteBufferStreamReader and ByteBufferStreamWriter: the byte streams over
// caller-held memory that the codecs make for one message at a time.
//
// Failure: a read past the end writes "Invalid read in
// StandardCodecByteStreamReader" to std::cerr and yields zero / nothing.
#ifndef FLUTTER_BYTE_BUFFER_STREAMS_H_
#define FLUTTER_BYTE_BUFFER_STREAMS_H_

#include <cstdint>
#include <vector>

#include "flutter/byte_streams.h"

namespace flutter {

namespace internal {
struct BufferReaderAccess;
}  // namespace internal

// Reads a borrowed byte range, which must stay valid and unchanged while the
// reader is used. Alignment counts from the first byte of the range.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size)
      : bytes_(bytes), size_(size) {}

  uint8_t ReadByte() override;
  void ReadBytes(uint8_t* buffer, uint64_t length) override;
  void ReadAlignment(uint8_t alignment) override;
  uint64_t BytesRemaining() const override {
    return position_ < size_ ? size_ - position_ : 0;
  }

  uint64_t position() const { return position_; }

 private:
  // The standard serializer reads the range in place when it is given this
  // very class.
  friend struct internal::BufferReaderAccess;

  const uint8_t* bytes_;
  uint64_t size_;
  uint64_t position_ = 0;
};

// Appends to a borrowed vector, which must outlive the writer. Alignment
// counts from the vector's first byte, including bytes already in it.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer)
      : buffer_(buffer) {}

  void WriteByte(uint8_t byte) override { buffer_->push_back(byte); }
  void WriteBytes(const uint8_t* bytes, uint64_t length) override;
  void WriteAlignment(uint8_t alignment) override;

  // The vector it appends to.
  std::vector<uint8_t>* buffer() const { return buffer_; }

 private:
  std::vector<uint8_t>* buffer_;
};

}  // namespace flutter

#endif  // FLUTTER_BYTE_BUFFER_STREAMS_H_
