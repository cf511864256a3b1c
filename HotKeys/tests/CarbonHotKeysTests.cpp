#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "HotKeysTestSupport.h"

namespace HotKeys {
namespace {

using carbon::HotKeyEvent;
using carbon::kEventHotKeyPressed;
using carbon::kEventHotKeyReleased;
using Flags = ModifierFlags;
namespace status = carbon::status;

class CarbonHotKeysTest : public testing::HotKeysTest {};

TEST_F(CarbonHotKeysTest, IdsCountFromOneAndARefusalUsesOneUp) {
  Shortcut first(Key::k, Flags(Flags::control));
  Shortcut refused(Key::j, Flags(Flags::control));
  Shortcut third(Key::l, Flags(Flags::control));
  service->takenElsewhere.insert({code(refused), bits(refused)});
  std::vector<std::string> calls;
  auto log = [&](std::string what) {
    return [&calls, what](const Shortcut&) { calls.push_back(what); };
  };

  EXPECT_TRUE(CarbonHotKeys::registerHotKey(first, log("down 1"), log("up 1")));
  EXPECT_FALSE(CarbonHotKeys::registerHotKey(refused, log("down 2"), log("up 2")));
  EXPECT_TRUE(CarbonHotKeys::registerHotKey(third, log("down 3"), log("up 3")));
  EXPECT_EQ(CarbonHotKeys::registrationCount(), 2u);
  EXPECT_EQ(service->handlerInstalls, 1) << "installed once";

  auto event = [](std::uint32_t id, std::uint32_t kind,
                  std::uint32_t signature = CarbonHotKeys::kSignature) {
    return HotKeyEvent{carbon::kEventClassKeyboard, kind, {signature, id}, status::noErr};
  };
  auto e = event(1, kEventHotKeyPressed);
  EXPECT_EQ(service->deliver(&e), status::noErr);
  e = event(3, kEventHotKeyReleased);
  EXPECT_EQ(service->deliver(&e), status::noErr);
  EXPECT_EQ(calls, (std::vector<std::string>{"down 1", "up 3"})) << "the refused one had id 2";

  e = event(2, kEventHotKeyPressed);
  EXPECT_EQ(service->deliver(&e), status::eventNotHandled) << "no such id";
  e = event(1, kEventHotKeyPressed, carbon::fourCharCode("ABCD"));
  EXPECT_EQ(service->deliver(&e), status::eventNotHandled) << "not ours";
  e = event(1, 7);
  EXPECT_EQ(service->deliver(&e), status::eventNotHandled) << "another kind";
  e = event(1, kEventHotKeyPressed);
  e.parameterStatus = -9870;
  EXPECT_EQ(service->deliver(&e), -9870) << "an unreadable identity";
  EXPECT_EQ(service->deliver(nullptr), status::eventNotHandled);
  EXPECT_EQ(calls.size(), 2u);

  CarbonHotKeys::unregister(first);
  e = event(1, kEventHotKeyPressed);
  EXPECT_EQ(service->deliver(&e), status::eventNotHandled) << "unregistered";
}

TEST_F(CarbonHotKeysTest, UnregisteringAShortcutRemovesAllItsEntriesAndTheGrabOnce) {
  Shortcut shortcut(Key::space, Flags(Flags::option));
  Shortcut other(Key::k, Flags(Flags::option));
  int downs = 0;
  auto count = [&](const Shortcut&) { ++downs; };
  ASSERT_TRUE(CarbonHotKeys::registerHotKey(shortcut, count, nullptr));
  ASSERT_TRUE(CarbonHotKeys::registerHotKey(shortcut, count, nullptr));
  ASSERT_TRUE(CarbonHotKeys::registerHotKey(other, count, nullptr));
  press(shortcut);
  EXPECT_EQ(downs, 2);
  EXPECT_EQ(service->grabs, 2);

  CarbonHotKeys::unregister(shortcut);
  EXPECT_EQ(CarbonHotKeys::registrationCount(), 1u);
  EXPECT_EQ(service->ungrabs, 1);
  EXPECT_FALSE(grabbed(shortcut));
  EXPECT_TRUE(grabbed(other));
  release(shortcut);
  EXPECT_EQ(downs, 2);

  // Out-of-range values from hand-edited files neither register nor fail.
  EXPECT_FALSE(CarbonHotKeys::registerHotKey(Shortcut::decoded(-1, 0), count, nullptr));
  EXPECT_FALSE(CarbonHotKeys::registerHotKey(Shortcut::decoded(49, -2048), count, nullptr));
}

TEST_F(CarbonHotKeysTest, ReservedShortcutsAreTheEnabledWellFormedEntries) {
  service->symbolicHotKeys = nlohmann::json::parse(R"([
    {"kHISymbolicHotKeyEnabled": true, "kHISymbolicHotKeyCode": 49, "kHISymbolicHotKeyModifiers": 256},
    {"kHISymbolicHotKeyEnabled": false, "kHISymbolicHotKeyCode": 48, "kHISymbolicHotKeyModifiers": 256},
    {"kHISymbolicHotKeyEnabled": true, "kHISymbolicHotKeyCode": 96, "kHISymbolicHotKeyModifiers": 8388864},
    {"kHISymbolicHotKeyEnabled": 1, "kHISymbolicHotKeyCode": 1, "kHISymbolicHotKeyModifiers": 256},
    {"kHISymbolicHotKeyEnabled": true, "kHISymbolicHotKeyCode": "2", "kHISymbolicHotKeyModifiers": 256},
    {"kHISymbolicHotKeyEnabled": true, "kHISymbolicHotKeyModifiers": 256},
    {"kHISymbolicHotKeyCode": 3, "kHISymbolicHotKeyModifiers": 256}
  ])");
  EXPECT_EQ(CarbonHotKeys::systemSymbolicHotKeys(),
            (std::vector<Shortcut>{Shortcut(49, 256), Shortcut(96, 256)}));

  service->symbolicHotKeys = std::nullopt;
  EXPECT_TRUE(CarbonHotKeys::systemSymbolicHotKeys().empty()) << "the desktop cannot tell";
  service->symbolicHotKeys = nlohmann::json::parse(R"([{"kHISymbolicHotKeyEnabled": true,
      "kHISymbolicHotKeyCode": 49, "kHISymbolicHotKeyModifiers": 256}, 5])");
  EXPECT_TRUE(CarbonHotKeys::systemSymbolicHotKeys().empty()) << "not a list of dictionaries";
  service->symbolicHotKeys = nlohmann::json::object();
  EXPECT_TRUE(CarbonHotKeys::systemSymbolicHotKeys().empty());
}

}  // namespace
}  // namespace HotKeys
