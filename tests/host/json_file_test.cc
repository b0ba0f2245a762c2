#include "json_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "host_options.h"
#include "json_value.h"

namespace {

using kelmor_host::kMaxJsonTextBytes;
using kelmor_host::ReadJsonFile;
using kelmor_host::ReadJsonStream;
using testing::HasSubstr;
using testing::StartsWith;

// A temporary stream holding `bytes`, read from the start.
std::FILE* StreamOf(const std::string& bytes) {
  std::FILE* stream = std::tmpfile();
  if (stream == nullptr) return nullptr;
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::rewind(stream);
  return stream;
}

// A path under the temporary folder no other run of these tests uses.
std::string TempPath(const std::string& name) {
  static const std::string run = std::to_string(
      std::chrono::steady_clock::now().time_since_epoch().count());
  return testing::TempDir() + name + "_" + run;
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// Carriage returns, a Ctrl-Z and bytes past ASCII come through as they are.
TEST(JsonFile, StreamsAreReadByteForByte) {
  const std::string bytes = "[\"a\r\n\x1A\xC3\xBC\", 1]\r\n";
  std::FILE* stream = StreamOf(bytes);
  ASSERT_NE(stream, nullptr);
  std::string text, error;
  EXPECT_TRUE(ReadJsonStream(stream, &text, &error)) << error;
  EXPECT_EQ(text, bytes);
  std::fclose(stream);
}

// Up to the limit a text is taken. Past it the reader stops within 64 KiB,
// so that an endless stream is refused too.
TEST(JsonFile, StreamsLongerThanTheLimitAreRefusedWithoutReadingOn) {
  std::string bytes(kMaxJsonTextBytes, ' ');
  std::FILE* stream = StreamOf(bytes);
  ASSERT_NE(stream, nullptr);
  std::string text, error;
  EXPECT_TRUE(ReadJsonStream(stream, &text, &error)) << error;
  EXPECT_EQ(text.size(), kMaxJsonTextBytes);

  const std::string more(200000, ' ');
  std::fseek(stream, 0, SEEK_END);
  std::fwrite(more.data(), 1, more.size(), stream);
  std::rewind(stream);
  text = "untouched";
  EXPECT_FALSE(ReadJsonStream(stream, &text, &error));
  EXPECT_EQ(error,
            "JSON text is longer than the limit of 67108864 bytes (64 MiB)");
  EXPECT_EQ(text, "untouched");
  // Regression: the reader went on to the end only to report the length.
  EXPECT_LE(std::ftell(stream), long{kMaxJsonTextBytes + 65536});
  std::fclose(stream);
}

TEST(JsonFile, FilesAndTheirFailures) {
  const std::string path = WriteFile("json_file_test.json", "{\"a\": [1]}");
  std::string text, error;
  EXPECT_TRUE(ReadJsonFile(path, &text, &error)) << error;
  EXPECT_EQ(text, "{\"a\": [1]}");

  const std::string missing = TempPath("json_file_test_missing");
  text = "untouched";
  EXPECT_FALSE(ReadJsonFile(missing, &text, &error));
  EXPECT_EQ(error, "cannot read " + missing + ": No such file or directory");
  EXPECT_EQ(text, "untouched");

  // Opens on some systems and fails to read; fails to open on others.
  EXPECT_FALSE(ReadJsonFile(testing::TempDir(), &text, &error));
  EXPECT_THAT(error, StartsWith("cannot read " + testing::TempDir() + ": "));
  EXPECT_EQ(text, "untouched");
}

// ==== Options that name files ====

TEST(JsonFile, OptionsReadEveryFileIntoItsPlace) {
  kelmor_host::HostOptions options;
  std::string error;
  const std::string arguments = WriteFile("json_file_test_args.json", "[1]");
  const std::string answer = WriteFile("json_file_test_answer.json", "true");
  ASSERT_TRUE(kelmor_host::ParseHostOptions(
      {"a=@" + arguments, "b", "c=2", "--answer", "@" + answer}, &options,
      &error))
      << error;
  ASSERT_TRUE(kelmor_host::ReadJsonFiles(&options, &error)) << error;
  EXPECT_EQ(options.calls[0].arguments_json, "[1]");
  EXPECT_FALSE(options.calls[0].arguments_file);
  EXPECT_FALSE(options.calls[1].arguments_json);
  EXPECT_EQ(options.calls[2].arguments_json, "2");
  EXPECT_EQ(options.answer_json, "true");
  EXPECT_FALSE(options.answer_file);
}

TEST(JsonFile, OptionsNameWhatAFailedFileWasFor) {
  const std::string missing = TempPath("json_file_test_missing");
  std::string error;
  kelmor_host::HostOptions call;
  ASSERT_TRUE(kelmor_host::ParseHostOptions({"m=@" + missing}, &call, &error));
  EXPECT_FALSE(kelmor_host::ReadJsonFiles(&call, &error));
  EXPECT_EQ(error, "arguments of m: cannot read " + missing +
                       ": No such file or directory");

  kelmor_host::HostOptions answer;
  ASSERT_TRUE(kelmor_host::ParseHostOptions({"--answer=@" + missing, "m"},
                                            &answer, &error));
  EXPECT_FALSE(kelmor_host::ReadJsonFiles(&answer, &error));
  EXPECT_THAT(error, StartsWith("--answer: cannot read "));
  EXPECT_THAT(error, HasSubstr(missing));
}

}  // namespace
