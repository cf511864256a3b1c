#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/ObservableObject.h"

using foundation::Cancellable;
using foundation::ObservableObject;
using foundation::Published;

namespace {

class Model : public ObservableObject {
 public:
  Published<std::string> title{this, "first"};
  Published<std::vector<int>> numbers{this, {}};
};

TEST(PublishedTest, TellsBeforeEveryStoreEvenOfAnEqualValue) {
  Model model;
  std::vector<std::string> seenBefore;
  auto subscription = model.subscribeWillChange([&] { seenBefore.push_back(model.title); });
  model.title = "second";
  model.title = "second";
  model.title.set("third");
  EXPECT_EQ(seenBefore, (std::vector<std::string>{"first", "second", "second"}));
  EXPECT_EQ(model.title.get(), "third");
}

TEST(PublishedTest, ModifyPublishesOnceAndReturnsTheEditsResult) {
  Model model;
  int told = 0;
  auto subscription = model.subscribeWillChange([&] { ++told; });
  const std::size_t size = model.numbers.modify([](std::vector<int>& v) {
    v.push_back(1);
    v.push_back(2);
    return v.size();
  });
  EXPECT_EQ(told, 1);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(model.numbers->size(), 2u);
}

TEST(PublishedTest, CountsEveryStoreAndChangeButNotReads) {
  Model model;
  EXPECT_EQ(model.title.stores(), 0u);
  model.title = "first";  // equal, still a store
  model.numbers.modify([](std::vector<int>& v) { v.push_back(1); });
  model.numbers.modify([](std::vector<int>&) {});
  (void)model.title.get();
  EXPECT_EQ(model.title.stores(), 1u);
  EXPECT_EQ(model.numbers.stores(), 2u);
}

TEST(ObservableObjectTest, CancelStopsAndDestroyingTheTokenCancels) {
  Model model;
  int a = 0, b = 0;
  auto first = model.subscribeWillChange([&] { ++a; });
  {
    auto second = model.subscribeWillChange([&] { ++b; });
    model.sendWillChange();
  }
  first.cancel();
  first.cancel();  // twice is harmless
  model.sendWillChange();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 1);
}

TEST(ObservableObjectTest, ObserversMayCancelThemselvesAndOthersWhileBeingTold) {
  Model model;
  std::vector<std::string> told;
  Cancellable self, other, late;
  self = model.subscribeWillChange([&] {
    told.push_back("self");
    self.cancel();
    other.cancel();  // subscribed after this one: not told from now on
  });
  other = model.subscribeWillChange([&] { told.push_back("other"); });
  auto stays = model.subscribeWillChange([&] {
    told.push_back("stays");
    if (told.size() == 2) late = model.subscribeWillChange([&] { told.push_back("late"); });
  });
  model.sendWillChange();
  EXPECT_EQ(told, (std::vector<std::string>{"self", "stays"}));
  told.clear();
  model.sendWillChange();
  EXPECT_EQ(told, (std::vector<std::string>{"stays", "late"}));
}

TEST(ObservableObjectTest, ObserverReleasingOtherSubscriptionsWhenCancelledIsSafe) {
  // An observer's captures own another subscription; cancelling the first releases the second.
  Model model;
  int otherTold = 0;
  auto other = std::make_shared<Cancellable>();
  Cancellable owner = model.subscribeWillChange([held = other] {});
  *other = model.subscribeWillChange([&] { ++otherTold; });
  other.reset();
  owner.cancel();
  model.sendWillChange();
  EXPECT_EQ(otherTold, 0);
}

// The cancel after the object is gone is a use-after-free only the sanitizers would see.
TEST(ObservableObjectTest, TokenMayOutliveTheObjectWithoutUseAfterFreeUnderSanitizers) {
  Cancellable subscription, other;
  {
    Model model;
    subscription = model.subscribeWillChange([] {});
    other = model.subscribeWillChange([] {});
    EXPECT_EQ(model.observerCount(), 2u);
    other.cancel();
    EXPECT_EQ(model.observerCount(), 1u);
  }
  subscription.cancel();
}

TEST(ObservableObjectTest, ObserverMayDestroyTheObject) {
  auto model = std::make_unique<Model>();
  int later = 0;
  auto first = model->subscribeWillChange([&] { model.reset(); });
  auto second = model->subscribeWillChange([&] { ++later; });
  model->sendWillChange();
  EXPECT_EQ(model, nullptr);
  EXPECT_EQ(later, 1);  // subscribed before the change began, and its token is still alive
}

}  // namespace
