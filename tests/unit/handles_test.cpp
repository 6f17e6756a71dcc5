#include "base/handles.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

// A kind whose handles are numbers (0 holds nothing) and whose releases are written down.
struct CountedKind {
  using Handle = int;
  static int Empty() { return 0; }
  static bool Holds(int handle) { return handle != 0; }
  void Release(int handle) const { released->push_back(handle); }
  std::vector<int>* released = nullptr;
};
using Counted = Unique<CountedKind>;

TEST(Handles, EveryHandleIsReleasedExactlyOnce) {
  std::vector<int> released;
  const CountedKind kind{&released};
  {
    Counted first(1, kind);
    Counted second(std::move(first));  // moves, releases nothing
    Counted third(3, kind);
    third = std::move(second);  // 3 goes, 1 moves over
    EXPECT_FALSE(first);
    EXPECT_EQ(third.get(), 1);
    EXPECT_EQ(released, std::vector<int>{3});

    Counted fourth(4, kind);
    EXPECT_EQ(fourth.release(), 4);  // handed out, not released
    *fourth.put() = 5;
    *fourth.put() = 6;  // put() lets 5 go first
    fourth.reset(7);    // 6 goes
    Counted empty(0, kind);
    empty.reset();
  }
  // At the end of the scope: 7 (fourth), then 1 (third); the empty holders release nothing.
  EXPECT_EQ(released, (std::vector<int>{3, 5, 6, 7, 1}));
}

TEST(Handles, KernelAndFindHandlesTreatInvalidAsEmpty) {
  EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(UniqueFind(INVALID_HANDLE_VALUE));
  WIN32_FIND_DATAW entry{};
  const UniqueFind missing(FindFirstFileW(L"C:\\no such folder\\*", &entry));
  EXPECT_FALSE(missing);
  const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  EXPECT_TRUE(event);
}

}  // namespace
}  // namespace qv
