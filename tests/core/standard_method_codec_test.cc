#include "flutter/standard_method_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "recording_result.h"
#include "test_bytes.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using flutter::MethodCall;
using flutter::StandardMethodCodec;
using kelmor_test::Bytes;
using kelmor_test::Hex;
using kelmor_test::kInvalidRead;
using kelmor_test::StderrCapture;
using kelmor_test::ToHex;
using standin::RecordingResult;
using Kind = RecordingResult::Kind;

const StandardMethodCodec& Codec() {
  return StandardMethodCodec::GetInstance();
}

const char kGetPlatformVersionCall[] =
    "07 12 67 65 74 50 6C 61 74 66 6F 72 6D 56 65 72 73 69 6F 6E 00";
const char kNameNotString[] =
    "Invalid method call; method name is not a string.";

TEST(StandardMethodCodec, MethodCallRoundTrip) {
  MethodCall<> call("getPlatformVersion", nullptr);
  EXPECT_EQ(ToHex(*Codec().EncodeMethodCall(call)),
            ToHex(Hex(kGetPlatformVersionCall)));

  const Bytes bytes = Hex(kGetPlatformVersionCall);
  auto decoded = Codec().DecodeMethodCall(bytes.data(), bytes.size());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->MethodName(), "getPlatformVersion");
  ASSERT_NE(decoded->Arguments(), nullptr);
  EXPECT_TRUE(decoded->Arguments()->IsNull());

  MethodCall<> with_args(
      "m", std::make_unique<EncodableValue>(EncodableMap{{"k", int32_t{1}}}));
  const auto encoded = Codec().EncodeMethodCall(with_args);
  auto back = Codec().DecodeMethodCall(encoded->data(), encoded->size());
  ASSERT_TRUE(back);
  EXPECT_EQ(*back->Arguments(), *with_args.Arguments());
}

TEST(StandardMethodCodec, MalformedCalls) {
  const struct {
    const char* name;
    std::string hex;
    bool decodes;
    std::vector<std::string> lines;
  } cases[] = {
      {"control", "07 01 61 00", true, {}},
      {"name without arguments", "07 01 61", true, {kInvalidRead}},
      {"name is an int32", "03 01 00 00 00", false, {kNameNotString}},
      {"empty message", "", false, {kInvalidRead, kNameNotString}},
      {"unknown type byte",
       "20",
       false,
       {"Unknown type in StandardCodecSerializer::ReadValueOfType: 32",
        kNameNotString}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = Hex(c.hex);
    StderrCapture capture;
    auto call = Codec().DecodeMethodCall(bytes.data(), bytes.size());
    EXPECT_EQ(call != nullptr, c.decodes);
    if (call) {
      EXPECT_EQ(call->MethodName(), "a");
      EXPECT_TRUE(call->Arguments()->IsNull());
    }
    EXPECT_EQ(capture.Lines(), c.lines);
  }
}

TEST(StandardMethodCodec, EnvelopesByteForByte) {
  const EncodableValue answer("Windows 10+");
  const EncodableValue null_value;
  const EncodableValue one_and_a_half(1.5);
  const struct {
    const char* name;
    std::unique_ptr<std::vector<uint8_t>> bytes;
    std::string hex;
  } cases[] = {
      {"success string", Codec().EncodeSuccessEnvelope(&answer),
       "00 07 0B 57 69 6E 64 6F 77 73 20 31 30 2B"},
      {"success without a result", Codec().EncodeSuccessEnvelope(), "00 00"},
      {"success null", Codec().EncodeSuccessEnvelope(&null_value), "00 00"},
      {"success double", Codec().EncodeSuccessEnvelope(&one_and_a_half),
       "00 06 00 00 00 00 00 00 00 00 00 00 00 00 F8 3F"},
      {"error, empty message", Codec().EncodeErrorEnvelope("E", ""),
       "01 07 01 45 00 00"},
      {"error with message", Codec().EncodeErrorEnvelope("E", "m"),
       "01 07 01 45 07 01 6D 00"},
      {"error, empty code", Codec().EncodeErrorEnvelope("", "", &answer),
       "01 07 00 00 07 0B 57 69 6E 64 6F 77 73 20 31 30 2B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToHex(*c.bytes), ToHex(Hex(c.hex)));
  }
}

TEST(StandardMethodCodec, DecodesResponseEnvelopes) {
  const struct {
    const char* name;
    std::string hex;
    bool understood;
    Kind kind;
    std::optional<EncodableValue> value;
    std::string code;
    std::string message;
  } cases[] = {
      {"success without value", "00 00", true, Kind::kSuccess, std::nullopt, "",
       ""},
      {"success with value", "00 03 05 00 00 00", true, Kind::kSuccess,
       EncodableValue(int32_t{5}), "", ""},
      {"error", "01 07 01 45 00 00", true, Kind::kError, std::nullopt, "E", ""},
      {"error with details", "01 07 01 45 07 01 6D 01", true, Kind::kError,
       EncodableValue(true), "E", "m"},
      {"unknown flag", "02", false, Kind::kNone, std::nullopt, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = Hex(c.hex);
    RecordingResult result;
    EXPECT_EQ(
        Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result),
        c.understood);
    EXPECT_EQ(result.kind, c.kind);
    EXPECT_EQ(result.calls, c.kind == Kind::kNone ? 0 : 1);
    EXPECT_EQ(result.value, c.value);
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.message, c.message);
  }
}

TEST(StandardMethodCodec, EmptyResponseIsASuccessWithoutValue) {
  RecordingResult result;
  StderrCapture capture;
  EXPECT_TRUE(Codec().DecodeResponseEnvelope(nullptr, 0, &result));
  EXPECT_EQ(capture.Lines(),
            (std::vector<std::string>{kInvalidRead, kInvalidRead}));
  EXPECT_EQ(result.kind, Kind::kSuccess);
  EXPECT_FALSE(result.value.has_value());
}

TEST(StandardMethodCodec, MalformedErrorEnvelopeCallsNothing) {
  const char* envelopes[] = {
      "01 03 01 00 00 00 00 00",  // code is an int32
      "01 07 01 45 01 00",        // message is a bool
  };
  for (const char* hex : envelopes) {
    SCOPED_TRACE(hex);
    const Bytes bytes = Hex(hex);
    RecordingResult result;
    StderrCapture capture;
    EXPECT_FALSE(
        Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result));
    EXPECT_EQ(result.calls, 0);
    EXPECT_EQ(capture.Lines(),
              std::vector<std::string>{
                  "Invalid error envelope; code is not a string or message is "
                  "neither a string nor null."});
  }
}

TEST(StandardMethodCodec, OneSharedCodecPerSerializer) {
  const auto& default_serializer =
      flutter::StandardCodecSerializer::GetInstance();
  EXPECT_EQ(&StandardMethodCodec::GetInstance(),
            &StandardMethodCodec::GetInstance(&default_serializer));
  flutter::StandardCodecSerializer extension;
  EXPECT_NE(&StandardMethodCodec::GetInstance(&extension),
            &StandardMethodCodec::GetInstance());
  EXPECT_EQ(&StandardMethodCodec::GetInstance(&extension),
            &StandardMethodCodec::GetInstance(&extension));
}

}  // namespace

namespace {

// Found in review: a list whose first elements are large was taken to be
// large throughout, and a 1 MB reply reserved gigabytes.
TEST(StandardMethodCodec, EnvelopeRoomIsBoundedByWhatTheMessageHolds) {
  flutter::EncodableList list(16, EncodableValue(std::string(65536, 'x')));
  list.resize(100016);  // then nulls
  const EncodableValue value(std::move(list));
  const auto envelope =
      flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(&value);
  EXPECT_EQ(
      envelope->size(),
      flutter::StandardCodecSerializer::GetInstance().EncodedEnd(value, 1));
  EXPECT_LE(envelope->capacity(), 5 * envelope->size() + (1 << 20));
}

}  // namespace

namespace {

using flutter::EncodableList;

// Every buffer that carries `value` holds at most twice its size and 4 KiB:
// as a call's arguments, a success result, an error's details, and alone
// as the serializer writes it into an empty buffer.
void ExpectSnugBuffers(const EncodableValue& value) {
  MethodCall<> call("m", std::make_unique<EncodableValue>(value));
  const std::pair<const char*, std::unique_ptr<std::vector<uint8_t>>>
      buffers[] = {
          {"method call", Codec().EncodeMethodCall(call)},
          {"success envelope", Codec().EncodeSuccessEnvelope(&value)},
          {"error envelope", Codec().EncodeErrorEnvelope("E", "m", &value)},
          {"serializer", std::make_unique<Bytes>(kelmor_test::Encode(value))},
      };
  for (const auto& [name, bytes] : buffers) {
    SCOPED_TRACE(name);
    EXPECT_LE(bytes->capacity(), 2 * bytes->size() + 4096);
  }
  // Cut to size or not, the envelope still holds the value.
  RecordingResult result;
  const auto& success = *buffers[1].second;
  EXPECT_TRUE(
      Codec().DecodeResponseEnvelope(success.data(), success.size(), &result));
  EXPECT_EQ(result.value.value_or(EncodableValue()), value);
}

// `count` elements: `first` for the first `switch_at`, then `then`.
EncodableValue Phased(size_t count, size_t switch_at,
                      const EncodableValue& first, const EncodableValue& then) {
  EncodableList list(count, then);
  std::fill_n(list.begin(), switch_at, first);
  return EncodableValue(std::move(list));
}

EncodableValue Text(size_t length) {
  return EncodableValue(std::string(length, 't'));
}

EncodableValue Wrapped(EncodableValue value, int levels) {
  for (int i = 0; i < levels; ++i) value = EncodableValue(EncodableList{value});
  return value;
}

EncodableValue RandomValue(std::mt19937& random, int depth);

// A list or map whose elements change kind partway, so that the first
// elements do not speak for the rest.
EncodableValue RandomContainer(std::mt19937& random, int depth) {
  const size_t count = random() % (depth == 1 ? 300 : 24);
  const size_t switch_at = random() % (count + 1);
  const EncodableValue first = RandomValue(random, depth - 1);
  const EncodableValue then = RandomValue(random, depth - 1);
  if (random() % 2 == 0) return Phased(count, switch_at, first, then);
  EncodableMap map;
  for (size_t i = 0; i < count; ++i) {
    map.try_emplace(map.end(), EncodableValue(static_cast<int32_t>(i)),
                    i < switch_at ? first : then);
  }
  return EncodableValue(std::move(map));
}

EncodableValue RandomValue(std::mt19937& random, int depth) {
  switch (random() % (depth > 0 ? 6 : 5)) {
    case 0:
      return EncodableValue();
    case 1:
      return EncodableValue(static_cast<int64_t>(random()));
    case 2:
      return Text(random() % 200);
    case 3:
      return EncodableValue(std::vector<double>(random() % 30, 0.5));
    case 4:
      return EncodableValue(1.5);
    default:
      return RandomContainer(random, depth);
  }
}

// Found in review: the room made for a message was guessed from the first
// elements of each list and map and kept, up to 33 times the message.
TEST(StandardMethodCodec, BuffersHoldAtMostTwiceTheMessage) {
  EncodableMap large_values_first;
  for (int32_t key = 0; key < 20000; ++key) {
    large_values_first.try_emplace(EncodableValue(key),
                                   key < 16 ? Text(8192) : EncodableValue());
  }
  const EncodableValue fooled_inner = Phased(516, 16, Text(512), {});
  const EncodableValue nested_short(
      EncodableList(16, EncodableValue(EncodableList(16, fooled_inner))));
  const struct {
    const char* name;
    EncodableValue value;
  } cases[] = {
      {"small message: short strings, then nulls",
       Phased(500, 16, Text(100), {})},
      {"16 large strings, then nulls", Phased(100016, 16, Text(65536), {})},
      {"large maps first, then bools",
       Phased(20016, 16,
              EncodableValue(
                  EncodableMap(large_values_first.begin(),
                               std::next(large_values_first.begin(), 64))),
              EncodableValue(true))},
      {"map: large values first, then nulls", large_values_first},
      {"typed lists first, then int32s",
       Phased(50016, 16, EncodableValue(std::vector<double>(4096)),
              EncodableValue(int32_t{1}))},
      {"many nested short containers", nested_short},
      {"deeply nested", Wrapped(Phased(20016, 16, Text(4096), {}), 40)},
      {"small elements first, then large", Phased(2016, 16, {}, Text(1000))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectSnugBuffers(c.value);
  }
  std::mt19937 random(20261209);
  for (int i = 0; i < 200; ++i) {
    SCOPED_TRACE(testing::Message() << "random value " << i);
    ExpectSnugBuffers(RandomContainer(random, 3));
  }
}

}  // namespace
