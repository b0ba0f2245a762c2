#include "host_options.h"

#include <gtest/gtest.h>

#include "json_value.h"
#include "value_text.h"

namespace {

using kelmor_host::HostOptions;
using kelmor_host::ParseHostOptions;

TEST(HostOptions, MethodsWithArgumentsAndOptionForms) {
  HostOptions options;
  std::string error;
  ASSERT_TRUE(ParseHostOptions({"--channel=c", "--library", "lib.so", "a",
                                "b={\"x\":[1]}", "--", "--odd"},
                               &options, &error))
      << error;
  EXPECT_EQ(options.channel, "c");
  EXPECT_EQ(options.library, "lib.so");
  ASSERT_EQ(options.calls.size(), 3u);
  EXPECT_FALSE(options.calls[0].arguments_json);
  EXPECT_EQ(*options.calls[1].arguments_json, "{\"x\":[1]}");
  EXPECT_EQ(options.calls[2].method, "--odd");
}

TEST(HostOptions, Refusals) {
  const std::vector<std::vector<std::string>> bad = {
      {}, {"--library"}, {"--nope", "x"}};
  for (const auto& args : bad) {
    HostOptions options;
    std::string error;
    EXPECT_FALSE(ParseHostOptions(args, &options, &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(JsonValue, NumbersBySizeAndObjectsAsStringKeyedMaps) {
  flutter::EncodableValue value;
  std::string error;
  ASSERT_TRUE(kelmor_host::EncodableValueFromJson(
      R"({"small": 1, "big": 5000000000, "real": 1.5, "list": [null, true, "s"]})",
      &value, &error));
  EXPECT_EQ(
      kelmor_host::ValueToText(value),
      R"({"big": 5000000000, "list": [null, true, "s"], "real": 1.5, "small": 1})");
  const auto& map = std::get<flutter::EncodableMap>(value);
  EXPECT_EQ(map.at(flutter::EncodableValue("big")).index(), 3u);
  EXPECT_EQ(map.at(flutter::EncodableValue("small")).index(), 2u);
  EXPECT_FALSE(kelmor_host::EncodableValueFromJson("{", &value, &error));
}

TEST(ValueText, TypedListsAndEscapes) {
  EXPECT_EQ(kelmor_host::ValueToText(
                flutter::EncodableValue(std::vector<int32_t>{-1, 2})),
            "int32[-1, 2]");
  EXPECT_EQ(kelmor_host::ValueToText(flutter::EncodableValue("a\"\n")),
            "\"a\\\"\\x0A\"");
}

}  // namespace
