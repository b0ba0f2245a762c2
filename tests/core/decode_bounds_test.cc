// Decoding work, memory and diagnostics stay linear in the message, however
// its size prefixes nest, and whatever the reader can tell of its input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "flutter/byte_buffer_streams.h"
#include "flutter/standard_codec_serializer.h"
#include "flutter/standard_method_codec.h"
#include "heap_measurement.h"
#include "test_bytes.h"

namespace {

using flutter::ByteBufferStreamReader;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using flutter::StandardCodecSerializer;
using kelmor_test::Bytes;
using kelmor_test::Hex;
using kelmor_test::kInvalidRead;
using kelmor_test::StderrCapture;

// The documented bound: heap held while decoding, per message byte.
constexpr size_t kHeapPerMessageByte = 100;
constexpr size_t kHeapSlack = 64 * 1024;

// `levels` containers, each a type byte from `types` in turn and a size
// prefix declaring every byte that follows it, then nulls up to `total`.
Bytes OverDeclared(const std::string& types, int levels, size_t total) {
  Bytes bytes;
  for (int level = 0; level < levels; ++level) {
    bytes.push_back(static_cast<uint8_t>(types[level % types.size()]));
    bytes.push_back(0xFF);
    const auto left = static_cast<uint32_t>(total - bytes.size() - 4);
    for (int shift = 0; shift < 32; shift += 8) {
      bytes.push_back(static_cast<uint8_t>(left >> shift));
    }
  }
  bytes.resize(total, 0x00);
  return bytes;
}

// Takes the answer without copying it, so that only decoding is measured.
class DiscardingResult : public flutter::MethodResult<EncodableValue> {
 protected:
  void HandleSuccess(const EncodableValue*) override {}
  void HandleError(const std::string&, const std::string&,
                   const EncodableValue*) override {}
  void HandleNotImplemented() override {}
};

struct Cost {
  size_t peak_heap;
  size_t lines;
};

template <typename Work>
Cost Measure(Work work) {
  StderrCapture capture;
  size_t peak = 0;
  {
    kelmor_test::HeapMeasurement heap;
    work();
    peak = heap.PeakGrowth();
  }
  return Cost{peak, capture.Lines().size()};
}

void ExpectLinear(const Cost& cost, size_t message_size) {
  EXPECT_LE(cost.peak_heap, kHeapPerMessageByte * message_size + kHeapSlack);
  EXPECT_LE(cost.lines, message_size + 1);
}

// Before, each nested prefix was checked only against the bytes left, so a
// 64 KiB message held hundreds of MiB for most of a minute.
TEST(DecodeBounds, NestedPrefixesCannotClaimTheSameBytesTwice) {
  const struct {
    const char* name;
    std::string types;
  } shapes[] = {
      {"lists", "\x0C"}, {"maps", "\x0D"}, {"alternating", "\x0C\x0D"}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.name);
    const Bytes bytes = OverDeclared(shape.types, 63, 64 * 1024);
    const Cost value_cost = Measure([&] { kelmor_test::Decode(bytes); });
    ExpectLinear(value_cost, bytes.size());
    // Only the outermost container's count is honoured; each nested
    // header is refused once, and the outer one misses what they took.
    EXPECT_LT(value_cost.lines, 1000u);

    Bytes call = Hex("07 01 6D");
    call.insert(call.end(), bytes.begin(), bytes.end());
    const auto& codec = flutter::StandardMethodCodec::GetInstance();
    ExpectLinear(
        Measure([&] { codec.DecodeMethodCall(call.data(), call.size()); }),
        call.size());

    Bytes envelope = Hex("00");
    envelope.insert(envelope.end(), bytes.begin(), bytes.end());
    ExpectLinear(Measure([&] {
                   DiscardingResult result;
                   codec.DecodeResponseEnvelope(envelope.data(),
                                                envelope.size(), &result);
                 }),
                 envelope.size());
  }
}

TEST(DecodeBounds, RefusedContainerIsEmptyAndDecodingGoesOn) {
  // The list may hold three elements; its first element, a list, claims the
  // two bytes its later siblings still need.
  StderrCapture capture;
  const EncodableValue value = kelmor_test::Decode(Hex("0C 03 0C 02 01 01"));
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kInvalidRead});
  EXPECT_EQ(value, EncodableValue(EncodableList{EncodableList{}, true, true}));
}

TEST(DecodeBounds, ElementsLaterInAMapCountAgainstNestedPrefixes) {
  // One entry: its key still expects the value's byte, so a key string may
  // not declare both bytes that follow its prefix.
  StderrCapture capture;
  const EncodableValue value = kelmor_test::Decode(Hex("0D 01 07 02 61 00"));
  EXPECT_EQ(capture.Lines().front(), kInvalidRead);
  const auto& map = std::get<EncodableMap>(value);
  ASSERT_EQ(map.size(), 1u);
  EXPECT_EQ(map.begin()->first, EncodableValue(""));
}

TEST(DecodeBounds, ExactFitsStillDecode) {
  const EncodableValue value(EncodableList{
      EncodableMap{{"key", EncodableList{1, "two", std::vector<double>{3.0}}}},
      std::vector<uint8_t>(300, 7), EncodableList(70000)});
  const Bytes bytes = kelmor_test::Encode(value);
  StderrCapture capture;
  EXPECT_EQ(kelmor_test::Decode(bytes), value);
  EXPECT_TRUE(capture.Lines().empty());
}

// The densest decoding we know of: a list of maps, each holding the three
// one-byte keys null, true and false with null values.
TEST(DecodeBounds, DensestMessageStaysUnderTheDocumentedHeapBound) {
  const size_t maps = 8000;
  Bytes bytes = Hex("0C FE");
  bytes.push_back(static_cast<uint8_t>(maps));
  bytes.push_back(static_cast<uint8_t>(maps >> 8));
  for (size_t i = 0; i < maps; ++i) {
    const Bytes entry = Hex("0D 03 00 00 01 00 02 00");
    bytes.insert(bytes.end(), entry.begin(), entry.end());
  }
  const Cost cost = Measure([&] { kelmor_test::Decode(bytes); });
  EXPECT_EQ(cost.lines, 0u);
  EXPECT_LE(cost.peak_heap, kHeapPerMessageByte * bytes.size());
}

// A reader over a buffer that cannot tell how much is left until it has
// run out, as a stream from elsewhere might be.
class StreamingReader : public flutter::ByteStreamReader {
 public:
  explicit StreamingReader(const Bytes& bytes)
      : inner_(bytes.data(), bytes.size()) {}

  uint8_t ReadByte() override {
    ++calls_;
    return inner_.ReadByte();
  }
  void ReadBytes(uint8_t* buffer, uint64_t length) override {
    ++calls_;
    inner_.ReadBytes(buffer, length);
  }
  void ReadAlignment(uint8_t alignment) override {
    inner_.ReadAlignment(alignment);
  }
  uint64_t BytesRemaining() const override {
    return inner_.BytesRemaining() == 0 ? 0
                                        : std::numeric_limits<uint64_t>::max();
  }

  size_t calls() const { return calls_; }

 private:
  ByteBufferStreamReader inner_;
  size_t calls_ = 0;
};

// Before, a six-byte message made the decoder reserve 2^32-1 elements.
TEST(DecodeBounds, ReaderThatCannotTellGetsContainersThatGrowAsTheyArrive) {
  const char* messages[] = {"0C FF FF FF FF FF", "0D FF FF FF FF FF",
                            "07 FF FF FF FF FF", "0B FF FF FF FF FF",
                            "08 FF FF FF FF FF"};
  for (const char* hex : messages) {
    SCOPED_TRACE(hex);
    const Bytes bytes = Hex(hex);
    StreamingReader reader(bytes);
    EncodableValue value;
    const Cost cost = Measure([&] {
      value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
    });
    EXPECT_EQ(cost.lines, 1u);
    EXPECT_LE(cost.peak_heap, kHeapSlack);
    EXPECT_LE(reader.calls(), 4u);
  }
}

TEST(DecodeBounds, ReaderThatCannotTellKeepsWhatArrived) {
  // Four nulls of a declared million; the outer list's second element never
  // comes.
  Bytes bytes = Hex("0C 02 0C FF 40 42 0F 00 00 00 00 00");
  StreamingReader reader(bytes);
  StderrCapture capture;
  const EncodableValue value =
      StandardCodecSerializer::GetInstance().ReadValue(&reader);
  // The end is reported once, though it cuts two lists short.
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{kInvalidRead});
  EXPECT_EQ(value, EncodableValue(EncodableList{EncodableList(4)}));

  // A block longer than one read arrives whole, read by read.
  const EncodableValue big(std::vector<double>(20000, 0.25));
  const Bytes big_bytes = kelmor_test::Encode(big);
  StreamingReader big_reader(big_bytes);
  EXPECT_EQ(StandardCodecSerializer::GetInstance().ReadValue(&big_reader), big);
}

// Found in review: a block whose bytes fail to arrive, or a chain of lists
// each reserving room ahead, held far more than the message justified.
TEST(DecodeBounds, ReaderThatCannotTellHoldsNoMoreThanArrives) {
  const struct {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"uint8 list of 16 Mi, 8 bytes there",
       Hex("08 FF 00 00 00 01 01 02 03 04 05 06 07 08")},
      {"64 nested lists of 65535",
       [] {
         Bytes chain;
         for (int i = 0; i < 64; ++i) {
           const Bytes level = Hex("0C FE FF FF");
           chain.insert(chain.end(), level.begin(), level.end());
         }
         return chain;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StreamingReader reader(c.bytes);
    const Cost cost = Measure(
        [&] { StandardCodecSerializer::GetInstance().ReadValue(&reader); });
    EXPECT_LE(cost.peak_heap,
              kHeapPerMessageByte * c.bytes.size() + kHeapSlack);
    EXPECT_LE(cost.lines, 2u);
  }
}

// Found in review: padding skipped after the size check let a block that
// failed to read leave its bytes to be claimed again by the next element.
TEST(DecodeBounds, PaddingCountsBeforeTheSizeCheck) {
  // An int64 list of 2 at offset 4: the prefix says 2 elements (16 bytes)
  // and 16 bytes follow the prefix, but 4 of them are padding.
  const Bytes bytes =
      Hex("0C 02 0A 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
  StderrCapture capture;
  const EncodableValue value = kelmor_test::Decode(bytes);
  const auto& list = std::get<EncodableList>(value);
  EXPECT_EQ(list.front(), EncodableValue(std::vector<int64_t>{}));
  EXPECT_EQ(capture.Lines().front(), kInvalidRead);
}

// An extension that decodes an embedded message from a buffer of its own,
// in the middle of an outer decode.
class EmbeddingSerializer : public StandardCodecSerializer {
 public:
  EncodableValue ReadValueOfType(
      uint8_t type, flutter::ByteStreamReader* stream) const override {
    if (type != 0x80)
      return StandardCodecSerializer::ReadValueOfType(type, stream);
    static const uint8_t kEmbedded[] = {0x0C, 0x03, 0x01, 0x01, 0x01};
    ByteBufferStreamReader embedded(kEmbedded, sizeof(kEmbedded));
    return ReadValue(&embedded);
  }
};

TEST(DecodeBounds, AnotherReaderKeepsItsOwnBudget) {
  // The outer list still expects 200 elements when the embedded message,
  // whose list needs all of its own bytes, is read.
  Bytes bytes = Hex("0C C9 80");
  bytes.resize(bytes.size() + 200, 0x00);
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  EmbeddingSerializer serializer;
  StderrCapture capture;
  const EncodableValue value = serializer.ReadValue(&reader);
  EXPECT_TRUE(capture.Lines().empty());
  EXPECT_EQ(std::get<EncodableList>(value).front(),
            EncodableValue(EncodableList{true, true, true}));
}

}  // namespace

// An extension that hands the rest of its own reader to the standard
// serializer, whose direct path then decodes inside the extension's lists.
class HandingOnSerializer : public StandardCodecSerializer {
 public:
  EncodableValue ReadValueOfType(
      uint8_t type, flutter::ByteStreamReader* stream) const override {
    if (type != 0x80)
      return StandardCodecSerializer::ReadValueOfType(type, stream);
    return StandardCodecSerializer::GetInstance().ReadValue(stream);
  }
};

// The direct path keeps its budget and depth to itself; it must start from
// what the lists already open on the thread left it, not from scratch.
TEST(DecodeBounds, DirectPathStartsFromTheFramesAlreadyOpen) {
  const std::string too_deep =
      "Maximum nesting depth exceeded in "
      "StandardCodecSerializer::ReadValueOfType: 64";
  // Lists opened through the extension up to one below the limit; the
  // direct path may open one more.
  Bytes deep;
  EncodableValue deep_value = EncodableList{EncodableValue()};
  for (int level = 1; level < flutter::kMaxNestingDepth; ++level) {
    deep.insert(deep.end(), {0x0C, 0x01});
    deep_value = EncodableList{deep_value};
  }
  deep.insert(deep.end(), {0x80, 0x0C, 0x01, 0x0C, 0x01, 0x00});
  struct Case {
    const char* name;
    Bytes bytes;
    EncodableValue expected;
    std::vector<std::string> lines;
  } cases[] = {
      // The outer list still expects one byte: the inner list of three
      // nulls may claim only two of the three bytes left.
      {"budget",
       Hex("0C 02 80 0C 03 00 00 00"),
       EncodableList{EncodableList{}, EncodableValue()},
       {kInvalidRead}},
      {"depth", deep, deep_value, {too_deep}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteBufferStreamReader reader(c.bytes.data(), c.bytes.size());
    StderrCapture capture;
    EXPECT_EQ(HandingOnSerializer().ReadValue(&reader), c.expected);
    EXPECT_EQ(capture.Lines(), c.lines);
  }
}
