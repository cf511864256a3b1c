#include <gtest/gtest.h>

#include <any>
#include <thread>

#include <nlohmann/json.hpp>

#include "HotKeysTestSupport.h"
#include "foundation/DispatchQueue.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"

namespace HotKeys {
namespace {

using namespace std::chrono_literals;
using foundation::MainRunLoop::runUntil;
using Flags = ModifierFlags;

const Shortcut kOptionSpace(Key::space, Flags(Flags::option));
const Shortcut kControlK(Key::k, Flags(Flags::control));

class RegistryTest : public testing::HotKeysTest {
 protected:
  void SetUp() override {
    HotKeysTest::SetUp();
    observer_ = foundation::NotificationCenter::defaultCenter().addObserver(
        kShortcutByNameDidChange, [this](const foundation::Notification& n) {
          posted.push_back(std::any_cast<ShortcutChange>(n.object).name.rawValue);
        });
  }
  foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }
  std::optional<nlohmann::json> stored(const std::string& name) {
    return defaults().objectForKey("HotKeys_" + name);
  }

  std::vector<std::string> posted;

 private:
  foundation::Cancellable observer_;
};

TEST_F(RegistryTest, ANameWithADefaultStoresItOnceAsJsonText) {
  Name panel("showFloatingPanel", kOptionSpace);
  auto value = stored("showFloatingPanel");
  ASSERT_TRUE(value);
  ASSERT_TRUE(value->is_string()) << "stored as text";
  EXPECT_EQ(nlohmann::json::parse(value->get<std::string>()),
            nlohmann::json::parse(R"({"carbonKeyCode":49,"carbonModifiers":2048})"));
  EXPECT_TRUE(grabbed(kOptionSpace));
  EXPECT_TRUE(isRegistered(panel));
  EXPECT_EQ(posted, std::vector<std::string>{"showFloatingPanel"});

  Name again("showFloatingPanel", kControlK);
  EXPECT_EQ(again.shortcut(), kOptionSpace) << "something is stored: left alone";
  EXPECT_EQ(posted.size(), 1u);

  // Cleared: false is stored, and the next start keeps it cleared; reset brings it back.
  setShortcut(std::nullopt, panel);
  EXPECT_EQ(stored("showFloatingPanel"), nlohmann::json(false));
  EXPECT_FALSE(grabbed(kOptionSpace));
  Name restarted("showFloatingPanel", kOptionSpace);
  EXPECT_FALSE(restarted.shortcut());
  EXPECT_EQ(posted.size(), 2u);
  reset({restarted});
  EXPECT_EQ(restarted.shortcut(), kOptionSpace);
  EXPECT_EQ(posted.size(), 3u);
}

TEST_F(RegistryTest, ClearingWithoutDefaultRemovesTheKeyAndClearingNothingDoesNothing) {
  Name name("plain");
  setShortcut(std::nullopt, name);
  EXPECT_TRUE(posted.empty());
  setShortcut(kControlK, name);
  EXPECT_TRUE(stored("plain"));
  setShortcut(std::nullopt, name);
  EXPECT_FALSE(stored("plain"));
  EXPECT_EQ(posted.size(), 2u);
  reset({name});
  EXPECT_EQ(posted.size(), 2u) << "no default: reset clears, and nothing is stored";
}

TEST_F(RegistryTest, UnreadableStoredValuesReadAsNone) {
  Name name("odd");
  for (const nlohmann::json& value :
       {nlohmann::json("0"), nlohmann::json(49), nlohmann::json("{\"carbonKeyCode\":49"),
        nlohmann::json(false),
        nlohmann::json::parse(R"({"carbonKeyCode":49,"carbonModifiers":0})")}) {
    defaults().set("HotKeys_odd", value);
    EXPECT_FALSE(name.shortcut()) << value.dump();
    EXPECT_FALSE(Shortcut::forName(name));
  }
  setShortcut(std::nullopt, name);
  EXPECT_TRUE(posted.empty()) << "nothing readable stored: nothing to clear";
  setShortcut(kControlK, name);
  EXPECT_EQ(getShortcut(name), kControlK) << "a new shortcut overwrites it";
}

TEST_F(RegistryTest, HandlersRunInOrderForEveryNameHoldingTheShortcut) {
  Name a("a"), b("b");
  setShortcut(kControlK, a);
  setShortcut(kControlK, b);
  std::vector<std::string> runs;
  onKeyUp(a, [&] { runs.push_back("a1"); });
  onKeyUp(a, [&] { runs.push_back("a2"); });
  onKeyDown(b, [&] { runs.push_back("b down"); });
  onKeyUp(b, [&] { runs.push_back("b up"); });
  press(kControlK);
  release(kControlK);
  EXPECT_EQ(runs, (std::vector<std::string>{"b down", "a1", "a2", "b up"}));

  // Setting the stored shortcut again re-registers it and tells the observers.
  posted.clear();
  const int grabs = service->grabs;
  setShortcut(kControlK, a);
  EXPECT_EQ(posted, std::vector<std::string>{"a"});
  EXPECT_TRUE(grabbed(kControlK));
  EXPECT_EQ(service->grabs, grabs) << "b still holds it: never given back in between";

  runs.clear();
  setPaused(true);
  EXPECT_TRUE(service->suspended) << "the keys go to the recorder meanwhile";
  press(kControlK);
  release(kControlK);
  EXPECT_TRUE(runs.empty()) << "paused";
  setPaused(false);
  EXPECT_FALSE(service->suspended);

  // A value changed behind the registry's back: the stale registration fires nothing for it.
  defaults().set("HotKeys_a", Shortcut(Key::j, Flags(Flags::control)).json());
  release(kControlK);
  EXPECT_EQ(runs, std::vector<std::string>{"b up"});
}

TEST_F(RegistryTest, HandlersSeeTheServerTimeOfTheirKeyEventAndNothingOutside) {
  Name a("a"), b("b");
  setShortcut(kControlK, a);
  setShortcut(kOptionSpace, b);
  std::vector<std::uint32_t> seen;
  onKeyDown(a, [&] { seen.push_back(currentEventTime()); });
  onKeyUp(a, [&] {
    seen.push_back(currentEventTime());
    // A hot key handled meanwhile (a nested loop) has its own time; ours comes back after it.
    service->press(code(kOptionSpace), bits(kOptionSpace), 900);
    seen.push_back(currentEventTime());
  });
  onKeyDown(b, [&] { seen.push_back(currentEventTime()); });
  auto stream = on(EventType::keyUp, a, [&] { seen.push_back(currentEventTime()); });
  EXPECT_EQ(currentEventTime(), 0u);
  service->press(code(kControlK), bits(kControlK), 1000);
  service->release(code(kControlK), bits(kControlK), 1250);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{1000, 1250, 900, 1250, 1250}));
  EXPECT_EQ(currentEventTime(), 0u) << "after the handlers";

  seen.clear();
  press(kControlK);
  EXPECT_EQ(seen, std::vector<std::uint32_t>{0}) << "an event without a time";
}

TEST_F(RegistryTest, ChangingOrDisablingOneNameKeepsTheSharedHotKeyOfAnother) {
  Name a("a"), b("b");
  setShortcut(kControlK, a);
  setShortcut(kControlK, b);
  int aRuns = 0, bRuns = 0;
  onKeyUp(a, [&] { ++aRuns; });
  onKeyUp(b, [&] { ++bRuns; });

  disable(a);
  EXPECT_TRUE(grabbed(kControlK));
  EXPECT_FALSE(isRegistered(a));
  EXPECT_TRUE(isRegistered(b));
  release(kControlK);
  EXPECT_EQ(aRuns, 0) << "disabled";
  EXPECT_EQ(bRuns, 1);
  enable(a);
  release(kControlK);
  EXPECT_EQ(aRuns, 1);

  setShortcut(Shortcut(Key::j, Flags(Flags::control)), a);
  EXPECT_TRUE(grabbed(kControlK)) << "b still uses it";
  setShortcut(std::nullopt, b);
  EXPECT_FALSE(grabbed(kControlK)) << "now nobody does";
  EXPECT_TRUE(grabbed(Shortcut(Key::j, Flags(Flags::control))));
}

TEST_F(RegistryTest, ARefusedHotKeyIsReportedAndTriedAgainLater) {
  service->takenElsewhere.insert({code(kOptionSpace), bits(kOptionSpace)});
  Name panel("showFloatingPanel", kOptionSpace);
  EXPECT_EQ(panel.shortcut(), kOptionSpace) << "the default is stored all the same";
  EXPECT_FALSE(isRegistered(panel));
  int runs = 0;
  onKeyUp(panel, [&] { ++runs; });
  EXPECT_FALSE(isRegistered(panel));

  service->takenElsewhere.clear();  // the other program let go
  enable(panel);
  EXPECT_TRUE(isRegistered(panel));
  press(kOptionSpace);
  release(kOptionSpace);
  EXPECT_EQ(runs, 1);
}

TEST_F(RegistryTest, RemovingAllHandlersSilencesNamesAndTheirStreams) {
  Name a("a");
  setShortcut(kControlK, a);
  int runs = 0, streamed = 0;
  onKeyUp(a, [&] { ++runs; });
  auto stream = on(EventType::keyUp, a, [&] { ++streamed; });
  release(kControlK);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(streamed, 1);

  removeAllHandlers();
  EXPECT_FALSE(grabbed(kControlK));
  release(kControlK);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(streamed, 1);
  enable(a);  // registered again: the stream hears it, the handlers are gone
  release(kControlK);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(streamed, 2);
}

TEST_F(RegistryTest, StreamsRegisterWhileTheyLiveAndGiveTheShortcutBackAfter) {
  Name a("a");
  setShortcut(std::nullopt, a);
  foundation::UserDefaults::standard().set("HotKeys_a", kControlK.json());  // not registered
  std::vector<EventType> events;
  {
    auto stream = HotKeys::events(a, [&](EventType type) { events.push_back(type); });
    EXPECT_FALSE(grabbed(kControlK)) << "set up on the main queue, later";
    ASSERT_TRUE(runUntil([&] { return grabbed(kControlK); }, 2s));
    auto ups = HotKeys::events(EventType::keyUp, a, [&] { events.push_back(EventType::keyUp); });
    foundation::MainRunLoop::runFor(10ms);
    press(kControlK);
    release(kControlK);
    EXPECT_EQ(events,
              (std::vector<EventType>{EventType::keyDown, EventType::keyUp, EventType::keyUp}));
  }
  EXPECT_TRUE(runUntil([&] { return !grabbed(kControlK); }, 2s)) << "given back";

  // A name with handlers keeps the shortcut when its stream ends.
  onKeyDown(a, [] {});
  {
    auto stream = on(EventType::keyDown, a, [] {});
  }
  EXPECT_TRUE(grabbed(kControlK));
}

TEST_F(RegistryTest, StreamsMadeOnAnotherThreadAreSetUpOnTheMainThread) {
  Name a("a");
  setShortcut(kControlK, a);
  removeAllHandlers();
  CarbonHotKeys::unregister(kControlK);
  resetForTesting();
  ASSERT_FALSE(grabbed(kControlK));

  int heard = 0;
  EventStream stream;
  std::thread([&] { stream = on(EventType::keyDown, a, [&] { ++heard; }); }).join();
  ASSERT_TRUE(runUntil([&] { return grabbed(kControlK); }, 2s));
  press(kControlK);
  EXPECT_EQ(heard, 1);
  std::thread([&] { stream.cancel(); }).join();
  EXPECT_TRUE(runUntil([&] { return !grabbed(kControlK); }, 2s));
}

}  // namespace
}  // namespace HotKeys
