// Comparing rectangles in tests: EXPECT_TRUE(RectIs(actual, {left, top, right, bottom})).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

namespace qv::test {

inline ::testing::AssertionResult RectIs(const RECT& actual, const RECT& expected) {
  if (actual.left == expected.left && actual.top == expected.top && actual.right == expected.right &&
      actual.bottom == expected.bottom) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "{" << actual.left << "," << actual.top << "," << actual.right << ","
                                       << actual.bottom << "} instead of {" << expected.left << "," << expected.top
                                       << "," << expected.right << "," << expected.bottom << "}";
}

}  // namespace qv::test
