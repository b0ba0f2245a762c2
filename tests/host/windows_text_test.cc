// Text from the Windows wide API: UTF-16 to and from the host's UTF-8, and
// the system's error messages. Windows only.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "plugin_library.h"
#include "utf16_text.h"

#ifdef _WIN32

namespace {

using kelmor_host::Utf8FromWide;
using kelmor_host::WideFromUtf8;

// One, two, three and four bytes in UTF-8; the last is a surrogate pair.
TEST(Utf16Text, RoundTripsEveryLengthOfSequence) {
  const std::string utf8 = "a\xC3\xBC\xE4\xB8\x96\xF0\x9F\x99\x82";
  const std::wstring wide = WideFromUtf8(utf8);
  EXPECT_EQ(wide, std::wstring(L"a\u00FC\u4E16\xD83D\xDE42"));
  EXPECT_EQ(Utf8FromWide(wide), utf8);
  EXPECT_EQ(Utf8FromWide(L"xyz", 2), "xy");  // no null needed
  EXPECT_EQ(WideFromUtf8(""), L"");
  EXPECT_EQ(Utf8FromWide(L""), "");
}

TEST(Utf16Text, BadInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8FromWide(std::wstring(L"a\xD800"
                                      L"b")),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(WideFromUtf8("a\xFF"
                         "b"),
            L"a\uFFFDb");
}

TEST(WindowsErrorText, TheSystemsWordsOnOneLineWithTheNumber) {
  // ERROR_FILE_NOT_FOUND: the message ends in a line break on Windows.
  const std::string missing = kelmor_host::WindowsErrorText(2, "x.dll");
  EXPECT_THAT(missing, testing::EndsWith(" (Windows error 2)"));
  EXPECT_GT(missing.size(), std::string(" (Windows error 2)").size() + 4);
  EXPECT_EQ(missing.find_first_of("\r\n"), std::string::npos);
  // ERROR_BAD_EXE_FORMAT names the file as %1.
  const std::string bad = kelmor_host::WindowsErrorText(193, "x.dll");
  EXPECT_THAT(bad, testing::HasSubstr("x.dll"));
  EXPECT_THAT(bad, testing::Not(testing::HasSubstr("%1")));
  // A code without a message.
  EXPECT_EQ(kelmor_host::WindowsErrorText(0x2000FFFF, "x.dll"),
            "Windows error 536936447");
}

}  // namespace

#endif  // _WIN32
