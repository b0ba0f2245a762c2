#include "host_options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// "@PATH" names a file still to be read, for a call or for --answer; the
// text itself is never read as JSON.
TEST(HostOptions, JsonTextsFromFilesAndStandardInput) {
  HostOptions options;
  std::string error;
  ASSERT_TRUE(ParseHostOptions(
      {"a=@args.json", "b=@-", "--answer", "@answer.json"}, &options, &error))
      << error;
  ASSERT_EQ(options.calls.size(), 2u);
  EXPECT_FALSE(options.calls[0].arguments_json);
  EXPECT_EQ(options.calls[0].arguments_file, "args.json");
  EXPECT_EQ(options.calls[1].arguments_file, kelmor_host::kStandardInputPath);
  EXPECT_FALSE(options.answer_json);
  EXPECT_EQ(options.answer_file, "answer.json");

  HostOptions inline_answer;
  ASSERT_TRUE(ParseHostOptions({"--answer=@answer.json", "--answer", "2", "x"},
                               &inline_answer, &error));
  EXPECT_EQ(inline_answer.answer_json, "2");  // the last one counts
  EXPECT_FALSE(inline_answer.answer_file);

  // Pins a fault: an --answer @- given again still held standard input.
  HostOptions replaced;
  EXPECT_TRUE(ParseHostOptions({"--answer", "@-", "--answer", "1", "x=@-"},
                               &replaced, &error))
      << error;
}

// A '=' makes a method's answer only where JSON cannot hold one: outside a
// string, before any quote, bracket or '@'.
TEST(HostOptions, AnswersByMethod) {
  struct Case {
    std::vector<std::string> args;
    std::optional<std::string> every_call;
    std::string method;  // empty: no answer by method
    std::optional<std::string> json, file, code;
    std::string message;
  };
  const Case cases[] = {
      {{"--answer", "1"}, "1", "", {}, {}, {}, ""},
      {{"--answer", "ask=[1]"}, {}, "ask", "[1]", {}, {}, ""},
      {{"--answer", "\"a=b\""}, "\"a=b\"", "", {}, {}, {}, ""},
      {{"--answer", "{\"a\":\"=\"}"}, "{\"a\":\"=\"}", "", {}, {}, {}, ""},
      {{"--answer", "@a=b.json"}, {}, "", {}, {}, {}, ""},
      {{"--answer=ask=@a.json"}, {}, "ask", {}, "a.json", {}, ""},
      {{"--answer-error", "ask=denied"}, {}, "ask", {}, {}, "denied", ""},
      {{"--answer-error", "ask=denied:no: not now"},
       {},
       "ask",
       {},
       {},
       "denied",
       "no: not now"},
      {{"--answer-error", "ask=x", "--answer", "ask=2"},
       {},
       "ask",
       "2",
       {},
       {},
       ""},
      {{"--answer", "ask=@-", "--answer-error", "ask=x", "y=@-"},
       {},
       "ask",
       {},
       {},
       "x",
       ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    SCOPED_TRACE(args.back());
    HostOptions options;
    std::string error;
    args.push_back("x");
    ASSERT_TRUE(ParseHostOptions(args, &options, &error)) << error;
    EXPECT_EQ(options.answer_json, c.every_call);
    if (c.method.empty()) {
      EXPECT_TRUE(options.method_answers.empty());
      continue;
    }
    ASSERT_EQ(options.method_answers.size(), 1u);
    const kelmor_host::MethodAnswer& answer = options.method_answers[0];
    EXPECT_EQ(answer.method, c.method);
    EXPECT_EQ(answer.json, c.json);
    EXPECT_EQ(answer.file, c.file);
    EXPECT_EQ(answer.error_code, c.code);
    EXPECT_EQ(answer.error_message, c.message);
  }
  for (const std::string bad : {"ask", "=x", "ask=", "ask=:why"}) {
    SCOPED_TRACE(bad);
    HostOptions options;
    std::string error;
    EXPECT_FALSE(
        ParseHostOptions({"--answer-error", bad, "x"}, &options, &error));
    EXPECT_EQ(error, "bad --answer-error " + bad +
                         " (expected METHOD=CODE[:MESSAGE])");
  }
}

TEST(HostOptions, JsonFileRefusals) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{"x=@"}, "arguments of x: no file name after @"},
      {{"--answer=@", "x"}, "--answer: no file name after @"},
      {{"x=@-", "y=@-"},
       "standard input (@-) can give only one JSON text a run"},
      {{"--answer", "@-", "y=@-"},
       "standard input (@-) can give only one JSON text a run"},
      {{"--answer"}, "option --answer needs a value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    HostOptions options;
    std::string error;
    EXPECT_FALSE(ParseHostOptions(c.args, &options, &error));
    EXPECT_EQ(error, c.error);
  }
}

// A count is decimal digits and nothing else, up to what size_t holds
// (64 bits wherever the host builds); a refusal names the option.
TEST(HostOptions, MaxApplicationCallsTakesWholeNumbersOnly) {
  struct Case {
    std::vector<std::string> args;
    std::optional<size_t> taken;  // none: refused
  };
  const Case cases[] = {
      {{"x"}, kelmor_host::kDefaultMaxApplicationCalls},
      {{"--max-application-calls", "0", "x"}, 0},
      {{"--max-application-calls=18446744073709551615", "x"}, SIZE_MAX},
      {{"--max-application-calls=18446744073709551616", "x"}, std::nullopt},
      {{"--max-application-calls=-1", "x"}, std::nullopt},
      {{"--max-application-calls=+1", "x"}, std::nullopt},
      {{"--max-application-calls= 1", "x"}, std::nullopt},
      {{"--max-application-calls=1k", "x"}, std::nullopt},
      {{"--max-application-calls=", "x"}, std::nullopt},
      {{"--max-application-calls"}, std::nullopt},
  };
  static_assert(SIZE_MAX == UINT64_MAX, "the cases assume a 64-bit size_t");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    HostOptions options;
    std::string error;
    const bool parsed = ParseHostOptions(c.args, &options, &error);
    EXPECT_EQ(parsed, c.taken.has_value()) << error;
    if (c.taken) {
      EXPECT_EQ(options.max_application_calls, *c.taken);
    } else {
      EXPECT_NE(error.find("--max-application-calls"), std::string::npos);
    }
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
