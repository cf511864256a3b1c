#include <gtest/gtest.h>

#include <foundation/DispatchQueue.h>
#include <foundation/ObservableObject.h>

#include "ViewTestSupport.h"

namespace ui {
namespace {
using testing::Host;
using testing::T;

// Shows a count that a click raises; the count is view-local state.
struct Counter final : View {
  explicit Counter(std::string n) : name(std::move(n)) {}
  std::string name;
  AnyView body(BuildContext& ctx) const override {
    auto count = ctx.state<int>(0);
    return T(name + "=" + std::to_string(*count))
        .onTapGesture([count] { count.set(*count + 1); })
        .accessibilityIdentifier(name);
  }
};

AnyView Counters(const std::vector<std::string>& names) {
  return VStack(HAlign::leading, 0,
                ForEach(
                    names, [](const std::string& n) { return Identity(n); },
                    [](const std::string& n) { return Counter(n); }));
}

bool shows(const Host& h, const std::string& text) {
  return h.host.dump().find("\"" + text + "\"") != std::string::npos;
}

TEST(ViewState, SurvivesRebuildsWhileIdentityIsKept) {
  Host h(Counters({"a", "b", "c"}));
  h.click("b");
  h.click("b");
  EXPECT_TRUE(shows(h, "b=2"));
  // Reordered: ids keep the state.
  h.host.setRoot(Counters({"c", "b", "a"}));
  h.host.update();
  EXPECT_TRUE(shows(h, "b=2")) << h.host.dump();
  EXPECT_EQ(h.frame("b").y, 12);
  // Removed and added back: a new identity starts afresh.
  h.host.setRoot(Counters({"a", "c"}));
  h.host.update();
  h.host.setRoot(Counters({"a", "b", "c"}));
  h.host.update();
  EXPECT_TRUE(shows(h, "b=0"));
}

TEST(ViewState, DroppedWhenKindPositionOrExplicitIdChanges) {
  auto tree = [](int id, bool branch) {
    return VStack({AnyView(Counter("x")).id(id), If(branch, Counter("y"), Counter("y"))});
  };
  Host h(tree(1, true));
  h.click("x");
  h.click("y");
  EXPECT_TRUE(shows(h, "x=1") && shows(h, "y=1"));
  h.host.setRoot(tree(1, true));
  h.host.update();
  EXPECT_TRUE(shows(h, "x=1") && shows(h, "y=1"));
  h.host.setRoot(tree(2, false));
  h.host.update();
  EXPECT_TRUE(shows(h, "x=0") && shows(h, "y=0")) << h.host.dump();
  // Type erasure with a different kind at the same position resets too.
  h.click("x");
  h.host.setRoot(VStack({AnyView(T("x")).padding(0), If(false, T("y"), T("y"))}));
  h.host.update();
  h.host.setRoot(tree(2, false));
  h.host.update();
  EXPECT_TRUE(shows(h, "x=0"));
}

TEST(ViewState, AWriteRebuildsOnlyTheDirtyView) {
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) names.push_back("n" + std::to_string(i));
  Host h(Counters(names), {300, {}});
  h.host.resetStats();
  h.click("n150");
  EXPECT_EQ(h.host.stats().bodiesEvaluated, 1u);
  EXPECT_LE(h.host.stats().nodesUpdated, 5u);  // the counter and its four modifiers
  EXPECT_TRUE(shows(h, "n150=1"));
  // No change, no frame.
  EXPECT_EQ(h.host.update(), 0);
}

struct Model final : foundation::ObservableObject {
  foundation::Published<int> value{this, 0};
};

struct ModelView final : View {
  ModelView(std::shared_ptr<int> m, std::shared_ptr<std::shared_ptr<Model>> e)
      : made(std::move(m)), exposed(std::move(e)) {}
  std::shared_ptr<int> made;
  std::shared_ptr<std::shared_ptr<Model>> exposed;
  AnyView body(BuildContext& ctx) const override {
    auto model = ctx.stateObject<Model>([made = made] {
      ++*made;
      return std::make_shared<Model>();
    });
    *exposed = model;
    return T("v" + std::to_string(model->value.get()));
  }
};

TEST(ViewState, StateObjectsAreMadeOncePerIdentityAndRebuildOnChange) {
  auto made = std::make_shared<int>(0);
  auto exposed = std::make_shared<std::shared_ptr<Model>>();
  auto root = [&] { return AnyView(ModelView(made, exposed)); };
  Host h(root());
  h.host.setRoot(root());
  h.host.update();
  EXPECT_EQ(*made, 1);
  (*exposed)->value = 5;
  EXPECT_TRUE(h.host.needsUpdate());
  h.host.update();
  EXPECT_TRUE(shows(h, "v5"));
  // The view gone, the object goes with it and its changes rebuild nothing.
  std::weak_ptr<Model> weak = *exposed;
  exposed->reset();
  h.host.setRoot(T("other"));
  h.host.update();
  EXPECT_TRUE(weak.expired());
}

TEST(ViewState, TasksStartOnAppearAndAreCancelledOnDisappear) {
  auto starts = std::make_shared<std::vector<std::string>>();
  auto token = std::make_shared<std::shared_ptr<std::atomic<bool>>>();
  auto tree = [&](bool shown, int id) {
    AnyView task = T("t").task(Identity(id), [starts, token, id](TaskContext& t) {
      starts->push_back("start " + std::to_string(id));
      *token = t.cancellation();
    });
    return VStack({If(shown, task.onDisappear([starts] { starts->push_back("gone"); }))});
  };
  Host h(tree(true, 1));
  ASSERT_EQ(*starts, std::vector<std::string>{"start 1"});
  auto first = *token;
  h.host.setRoot(tree(true, 1));
  h.host.update();
  EXPECT_EQ(starts->size(), 1u);
  // A new id restarts the task and cancels the old one.
  h.host.setRoot(tree(true, 2));
  h.host.update();
  EXPECT_TRUE(first->load());
  EXPECT_EQ(starts->back(), "start 2");
  auto second = *token;
  h.host.setRoot(tree(false, 2));
  h.host.update();
  EXPECT_TRUE(second->load());
  EXPECT_EQ(starts->back(), "gone");
}

TEST(ViewState, TaskResultsPostedAfterCancellationAreDropped) {
  auto state = std::make_shared<std::vector<int>>();
  auto tree = [&](bool shown) {
    return VStack({If(shown, T("t").task([state](TaskContext& t) {
      t.onMain([state] { state->push_back(1); });
    }))});
  };
  Host kept(tree(true));
  foundation::MainRunLoop::runUntil([&] { return !state->empty(); }, std::chrono::seconds(2));
  EXPECT_EQ(state->size(), 1u);
  state->clear();
  Host dropped(tree(true));
  dropped.host.setRoot(tree(false));
  dropped.host.update();
  foundation::MainRunLoop::runFor(std::chrono::milliseconds(20));
  EXPECT_TRUE(state->empty());
}

TEST(ViewState, EnvironmentNearestSettingWinsAndIsCopiedOnWrite) {
  struct Level {
    using Value = int;
    static int defaultValue() { return 0; }
  };
  auto reader = [](std::string id) {
    return EnvironmentReader([id](const Environment& e) {
      return T(id + std::to_string(e.get<Level>())).accessibilityIdentifier(id);
    });
  };
  Host h(VStack({reader("a"), VStack({reader("b"), reader("c").environment<Level>(7)})
                                  .transformEnvironment<Level>([](int& v) { v += 2; })})
             .environment<Level>(1));
  EXPECT_TRUE(shows(h, "a1"));
  EXPECT_TRUE(shows(h, "b3"));
  EXPECT_TRUE(shows(h, "c7"));
  Environment base;
  Environment changed = base.with<Level>(4);
  EXPECT_EQ(base.get<Level>(), 0);
  EXPECT_EQ(changed.get<Level>(), 4);
  EXPECT_TRUE(changed == base.with<Level>(4));
  EXPECT_FALSE(changed == base);
}

}  // namespace
}  // namespace ui
