#include "flutter/standard_codec_serializer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "test_bytes.h"

namespace {

using flutter::CustomEncodableValue;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using kelmor_test::Bytes;
using kelmor_test::Decode;
using kelmor_test::Encode;
using kelmor_test::Hex;
using kelmor_test::kInvalidRead;
using kelmor_test::StderrCapture;
using kelmor_test::ToHex;

struct WireCase {
  const char* name;
  EncodableValue value;
  std::string hex;
};

// Each value encodes to exactly these bytes and decodes back to itself.
TEST(StandardCodecSerializer, EncodesByteForByteAndDecodesBack) {
  const WireCase cases[] = {
      {"null", EncodableValue(), "00"},
      {"true", EncodableValue(true), "01"},
      {"false", EncodableValue(false), "02"},
      {"int32 -2", EncodableValue(int32_t{-2}), "03 FE FF FF FF"},
      {"int64 2^32", EncodableValue(int64_t{4294967296}),
       "04 00 00 00 00 01 00 00 00"},
      {"double 1.5 at offset 0", EncodableValue(1.5),
       "06 00 00 00 00 00 00 00 00 00 00 00 00 00 F8 3F"},
      {"string abc", EncodableValue("abc"), "07 03 61 62 63"},
      {"empty string", EncodableValue(""), "07 00"},
      {"map a:1", EncodableValue(EncodableMap{{"a", int32_t{1}}}),
       "0D 01 07 01 61 03 01 00 00 00"},
      {"list true, 1.5", EncodableValue(EncodableList{true, 1.5}),
       "0C 02 01 06 00 00 00 00 00 00 00 00 00 00 F8 3F"},
      {"int64 list {1}", EncodableValue(std::vector<int64_t>{1}),
       "0A 01 00 00 00 00 00 00 01 00 00 00 00 00 00 00"},
      {"int32 list {-1, 2}", EncodableValue(std::vector<int32_t>{-1, 2}),
       "09 02 00 00 FF FF FF FF 02 00 00 00"},
      {"float list {1.0}", EncodableValue(std::vector<float>{1.0f}),
       "0E 01 00 00 00 00 80 3F"},
      {"double list {1.5}", EncodableValue(std::vector<double>{1.5}),
       "0B 01 00 00 00 00 00 00 00 00 00 00 00 00 F8 3F"},
      {"uint8 list", EncodableValue(std::vector<uint8_t>{1, 2}), "08 02 01 02"},
      // Empty 4- and 8-byte lists are padded like non-empty ones.
      {"empty int32 list", EncodableValue(std::vector<int32_t>{}),
       "09 00 00 00"},
      {"empty int64 list", EncodableValue(std::vector<int64_t>{}),
       "0A 00 00 00 00 00 00 00"},
      {"empty double list", EncodableValue(std::vector<double>{}),
       "0B 00 00 00 00 00 00 00"},
      {"empty float list", EncodableValue(std::vector<float>{}), "0E 00 00 00"},
      {"empty uint8 list", EncodableValue(std::vector<uint8_t>{}), "08 00"},
      {"list of empty int64 lists",
       EncodableValue(
           EncodableList{std::vector<int64_t>{}, std::vector<int64_t>{}}),
       "0C 02 0A 00 00 00 00 00 0A 00 00 00 00 00 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToHex(Encode(c.value)), ToHex(Hex(c.hex)));
    EXPECT_EQ(Decode(Hex(c.hex)), c.value);
    EXPECT_EQ(
        flutter::StandardCodecSerializer::GetInstance().EncodedEnd(c.value),
        Hex(c.hex).size());
  }
}

TEST(StandardCodecSerializer, SizePrefixUsesTheShortestForm) {
  const struct {
    size_t count;
    std::string hex;
  } cases[] = {{253, "FD"},
               {254, "FE FE 00"},
               {65535, "FE FF FF"},
               {65536, "FF 00 00 01 00"},
               {4294967295u, "FF FF FF FF FF"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    Bytes bytes;
    flutter::ByteBufferStreamWriter writer(&bytes);
    flutter::StandardCodecSerializer::GetInstance().WriteSize(c.count, &writer);
    EXPECT_EQ(ToHex(bytes), ToHex(Hex(c.hex)));
    flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EXPECT_EQ(flutter::StandardCodecSerializer::GetInstance().ReadSize(&reader),
              c.count);
  }
}

TEST(StandardCodecSerializer, SizeBeyondTheWireLimitIsReportedNotTruncated) {
  Bytes bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  StderrCapture capture;
  flutter::StandardCodecSerializer::GetInstance().WriteSize(uint64_t{1} << 32,
                                                            &writer);
  EXPECT_EQ(capture.Lines(),
            std::vector<std::string>{
                "Size too large in StandardCodecSerializer::WriteSize: "
                "4294967296"});
  EXPECT_EQ(bytes, Bytes{0x00});
}

TEST(StandardCodecSerializer, LongPrefixesAndLargeContainers) {
  Bytes u8 = Encode(EncodableValue(std::vector<uint8_t>(300, 7)));
  EXPECT_EQ(ToHex(Bytes(u8.begin(), u8.begin() + 5)), "08 FE 2C 01 07");
  EXPECT_EQ(u8.size(), 304u);

  Bytes nulls = Encode(EncodableValue(EncodableList(70000)));
  EXPECT_EQ(ToHex(Bytes(nulls.begin(), nulls.begin() + 6)),
            "0C FF 70 11 01 00");
  EXPECT_EQ(nulls.size(), 70006u);
  EXPECT_EQ(std::get<EncodableList>(Decode(nulls)).size(), 70000u);
}

TEST(StandardCodecSerializer, DecodesFormsTheWriterNeverUses) {
  EXPECT_EQ(Decode(Hex("07 FE 05 00 61 62 63 64 65")), EncodableValue("abcde"));
  EXPECT_EQ(Decode(Hex("05 02 41 42")), EncodableValue("AB"));
  // A repeated key keeps its first entry.
  EXPECT_EQ(
      Decode(Hex("0D 02 07 01 61 03 01 00 00 00 07 01 61 03 02 00 00 00")),
      EncodableValue(EncodableMap{{"a", int32_t{1}}}));
}

TEST(StandardCodecSerializer, CustomValueTravelsAsNullWithOneLine) {
  EncodableValue list(EncodableList{
      EncodableValue(CustomEncodableValue(std::any(1))), EncodableValue(true)});
  StderrCapture capture;
  EXPECT_EQ(ToHex(Encode(list)), "0C 02 00 01");
  EXPECT_EQ(capture.Lines(),
            std::vector<std::string>{
                "Unhandled custom type in StandardCodecSerializer::WriteValue. "
                "Custom types require codec extensions."});
}

struct BadInputCase {
  const char* name;
  std::string hex;
  EncodableValue expected;
  std::vector<std::string> lines;
};

TEST(StandardCodecSerializer, BadInputDegradesWithDiagnostics) {
  const std::string unknown15 =
      "Unknown type in StandardCodecSerializer::ReadValueOfType: 15";
  const BadInputCase cases[] = {
      {"control: a valid int32",
       "03 01 00 00 00",
       EncodableValue(int32_t{1}),
       {}},
      {"truncated int32", "03 01", EncodableValue(int32_t{0}), {kInvalidRead}},
      {"empty input", "", EncodableValue(), {kInvalidRead}},
      {"unknown type 15", "0F", EncodableValue(), {unknown15}},
      {"unknown type 200",
       "C8 01",
       EncodableValue(),
       {"Unknown type in StandardCodecSerializer::ReadValueOfType: 200"}},
      // A declared size that cannot fit in what is left gives an empty value.
      {"string longer than the input",
       "07 05 61",
       EncodableValue(""),
       {kInvalidRead}},
      {"int32 list longer than the input",
       "09 02 00 00 01 00 00 00",
       EncodableValue(std::vector<int32_t>{}),
       {kInvalidRead}},
      {"list of 2^32-1",
       "0C FF FF FF FF FF",
       EncodableValue(EncodableList{}),
       {kInvalidRead}},
      {"map needing two bytes per entry",
       "0D 02 00 00 00",
       EncodableValue(EncodableMap{}),
       {kInvalidRead}},
      {"truncated size prefix", "07 FE 01", EncodableValue(""), {kInvalidRead}},
      // A size read past the end is 0: an empty value and one line, not a
      // second line for a size that cannot fit.
      {"string without its size", "07", EncodableValue(""), {kInvalidRead}},
      {"list without its size",
       "0C",
       EncodableValue(EncodableList{}),
       {kInvalidRead}},
      {"list whose first element is cut short",
       "0C 02 03 01",
       EncodableValue(EncodableList{int32_t{0}, true}),
       {kInvalidRead}},
      // The padding leaves 3 of the 8 bytes the element needs: refused.
      {"padding runs past the end",
       "0A 01 00 01 02 03 04 05 06 07 08",
       EncodableValue(std::vector<int64_t>{}),
       {kInvalidRead}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StderrCapture capture;
    EXPECT_EQ(Decode(Hex(c.hex)), c.expected);
    EXPECT_EQ(capture.Lines(), c.lines);
  }
}

TEST(StandardCodecSerializer, OverDeclaredListIsRefusedAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  StderrCapture capture;
  EXPECT_EQ(Decode(Hex("0C FF FF FF FF FF")), EncodableValue(EncodableList{}));
  EXPECT_EQ(capture.Lines().size(), 1u);
  // Generous bound: refusing must not walk four billion elements.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// Encoded lists nested `depth` deep, the innermost holding `inner`.
Bytes NestedLists(size_t depth, const Bytes& inner) {
  Bytes bytes;
  for (size_t i = 0; i < depth; ++i) {
    bytes.push_back(0x0C);
    bytes.push_back(0x01);
  }
  bytes.insert(bytes.end(), inner.begin(), inner.end());
  return bytes;
}

size_t DepthOf(const EncodableValue& value) {
  size_t depth = 0;
  const EncodableValue* current = &value;
  while (const auto* list = std::get_if<EncodableList>(current)) {
    ++depth;
    if (list->empty()) break;
    current = &list->front();
  }
  return depth;
}

TEST(StandardCodecSerializer, NestingUpToTheLimitDecodes) {
  const Bytes bytes = NestedLists(flutter::kMaxNestingDepth, Hex("01"));
  StderrCapture capture;
  const EncodableValue value = Decode(bytes);
  EXPECT_TRUE(capture.Lines().empty());
  EXPECT_EQ(DepthOf(value), static_cast<size_t>(flutter::kMaxNestingDepth));
  EXPECT_EQ(Encode(value), bytes);
}

TEST(StandardCodecSerializer, NestingBeyondTheLimitDecodesAsNull) {
  const Bytes bytes = NestedLists(100000, Hex("01"));
  StderrCapture capture;
  const EncodableValue value = Decode(bytes);
  EXPECT_EQ(
      capture.Lines(),
      std::vector<std::string>{"Maximum nesting depth exceeded in "
                               "StandardCodecSerializer::ReadValueOfType: 64"});
  EXPECT_EQ(DepthOf(value), static_cast<size_t>(flutter::kMaxNestingDepth));
  // The next decode on this thread starts from depth zero again.
  EXPECT_EQ(Decode(Hex("0C 00")), EncodableValue(EncodableList{}));
}

TEST(StandardCodecSerializer, DeepMapsAreLimitedToo) {
  Bytes bytes;
  for (int i = 0; i < 1000; ++i) {
    bytes.insert(bytes.end(), {0x0D, 0x01, 0x00});
  }
  bytes.push_back(0x00);
  StderrCapture capture;
  Decode(bytes);
  EXPECT_EQ(capture.Lines().size(), 1u);
}

TEST(StandardCodecSerializer, RoundTripsEveryAlternative) {
  const EncodableValue value(EncodableList{
      EncodableValue(), true, false, int32_t{-7}, int64_t{1} << 40, -2.25,
      "text \xFF", std::vector<uint8_t>{0, 255},
      std::vector<int32_t>{std::numeric_limits<int32_t>::min(), 3},
      std::vector<int64_t>{-1}, std::vector<double>{0.5, -0.0},
      EncodableMap{{EncodableValue(), "null key"},
                   {EncodableValue(std::vector<float>{1.5f}), EncodableList{}},
                   {int64_t{3}, EncodableMap{{"deep", 1.0}}}},
      std::vector<float>{-1.0f, 2.0f}});
  const Bytes bytes = Encode(value);
  const EncodableValue decoded = Decode(bytes);
  EXPECT_EQ(decoded, value);
  EXPECT_EQ(Encode(decoded), bytes);
  // The size a message is given up front matches what is written, at any
  // starting offset (alignment depends on it).
  for (size_t offset = 0; offset < 8; ++offset) {
    Bytes shifted(offset, 0);
    flutter::ByteBufferStreamWriter writer(&shifted);
    flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
    EXPECT_EQ(flutter::StandardCodecSerializer::GetInstance().EncodedEnd(
                  value, offset),
              shifted.size());
  }
}

// A real engine may hand over a message at any address, so typed lists are
// read from bytes that need not be aligned in memory for their elements.
TEST(StandardCodecSerializer, DecodesAtAnyAddress) {
  const EncodableValue value(EncodableList{
      std::vector<int32_t>{-1, 2, 3},
      std::vector<int64_t>{int64_t{1} << 40, -5},
      std::vector<double>{0.5, -0.0, 1e300}, std::vector<float>{1.5f, -2.0f},
      std::vector<uint8_t>{1, 2, 3}});
  const Bytes bytes = Encode(value);
  Bytes storage(bytes.size() + 8);
  for (size_t offset = 0; offset < 8; ++offset) {
    SCOPED_TRACE(offset);
    std::copy(bytes.begin(), bytes.end(), storage.begin() + offset);
    flutter::ByteBufferStreamReader reader(storage.data() + offset,
                                           bytes.size());
    EXPECT_EQ(
        flutter::StandardCodecSerializer::GetInstance().ReadValue(&reader),
        value);
    EXPECT_EQ(reader.position(), bytes.size());
  }
}

// Pins a fault: a NaN key was equivalent to every double key, so a map sent
// with the keys NaN, 1.0, 2.0 and 3.0 decoded to one entry.
TEST(StandardCodecSerializer, MapWithNaNKeysKeepsEveryKey) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // A map is written as a list of its keys and values would be, but for
  // its type byte and a count of pairs.
  Bytes bytes = Encode(EncodableList{nan, "a", 1.0, "b", 2.0, "c", 3.0, "d",
                                     -0.0, "e", -nan, "f"});
  bytes[0] = static_cast<uint8_t>(flutter::StandardCodecType::kMap);
  bytes[1] = 6;
  const EncodableMap map = std::get<EncodableMap>(Decode(bytes));
  ASSERT_EQ(map.size(), 5u);
  EXPECT_EQ(map.at(EncodableValue(1.0)), EncodableValue("b"));
  EXPECT_EQ(map.at(EncodableValue(0.0)), EncodableValue("e"));
  EXPECT_EQ(map.at(EncodableValue(-nan)), EncodableValue("a"));
}

}  // namespace

#include <pthread.h>

namespace {

// Decodes, re-encodes, compares and destroys a value nested to the limit on a
// thread with the 1 MiB stack of a default Windows thread. Comparing nested
// values once took time exponential in their depth.
void* WorkAtTheNestingLimit(void* outcome) {
  EncodableValue innermost(EncodableMap{{"k", 1.5}});
  for (int i = 1; i < flutter::kMaxNestingDepth; ++i) {
    innermost = EncodableValue(EncodableList{std::move(innermost), "x"});
  }
  const Bytes bytes = Encode(innermost);
  {
    const EncodableValue value = Decode(bytes);
    const EncodableValue copy = value;
    const bool ok = !(value < copy) && !(copy < value) && Encode(copy) == bytes;
    *static_cast<bool*>(outcome) = ok;
  }
  return nullptr;
}

TEST(StandardCodecSerializer, ValueAtTheNestingLimitFitsAOneMebibyteStack) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 1 << 20);
  bool ok = false;
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, WorkAtTheNestingLimit, &ok),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_TRUE(ok);
}

}  // namespace

namespace {

// Pins a fault: a message sized with EncodedEnd must be exactly as long as
// what WriteValue writes, on each side of every size prefix change and at
// every alignment of the start.
TEST(StandardCodecSerializer, EncodedEndMatchesTheBytesWrittenAtPrefixLimits) {
  const auto& serializer = flutter::StandardCodecSerializer::GetInstance();
  for (const size_t count :
       {size_t{253}, size_t{254}, size_t{255}, size_t{65535}, size_t{65536}}) {
    // Doubles inside the containers make their padding depend on where the
    // size prefix ends.
    EncodableList list;
    EncodableMap map;
    for (size_t i = 0; i < count; ++i) {
      const EncodableValue element =
          i % 2 ? EncodableValue() : EncodableValue(0.5);
      list.push_back(element);
      map.emplace_hint(map.end(), EncodableValue(static_cast<int32_t>(i)),
                       element);
    }
    const std::pair<const char*, EncodableValue> values[] = {
        {"string", EncodableValue(std::string(count, 's'))},
        {"uint8 list", EncodableValue(std::vector<uint8_t>(count, 1))},
        {"int32 list", EncodableValue(std::vector<int32_t>(count, 2))},
        {"int64 list", EncodableValue(std::vector<int64_t>(count, 3))},
        {"double list", EncodableValue(std::vector<double>(count, 4.0))},
        {"float list", EncodableValue(std::vector<float>(count, 5.0f))},
        {"list", EncodableValue(std::move(list))},
        {"map", EncodableValue(std::move(map))},
    };
    for (const auto& [name, value] : values) {
      for (size_t offset = 0; offset < 8; ++offset) {
        SCOPED_TRACE(testing::Message()
                     << name << " of " << count << " at offset " << offset);
        Bytes bytes(offset, 0xAA);
        flutter::ByteBufferStreamWriter writer(&bytes);
        serializer.WriteValue(value, &writer);
        EXPECT_EQ(serializer.EncodedEnd(value, offset), bytes.size());
      }
    }
  }
}

}  // namespace

// Goes through the serializer's stream path: only the library's own writer
// class is written to directly.
class OtherWriter : public flutter::ByteBufferStreamWriter {
 public:
  using ByteBufferStreamWriter::ByteBufferStreamWriter;
};

// The direct path copies blocks at fixed widths by length, and works out
// padding from where the cursor is: at every offset and across those lengths
// it writes what the stream path writes, also into a buffer with no room to
// spare and into one with room made ahead.
TEST(StandardCodecSerializer, DirectPathWritesWhatTheStreamPathWrites) {
  const auto& serializer = flutter::StandardCodecSerializer::GetInstance();
  for (const size_t count :
       {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 255, 1024}) {
    EncodableList all{std::string(count, 'c'),
                      std::vector<uint8_t>(count, 1),
                      std::vector<int32_t>(count, -2),
                      std::vector<int64_t>(count, 3),
                      std::vector<double>(count, 4.5),
                      std::vector<float>(count, 5.5f),
                      1.5,
                      int32_t{6},
                      int64_t{7},
                      true};
    const EncodableValue values[] = {
        EncodableValue(all),
        EncodableValue(EncodableMap{{std::string(count, 'k'), all},
                                    {int32_t{1}, std::vector<int32_t>(count)}}),
        all[0], all[2], all[4]};
    for (const EncodableValue& value : values) {
      for (size_t offset = 0; offset < 8; ++offset) {
        for (const bool ahead : {false, true}) {
          SCOPED_TRACE(testing::Message()
                       << "count " << count << ", type " << value.index()
                       << ", offset " << offset << ", ahead " << ahead);
          Bytes expected(offset, 0xAA);
          OtherWriter other(&expected);
          serializer.WriteValue(value, &other);
          Bytes direct(offset, 0xAA);
          if (ahead) direct.reserve(expected.size() + 64);
          flutter::ByteBufferStreamWriter writer(&direct);
          serializer.WriteValue(value, &writer);
          EXPECT_EQ(ToHex(direct), ToHex(expected));
        }
      }
    }
  }
}
