// Makes every GoogleTest test of a program that includes this header fail
// when the stand-in engine sees a plugin break a rule a real engine
// enforces, such as sending a message from a thread other than the
// engine's, unless the test expects it (Engine::ExpectOffThreadSends).
//
//   #include "standin/plugin_test_rules.h"
#ifndef STANDIN_PLUGIN_TEST_RULES_H_
#define STANDIN_PLUGIN_TEST_RULES_H_

#include <gtest/gtest.h>

#include <string>

#include "standin_engine.h"

namespace standin {

inline bool FailTestsOnBrokenRules() {
  SetRuleBreakHandler([](const std::string& line) { ADD_FAILURE() << line; });
  return true;
}

// Installed once per program, before any test runs.
inline const bool kFailsTestsOnBrokenRules = FailTestsOnBrokenRules();

}  // namespace standin

#endif  // STANDIN_PLUGIN_TEST_RULES_H_
