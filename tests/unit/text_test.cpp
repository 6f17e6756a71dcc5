#include "app/text.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(Text, Utf8RoundTrip) {
  const std::string utf8 = "\xE6\x8F\x92\xE4\xBB\xB6 a";
  EXPECT_EQ(Utf8ToWide(utf8), L"插件 a");
  EXPECT_EQ(WideToUtf8(L"插件 a"), utf8);
}

}  // namespace
}  // namespace qv
