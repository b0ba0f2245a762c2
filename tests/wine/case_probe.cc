// A GoogleTest program with a case that passes and one that fails, for
// check_case_tests.cmake; it is not registered with CTest itself.
#include <gtest/gtest.h>

TEST(CaseProbe, Passes) { SUCCEED(); }

TEST(CaseProbe, Fails) { FAIL() << "fails on purpose"; }
