// The public way to stop an exception at a C boundary, and the former name
// that still forwards to it.
#include "flutter/report_caught_exception.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "flutter/callback_guard.h"
#include "test_bytes.h"

namespace {

using kelmor_test::StderrCapture;
using Lines = std::vector<std::string>;

TEST(CallReportingExceptions, ReportsWhatTheCallableThrowsAsOneLine) {
  struct Case {
    const char* name;
    std::function<void()> callable;
    bool completed;
    Lines lines;
  };
  const Case cases[] = {
      {"returns", [] {}, true, {}},
      {"std::exception",
       [] { throw std::runtime_error("no sensor"); },
       false,
       {"Exception in Register: no sensor"}},
      {"anything else", [] { throw 7; }, false, {"Exception in Register"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StderrCapture capture;
    EXPECT_EQ(flutter::CallReportingExceptions("Register", c.callable),
              c.completed);
    EXPECT_EQ(capture.Lines(), c.lines);
  }
}

// A result marked nodiscard is dropped without a warning, which the
// machinery's -Werror users would get from the header.
struct [[nodiscard]] Status {
  int code;
};

TEST(CallReportingExceptions, DropsWhatTheCallableReturns) {
  EXPECT_TRUE(
      flutter::CallReportingExceptions("Register", [] { return Status{1}; }));
}

// Plugins written against the former name keep building for one release.
TEST(ReportCaughtException, FormerInternalNameStillReports) {
  StderrCapture capture;
  try {
    throw std::runtime_error("late");
  } catch (...) {
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    flutter::internal::ReportCaughtException("old export");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  }
  EXPECT_EQ(capture.Lines(), Lines{"Exception in old export: late"});
}

}  // namespace
