#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>

#include "DesktopSession.h"
#include "accessibility/AtspiAccessibility.h"
#include "accessibility/Attributes.h"
#include "accessibility/DesktopAccessibility.h"
#include "accessibility/FakeKeyEventPoster.h"
#include "accessibility/X11Accessibility.h"
#include "accessibility/X11KeyEventPoster.h"
#include "appkit/FakePasteboard.h"
#include "appkit/X11Pasteboard.h"
#include "appkit/X11Workspace.h"
#include "testsupport/AccessibilityBusSandbox.h"

namespace accessibility {
namespace {

using namespace std::chrono_literals;

// "jumpd" at characters 8..13; the emoji before it is one character but two UTF-16 units.
const std::string kText = "The 😀 a jumpd fox\nsecond line";
constexpr int kWordStart = 8, kWordEnd = 13;

struct EditorState {
  int caret = -1, selectionStart = -1, selectionEnd = -1;
  std::string text;
};

// The GTK editor on the accessibility bus, with the keyboard.
class GtkEditor {
 public:
  // `behaviour`: one of the editor's options ("--ignore-writes", ...), or none.
  GtkEditor(const testsupport::AccessibilityBusSandbox& bus, const std::string& text,
            const std::string& behaviour = "")
      : program_(behaviour.empty()
                     ? std::vector<std::string>{"/usr/bin/python3", QUILL_GTK_TEXT_CLIENT, text}
                     : std::vector<std::string>{"/usr/bin/python3", QUILL_GTK_TEXT_CLIENT,
                                                behaviour, text},
                 testsupport::StartedProgram::Output::read, bus.environment(),
                 testsupport::StartedProgram::Input::piped) {
    const auto line = program_.readLine(20s);
    if (!line) return;
    std::istringstream words(*line);
    std::string ready;
    words >> ready >> window_ >> pid_;
    if (ready != "ready") window_ = 0;
  }
  bool ready() const { return window_ != 0; }
  appkit::RunningApplication application() const {
    return {pid_, static_cast<std::uint32_t>(window_)};
  }
  void select(int start, int end) {
    program_.write("select " + std::to_string(start) + " " + std::to_string(end) + "\n");
    EXPECT_EQ(program_.readLine(5s), "selected");
  }
  void selectIn(int paragraph, int start, int end) {
    program_.write("select-in " + std::to_string(paragraph) + " " + std::to_string(start) + " " +
                   std::to_string(end) + "\n");
    EXPECT_EQ(program_.readLine(5s), "selected");
  }
  EditorState state() {
    program_.write("state\n");
    EditorState s;
    const auto line = program_.readLine(5s);
    if (!line) return s;
    std::istringstream words(*line);
    std::string tag;
    words >> tag >> s.caret >> s.selectionStart >> s.selectionEnd;
    std::string rest;
    std::getline(words, rest);
    s.text = nlohmann::json::parse(rest).get<std::string>();
    return s;
  }
  void hang(int seconds) {
    program_.write("hang " + std::to_string(seconds) + "\n");
    EXPECT_EQ(program_.readLine(5s), "hanging");
  }
  void quit() { program_.stop(); }

 private:
  testsupport::StartedProgram program_;
  unsigned long window_ = 0;
  int pid_ = -1;
};

class AtspiAccessibilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    ASSERT_TRUE(desktop.ready()) << "openbox did not start on the display";
    ASSERT_EQ(bus.unavailableReason(), "");
    startEditor(kText);
    // Once: the library behind it is one per process, and not made twice.
    atspi = std::make_shared<AtspiAccessibility>();
    x11 = std::make_unique<X11Accessibility>(clipboard, workspace, keys);
    ax = std::make_unique<DesktopAccessibility>(atspi, *x11, workspace);
  }

  void startEditor(const std::string& text, const std::string& behaviour = "") {
    editor.reset();
    editor = std::make_unique<GtkEditor>(bus, text, behaviour);
    ASSERT_TRUE(editor->ready()) << "the GTK editor did not come up with the keyboard";
  }

  Result<Element> focused() {
    // As the hot key does it: the window in front is remembered first.
    workspace.rememberFrontmostApplication();
    return ax->focusedElement();
  }
  Value read(const Element& element, std::string_view attribute) {
    const auto value = ax->copyAttributeValue(element, attribute);
    EXPECT_TRUE(value.ok()) << attribute << ": " << errorName(value.error());
    return value.ok() ? value.value() : Value();
  }

  desktoptest::Desktop desktop;
  testsupport::AccessibilityBusSandbox bus;
  std::unique_ptr<GtkEditor> editor;
  appkit::FakePasteboard clipboard;
  appkit::X11Workspace workspace;
  FakeKeyEventPoster keys;
  std::shared_ptr<AtspiAccessibility> atspi;
  std::unique_ptr<X11Accessibility> x11;
  std::unique_ptr<DesktopAccessibility> ax;
};

TEST_F(AtspiAccessibilityTest, TheFocusedEditorsSelectionIsReadNotAnotherProgramsPrimary) {
  // Another program selected something last.
  testx11::SelectionOwner elsewhere("PRIMARY", {{"UTF8_STRING", testx11::utf8("elsewhere")}});
  editor->select(kWordStart, kWordEnd);
  const auto element = focused();
  ASSERT_TRUE(element.ok()) << errorName(element.error());
  EXPECT_TRUE(AtspiAccessibility::owns(element.value()));
  EXPECT_EQ(element.value().processIdentifier(), editor->application().processIdentifier);
  EXPECT_EQ(read(element.value(), attribute::kSelectedText), Value("jumpd"));
  EXPECT_EQ(read(element.value(), attribute::kValue), Value(kText));
  // Characters 8..13 are UTF-16 units 9..14.
  EXPECT_EQ(read(element.value(), attribute::kSelectedTextRange), Value(TextRange{9, 5}));
  EXPECT_EQ(read(element.value(), attribute::kRole), Value(std::string(role::kTextArea)));

  // Nothing selected in the editor: no selection, whatever PRIMARY holds.
  editor->select(3, 3);
  const auto again = focused();
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(read(again.value(), attribute::kSelectedText), Value(""));
  EXPECT_EQ(read(again.value(), attribute::kSelectedTextRange), Value(TextRange{3, 0}));
}

TEST_F(AtspiAccessibilityTest,
       WriteBackReplacesTheRangePutsTheCaretAtItsStartAndLeavesTheClipboard) {
  testx11::SelectionOwner copied("CLIPBOARD", {{"UTF8_STRING", testx11::utf8("the user's copy")}});
  editor->select(kWordStart, kWordEnd);
  const auto element = focused();
  ASSERT_TRUE(element.ok());
  // As write-back does it: the range again, the answer as its text, the caret to its start.
  EXPECT_EQ(ax->setAttributeValue(element.value(), attribute::kSelectedTextRange, TextRange{9, 5}),
            kAXErrorSuccess);
  EXPECT_EQ(
      ax->setAttributeValue(element.value(), attribute::kSelectedText, std::string("jumped ✓")),
      kAXErrorSuccess);
  EXPECT_EQ(ax->setAttributeValue(element.value(), attribute::kSelectedTextRange, TextRange{9, 0}),
            kAXErrorSuccess);
  const auto state = editor->state();
  EXPECT_EQ(state.text, "The 😀 a jumped ✓ fox\nsecond line");
  EXPECT_EQ(state.caret, kWordStart);
  EXPECT_EQ(state.selectionStart, state.selectionEnd);
  EXPECT_FALSE(copied.lost()) << "the clipboard was taken";
  EXPECT_TRUE(keys.posted().empty()) << "nothing was typed";
}

TEST_F(AtspiAccessibilityTest, AnIgnoredWriteShowsInTheTextAndTheWindowIsThereForAPaste) {
  startEditor(kText, "--ignore-writes");
  editor->select(kWordStart, kWordEnd);
  const auto element = focused();
  ASSERT_TRUE(element.ok());
  ASSERT_TRUE(AtspiAccessibility::owns(element.value()));
  // The editor answers that it took the text, as some browsers do, and keeps its own.
  EXPECT_EQ(ax->setAttributeValue(element.value(), attribute::kSelectedTextRange, TextRange{9, 5}),
            kAXErrorSuccess);
  EXPECT_EQ(ax->setAttributeValue(element.value(), attribute::kSelectedText, std::string("x")),
            kAXErrorSuccess);
  EXPECT_EQ(read(element.value(), attribute::kValue), Value(kText));
  EXPECT_EQ(read(element.value(), attribute::kSelectedTextRange), Value(TextRange{9, 5}));
  // The window the element lives in, as the element a paste goes to.
  EXPECT_EQ(read(element.value(), attribute::kWindow),
            Value(Element::uiElement(editor->application().windowId,
                                     editor->application().processIdentifier)));
}

// The write-back's way out when the bus was ignored: the real clipboard and keystrokes into the
// element's window replace the selection the bus left there.
TEST_F(AtspiAccessibilityTest, APasteIntoTheWindowReplacesTheSelectionAnIgnoredWriteLeft) {
  startEditor(kText, "--ignore-writes");
  editor->select(kWordStart, kWordEnd);
  appkit::X11Pasteboard realClipboard;
  X11KeyEventPoster realKeys;
  X11Accessibility pasting(realClipboard, workspace, realKeys);
  DesktopAccessibility desktopAx(atspi, pasting, workspace);
  workspace.rememberFrontmostApplication();
  const auto element = desktopAx.focusedElement();
  ASSERT_TRUE(element.ok());
  EXPECT_EQ(desktopAx.setAttributeValue(element.value(), attribute::kSelectedText,
                                        std::string("jumped ✓")),
            kAXErrorSuccess);
  EXPECT_EQ(editor->state().text, kText);
  const auto window = desktopAx.copyAttributeValue(element.value(), attribute::kWindow);
  ASSERT_TRUE(window.ok());
  ASSERT_EQ(desktopAx.setAttributeValue(std::get<Element>(window.value()), attribute::kSelectedText,
                                        std::string("jumped ✓")),
            kAXErrorSuccess);
  const std::string expected = "The 😀 a jumped ✓ fox\nsecond line";
  EXPECT_TRUE(desktoptest::Desktop::waitFor([&] { return editor->state().text == expected; }))
      << editor->state().text;
}

TEST_F(AtspiAccessibilityTest, TextWithoutEditingIsReadAndItsWritesAreRefused) {
  startEditor("read only words here", "--read-only");
  editor->select(5, 9);
  const auto element = focused();
  ASSERT_TRUE(element.ok()) << errorName(element.error());
  ASSERT_TRUE(AtspiAccessibility::owns(element.value()));
  EXPECT_EQ(read(element.value(), attribute::kSelectedText), Value("only"));
  EXPECT_EQ(ax->setAttributeValue(element.value(), attribute::kSelectedText, std::string("x")),
            kAXErrorAttributeUnsupported);
  EXPECT_EQ(editor->state().text, "read only words here");
  EXPECT_TRUE(read(element.value(), attribute::kWindow) != Value());
}

TEST_F(AtspiAccessibilityTest, ASelectionOverParagraphsIsReadWholeAndNotCutByAWrite) {
  startEditor("first paragraph\nsecond one\nthird", "--paragraphs");
  // From "paragraph" to "second": the end of the first paragraph, the start of the next.
  editor->selectIn(1, 0, 6);
  editor->select(6, 15);
  const auto element = focused();
  ASSERT_TRUE(element.ok()) << errorName(element.error());
  ASSERT_TRUE(AtspiAccessibility::owns(element.value()));
  EXPECT_EQ(read(element.value(), attribute::kSelectedText), Value("paragraph\nsecond"));
  EXPECT_EQ(ax->copyAttributeValue(element.value(), attribute::kSelectedTextRange).error(),
            kAXErrorNoValue);
  // Neither write may cut the selection down to this paragraph's piece.
  EXPECT_EQ(ax->setAttributeValue(element.value(), attribute::kSelectedTextRange, TextRange{0, 0}),
            kAXErrorNoValue);
  EXPECT_EQ(ax->setAttributeValue(element.value(), attribute::kSelectedText, std::string("x")),
            kAXErrorNoValue);
  EXPECT_EQ(editor->state().text, "first paragraph\nsecond one\nthird");

  // Selections that are no one run (another paragraph keeps an old one) are not joined.
  editor->selectIn(1, 0, 0);
  editor->selectIn(2, 1, 3);
  const auto alone = focused();
  ASSERT_TRUE(alone.ok());
  EXPECT_EQ(read(alone.value(), attribute::kSelectedText), Value("paragraph"));
  EXPECT_EQ(read(alone.value(), attribute::kSelectedTextRange), Value(TextRange{6, 9}));
}

TEST_F(AtspiAccessibilityTest, TheElementFoundStaysTheTargetAndAGoneOneTakesNothing) {
  editor->select(kWordStart, kWordEnd);
  const auto element = focused();
  ASSERT_TRUE(element.ok());
  // Another window takes the keyboard: the element is still the editor's text.
  testx11::Connection other;
  const xcb_window_t window = other.createWindow(0, true);
  desktoptest::activate(other, window);
  ASSERT_TRUE(
      desktoptest::Desktop::waitFor([&] { return desktoptest::activeWindow(other) == window; }));
  EXPECT_EQ(read(element.value(), attribute::kSelectedText), Value("jumpd"));

  editor->quit();
  EXPECT_NE(ax->setAttributeValue(element.value(), attribute::kSelectedText, std::string("x")),
            kAXErrorSuccess);
}

TEST_F(AtspiAccessibilityTest, AHungEditorDoesNotHoldTheCaptureUp) {
  editor->select(kWordStart, kWordEnd);
  editor->hang(8);
  // The capture falls back to what X11 offers for the window, and does so within its bounds.
  auto capture = std::async(std::launch::async, [&] { return focused(); });
  ASSERT_EQ(capture.wait_for(4s), std::future_status::ready) << "the capture hangs with the editor";
  const auto element = capture.get();
  ASSERT_TRUE(element.ok());
  EXPECT_FALSE(AtspiAccessibility::owns(element.value()));
  EXPECT_EQ(element.value().id(), editor->application().windowId);
}

// The bus's signals reach its thread on their own; the test looks now and then.
bool eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return done();
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

long connectionsOfThisProcess(const testsupport::AccessibilityBusSandbox& bus,
                              testsupport::AccessibilityBusSandbox::Bus which) {
  const auto processes = bus.connectedProcesses(which);
  return std::count(processes.begin(), processes.end(), ::getpid());
}

TEST_F(AtspiAccessibilityTest, TheBusIsJoinedAtStartAndTheFirstCaptureJoinsNothingMore) {
  using Bus = testsupport::AccessibilityBusSandbox::Bus;
  std::promise<AccessibilityBus> looked;
  atspi->whenFirstLooked([&](AccessibilityBus state) { looked.set_value(state); });
  auto firstLook = looked.get_future();
  ASSERT_EQ(firstLook.wait_for(10s), std::future_status::ready);
  EXPECT_NE(firstLook.get(), AccessibilityBus::absent);
  // Nothing has asked anything of the bus yet.
  const long onTheBus = connectionsOfThisProcess(bus, Bus::accessibility);
  const long onTheSession = connectionsOfThisProcess(bus, Bus::session);
  EXPECT_GE(onTheBus, 1) << "not connected to the accessibility bus after start";
  EXPECT_GE(onTheSession, 1) << "not watching the session bus after start";

  editor->select(kWordStart, kWordEnd);
  const auto element = std::async(std::launch::async, [&] { return focused(); }).get();
  ASSERT_TRUE(element.ok()) << errorName(element.error());
  EXPECT_EQ(read(element.value(), attribute::kSelectedText), Value("jumpd"));
  EXPECT_EQ(connectionsOfThisProcess(bus, Bus::accessibility), onTheBus);
  EXPECT_EQ(connectionsOfThisProcess(bus, Bus::session), onTheSession);
}

TEST_F(AtspiAccessibilityTest, TrustFollowsTheBusSwitchAndNoBusAsksForNothing) {
  ASSERT_TRUE(bus.setEnabled(false));
  // Told by the bus, also where nobody may wait for it.
  EXPECT_TRUE(eventually([&] { return !ax->isProcessTrusted(); }));
  ASSERT_TRUE(bus.setEnabled(true));
  EXPECT_TRUE(eventually([&] { return ax->isProcessTrusted(); }));
  EXPECT_EQ(atspi->bus(), AccessibilityBus::enabled);
  bus.setEnabled(false);
  EXPECT_TRUE(eventually([&] { return atspi->bus() == AccessibilityBus::disabled; }));
  bus.stopLauncher();
  EXPECT_TRUE(eventually([&] { return atspi->bus() == AccessibilityBus::absent; }));
  std::async(std::launch::async, [&] {
    EXPECT_EQ(atspi->bus(), AccessibilityBus::absent);
    EXPECT_TRUE(ax->isProcessTrusted());
  }).get();
}

// Without the fixture: the bus is gone before the one object of the process is made.
TEST(AtspiAccessibilityAlone, ABusThatComesLaterIsFoundWithoutAsking) {
  testsupport::AccessibilityBusSandbox bus;
  ASSERT_EQ(bus.unavailableReason(), "");
  bus.stopLauncher();
  AtspiAccessibility atspi;
  std::promise<AccessibilityBus> looked;
  atspi.whenFirstLooked([&](AccessibilityBus state) { looked.set_value(state); });
  EXPECT_EQ(looked.get_future().get(), AccessibilityBus::absent);
  ASSERT_TRUE(bus.startLauncher());
  EXPECT_TRUE(eventually([&] { return atspi.bus() != AccessibilityBus::absent; }));
  // Its bus is not the one this process was told of: the capture goes on through X11, and the
  // library that found no bus is not called again.
  const appkit::RunningApplication front{::getpid(), 0};
  for (int i = 0; i < 2; ++i) {
    const auto element =
        std::async(std::launch::async, [&] { return atspi.focusedTextElement(front); }).get();
    EXPECT_FALSE(element.ok());
  }
}

TEST_F(AtspiAccessibilityTest, TurningTheBusOnSetsTheDesktopsSwitch) {
  ASSERT_TRUE(bus.setEnabled(false));
  ASSERT_TRUE(eventually([&] { return atspi->bus() == AccessibilityBus::disabled; }));
  std::promise<bool> turnedOn;
  atspi->enable([&](bool enabled) { turnedOn.set_value(enabled); });
  auto answer = turnedOn.get_future();
  ASSERT_EQ(answer.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(answer.get());
  EXPECT_EQ(bus.enabled(), std::optional<bool>(true));
  EXPECT_EQ(atspi->bus(), AccessibilityBus::enabled);
  EXPECT_TRUE(ax->isProcessTrusted());
}

}  // namespace
}  // namespace accessibility
