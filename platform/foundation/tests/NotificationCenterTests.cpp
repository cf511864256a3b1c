#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/NotificationCenter.h"

using foundation::Cancellable;
using foundation::Notification;
using foundation::NotificationCenter;

namespace {

constexpr const char* kChanged = "HotKeys_shortcutByNameDidChange";

TEST(NotificationCenterTest, TellsObserversOfTheNameInSubscriptionOrderWithThePayload) {
  NotificationCenter center;
  std::vector<std::string> told;
  auto a = center.addObserver(kChanged, [&](const Notification& n) {
    told.push_back("a:" + std::any_cast<std::string>(n.object));
  });
  auto other = center.addObserver("other", [&](const Notification&) { told.push_back("other"); });
  auto b = center.addObserver(kChanged, [&](const Notification& n) {
    EXPECT_EQ(n.name, kChanged);
    told.push_back("b");
  });
  center.post(kChanged, std::string("showFloatingPanel"));
  EXPECT_EQ(told, (std::vector<std::string>{"a:showFloatingPanel", "b"}));

  told.clear();
  center.post("other");
  EXPECT_EQ(told, std::vector<std::string>{"other"});
  center.post("nobody listens");
}

TEST(NotificationCenterTest, ObserversMayRemoveAndAddObserversDuringAPost) {
  NotificationCenter center;
  std::vector<std::string> told;
  Cancellable first, second, added;
  first = center.addObserver(kChanged, [&](const Notification&) {
    told.push_back("first");
    first.cancel();
    second.cancel();
    if (told.size() == 1)
      added = center.addObserver(kChanged, [&](const Notification&) { told.push_back("added"); });
  });
  second = center.addObserver(kChanged, [&](const Notification&) { told.push_back("second"); });
  center.post(kChanged);
  EXPECT_EQ(told, std::vector<std::string>{"first"});
  center.post(kChanged);
  EXPECT_EQ(told, (std::vector<std::string>{"first", "added"}));
}

TEST(NotificationCenterTest, ObserverMayPostAgain) {
  NotificationCenter center;
  int depth = 0, told = 0;
  auto token = center.addObserver(kChanged, [&](const Notification&) {
    ++told;
    if (depth++ == 0) center.post(kChanged);
  });
  center.post(kChanged);
  EXPECT_EQ(told, 2);
}

TEST(NotificationCenterTest, TokensOutliveTheCentreAndTheDefaultCentreIsShared) {
  Cancellable token;
  {
    NotificationCenter center;
    token = center.addObserver(kChanged, [](const Notification&) {});
  }
  token.cancel();

  int told = 0;
  auto shared = NotificationCenter::defaultCenter().addObserver(
      kChanged, [&](const Notification&) { ++told; });
  NotificationCenter::defaultCenter().post(kChanged);
  EXPECT_EQ(told, 1);
  EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}

TEST(NotificationCenterTest, ObserverMayDestroyTheCentre) {
  auto center = std::make_unique<NotificationCenter>();
  int later = 0;
  auto first = center->addObserver(kChanged, [&](const Notification&) { center.reset(); });
  auto second = center->addObserver(kChanged, [&](const Notification&) { ++later; });
  center->post(kChanged);
  EXPECT_EQ(center, nullptr);
  EXPECT_EQ(later, 1);
}

}  // namespace
