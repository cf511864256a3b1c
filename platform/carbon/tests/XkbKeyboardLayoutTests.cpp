#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "carbon/XkbKeyboardLayout.h"
#include "foundation/DispatchQueue.h"
#include "foundation/NotificationCenter.h"
#include "testsupport/StartedPrograms.h"
#include "testsupport/X11TestClient.h"

namespace carbon {
namespace {

using namespace std::chrono_literals;

constexpr int kA = 0, kY = 16, kMinus = 27, kEqual = 24, kKeypad5 = 87, kSpace = 49, kMute = 74;

bool setLayout(const std::string& layouts) {
  return testsupport::runCommand("setxkbmap -layout " + layouts + " 2>/dev/null") == 0;
}

TEST(XkbKeyboardLayout, FollowsTheDisplaysLayoutByKeyPosition) {
  QUILL_REQUIRE_DISPLAY();
  if (!setLayout("us")) GTEST_SKIP() << "setxkbmap cannot set layouts here";
  XkbKeyboardLayout layout;
  ASSERT_TRUE(layout.ok());
  EXPECT_EQ(layout.unshiftedText(kA), "a");
  EXPECT_EQ(layout.unshiftedText(kY), "y");
  EXPECT_EQ(layout.unshiftedText(kMinus), "-");
  EXPECT_EQ(layout.unshiftedText(kKeypad5), "5") << "keypad digits by their digit";
  EXPECT_EQ(layout.unshiftedText(kSpace), " ");
  EXPECT_FALSE(layout.unshiftedText(kMute)) << "media keys type nothing";
  EXPECT_FALSE(layout.unshiftedText(10)) << "no such key";

  // German: Y and Z swap places, the minus key types ß and the equal key is a dead accent. The
  // change is told without a question first.
  int told = 0;
  auto observer = foundation::NotificationCenter::defaultCenter().addObserver(
      kKeyboardLayoutDidChange, [&](const foundation::Notification&) { ++told; });
  ASSERT_TRUE(setLayout("de"));
  EXPECT_TRUE(foundation::MainRunLoop::runUntil([&] { return told > 0; }, 5s));
  EXPECT_EQ(layout.unshiftedText(kY), "z");
  EXPECT_EQ(layout.unshiftedText(kMinus), "\u00DF");
  EXPECT_EQ(layout.unshiftedText(kEqual), "\u00B4");

  // A Cyrillic layout in front: the keys are named after the first Latin layout.
  ASSERT_TRUE(setLayout("ru,de"));
  EXPECT_EQ(layout.unshiftedText(kY), "z");
  EXPECT_EQ(layout.unshiftedText(kA), "a");

  told = 0;
  ASSERT_TRUE(setLayout("us"));
  EXPECT_EQ(layout.unshiftedText(kY), "y");
  EXPECT_TRUE(foundation::MainRunLoop::runUntil([&] { return told > 0; }, 5s))
      << "a change the question found first is told too";
}

}  // namespace
}  // namespace carbon
