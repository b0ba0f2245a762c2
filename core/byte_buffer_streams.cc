#include "flutter/byte_buffer_streams.h"

#include <cstring>
#include <iostream>

#include "codec_diagnostics.h"

namespace flutter {

namespace internal {

void ReportInvalidRead() {
  std::cerr << "Invalid read in StandardCodecByteStreamReader" << std::endl;
}

}  // namespace internal

using internal::ReportInvalidRead;

uint8_t ByteBufferStreamReader::ReadByte() {
  if (position_ >= size_) {
    ReportInvalidRead();
    return 0;
  }
  return bytes_[position_++];
}

void ByteBufferStreamReader::ReadBytes(uint8_t* buffer, uint64_t length) {
  // The range's own bounds, whatever a derived class says is left.
  const uint64_t left = position_ < size_ ? size_ - position_ : 0;
  if (length > left) {
    ReportInvalidRead();
    return;
  }
  if (length == 0) return;
  std::memcpy(buffer, bytes_ + position_, static_cast<size_t>(length));
  position_ += length;
}

void ByteBufferStreamReader::ReadAlignment(uint8_t alignment) {
  if (alignment == 0) return;
  const uint64_t remainder = position_ % alignment;
  if (remainder != 0) position_ += alignment - remainder;
}

void ByteBufferStreamWriter::WriteBytes(const uint8_t* bytes, uint64_t length) {
  if (length == 0) return;
  buffer_->insert(buffer_->end(), bytes, bytes + length);
}

void ByteBufferStreamWriter::WriteAlignment(uint8_t alignment) {
  if (alignment == 0) return;
  const size_t remainder = buffer_->size() % alignment;
  if (remainder == 0) return;
  for (size_t i = remainder; i < alignment; ++i) WriteByte(0);
}

}  // namespace flutter
