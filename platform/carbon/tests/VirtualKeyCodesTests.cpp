#include <gtest/gtest.h>

#include <set>

#include "carbon/VirtualKeyCodes.h"

namespace carbon {
namespace {

TEST(VirtualKeyCodes, EveryKeyMapsToOneEvdevCodeAndBack) {
  std::set<int> evdevCodes;
  int mapped = 0;
  for (int code = 0; code < 256; ++code) {
    auto evdev = evdevCodeForVirtualKey(code);
    if (!evdev) continue;
    ++mapped;
    EXPECT_TRUE(evdevCodes.insert(*evdev).second) << "evdev " << *evdev << " used twice";
    EXPECT_EQ(virtualKeyForEvdevCode(*evdev), code);
  }
  EXPECT_EQ(mapped, 113);
  EXPECT_EQ(evdevCodeForVirtualKey(49), 57);  // space
  EXPECT_EQ(evdevCodeForVirtualKey(53), 1);   // escape
  EXPECT_EQ(evdevCodeForVirtualKey(0), 30);   // A
}

TEST(VirtualKeyCodes, KeysWithoutPositionMapToNothing) {
  EXPECT_FALSE(evdevCodeForVirtualKey(10));  // the ISO section key
  EXPECT_FALSE(evdevCodeForVirtualKey(-1));
  EXPECT_FALSE(evdevCodeForVirtualKey(70000));
  EXPECT_FALSE(virtualKeyForEvdevCode(99));   // Print
  EXPECT_FALSE(virtualKeyForEvdevCode(119));  // Pause
  EXPECT_FALSE(virtualKeyForEvdevCode(191));  // F21
}

}  // namespace
}  // namespace carbon
