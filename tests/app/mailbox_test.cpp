#include "app/mailbox.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// A worker's progress and its outcome must reach the window in the order they
// were posted, whichever thread posts while the other takes.
TEST(Mailbox, HandsOverEveryValueOnceInTheOrderPosted) {
  Mailbox<int> box;
  EXPECT_FALSE(box.take().has_value());
  constexpr int kCount = 20000;
  std::thread poster([&box] {
    for (int n = 0; n < kCount; ++n) box.post(n);
  });
  std::vector<int> taken;
  while (static_cast<int>(taken.size()) < kCount) {
    if (std::optional<int> value = box.take()) taken.push_back(*value);
  }
  poster.join();
  EXPECT_FALSE(box.take().has_value());
  for (int n = 0; n < kCount; ++n) ASSERT_EQ(taken[static_cast<std::size_t>(n)], n);
}

}  // namespace
