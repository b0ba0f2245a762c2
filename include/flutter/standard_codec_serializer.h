// StandardCodecSerializer: the standard binary encoding of EncodableValue.
//
// Wire format, all numbers little-endian:
//   value       = type byte, then payload
//   size prefix = count < 254: 1 byte | 0xFE + uint16 | 0xFF + uint32
//   type bytes  = 0 null, 1 true, 2 false, 3 int32, 4 int64, 5/7 string,
//                 6 double (pad to 8), 8 uint8 list, 9 int32 list (pad 4),
//                 10 int64 list (pad 8), 11 double list (pad 8), 12 list,
//                 13 map (key, value, ...), 14 float list (pad 4)
// Padding counts from the first byte of the whole buffer and comes right
// before the first data byte; empty typed lists are padded too.
//
// Failure: nothing is reported to the caller. Unknown type bytes, sizes that
// cannot fit in what is left of the input, containers nested deeper than
// kMaxNestingDepth and custom values each write one line to std::cerr and
// degrade to a null or an empty value; decoding goes on.
//
// Bounds on untrusted input: a size prefix may claim only the bytes that the
// enclosing lists and maps do not still need for their later elements (at
// least one byte each), so all declared counts of one message together fit
// in its length. Decoding n bytes therefore takes time linear in n (n log n
// for maps whose keys arrive out of order), writes at most n + 1 lines, and
// holds at most about 64 bytes of heap per message byte (a list of maps
// holding the three one-byte keys null, true and false is the densest; a
// list of nulls holds 56); 100 per byte is the documented ceiling. Through a
// reader that cannot tell what is left, containers grow as their elements
// arrive, which can hold up to three times that while a list doubles.
#ifndef FLUTTER_STANDARD_CODEC_SERIALIZER_H_
#define FLUTTER_STANDARD_CODEC_SERIALIZER_H_

#include <cstddef>
#include <cstdint>

#include "flutter/byte_streams.h"
#include "flutter/encodable_value.h"

namespace flutter {

// The type bytes of the standard encoding.
enum class StandardCodecType : uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kLargeInt = 5,  // read as a string, never written
  kDouble = 6,
  kString = 7,
  kUint8List = 8,
  kInt32List = 9,
  kInt64List = 10,
  kDoubleList = 11,
  kList = 12,
  kMap = 13,
  kFloatList = 14,
};

// Size prefix markers.
constexpr uint8_t kSizeUint16Marker = 254;
constexpr uint8_t kSizeUint32Marker = 255;

// Lists and maps nested deeper than this decode as null. Decoding, encoding,
// comparing and destroying a value at the limit then needs under a quarter of
// a default 1 MiB Windows thread stack even in an unoptimised sanitizer build
// (about 2 to 4 KiB a level there), leaving the rest to the application.
constexpr int kMaxNestingDepth = 64;

class StandardCodecSerializer {
 public:
  StandardCodecSerializer() = default;
  virtual ~StandardCodecSerializer() = default;
  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  // The process-wide default serializer; never destroyed.
  static const StandardCodecSerializer& GetInstance();

  // Reads one complete value: the type byte, then ReadValueOfType.
  EncodableValue ReadValue(ByteStreamReader* stream) const;

  // Appends the encoding of `value`. Extensions override it for their own
  // custom values and call this for everything else.
  virtual void WriteValue(const EncodableValue& value,
                          ByteStreamWriter* stream) const;

  // Decodes the payload that follows `type`. Extensions override it and call
  // this for the type bytes they do not handle.
  virtual EncodableValue ReadValueOfType(uint8_t type,
                                         ByteStreamReader* stream) const;

  // Where the encoding of `value` would end if it started `offset` bytes into
  // a buffer, as this class writes it (custom values as nulls). Lets a
  // caller make room for a whole message at once; extensions that write
  // custom values make it an estimate.
  size_t EncodedEnd(const EncodableValue& value, size_t offset = 0) const;

  // Reads a size prefix in any of its three forms.
  size_t ReadSize(ByteStreamReader* stream) const;

  // Writes a size prefix in its shortest form. A count above 4,294,967,295
  // cannot be written: it is reported and written as 0.
  void WriteSize(size_t size, ByteStreamWriter* stream) const;
};

}  // namespace flutter

#endif  // FLUTTER_STANDARD_CODEC_SERIALIZER_H_
