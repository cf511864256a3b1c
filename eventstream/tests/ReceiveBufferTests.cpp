#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "eventstream/ReceiveBuffer.h"

namespace eventstream {
namespace {

// What a buffer holds follows a plain string through appends of every size, including growth
// past the size where the heap hands out mapped memory, and removals of any length.
TEST(ReceiveBuffer, HoldsWhatAStringWouldThroughGrowthAndRemoval) {
  ReceiveBuffer buffer;
  std::string expected;
  EXPECT_EQ(buffer.view(), "");
  std::uint32_t seed = 7;
  for (int step = 0; step < 400; ++step) {
    seed = seed * 1664525u + 1013904223u;
    const std::size_t size = (seed >> 8) % (step % 50 == 49 ? 3'000'000 : 5000);
    const std::string bytes(size, static_cast<char>('a' + step % 26));
    buffer.append(bytes);
    expected += bytes;
    if (step % 3 == 0) {
      const std::size_t removed = (seed >> 4) % (expected.size() + 10);
      buffer.removePrefix(removed);
      expected.erase(0, std::min(removed, expected.size()));
    }
    ASSERT_EQ(buffer.size(), expected.size()) << step;
    ASSERT_TRUE(buffer.view() == expected) << step;
  }
  ReceiveBuffer moved = std::move(buffer);
  EXPECT_TRUE(moved.view() == expected);
  EXPECT_EQ(buffer.size(), 0u);  // a moved-from buffer is empty and usable
  buffer = std::move(moved);
  buffer.append("end");
  EXPECT_TRUE(buffer.view() == expected + "end");
}

}  // namespace
}  // namespace eventstream
