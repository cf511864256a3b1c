#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xtest.h>

#include <filesystem>
#include <thread>

#include "accessibility/FakeKeyEventPoster.h"
#include "accessibility/X11Accessibility.h"
#include "accessibility/X11KeyEventPoster.h"
#include "appkit/FakePasteboard.h"
#include "appkit/FakeWorkspace.h"
#include "appkit/X11Pasteboard.h"
#include "appkit/X11Workspace.h"
#include "foundation/DispatchQueue.h"
#include "testsupport/FileBytes.h"
#include "testsupport/StartedPrograms.h"
#include "testsupport/X11TestClient.h"

namespace accessibility {
namespace {

using namespace std::chrono_literals;
using foundation::MainRunLoop::runFor;
using foundation::MainRunLoop::runUntil;

constexpr int kEditorPid = 4242;

// A window of another application that has the keyboard, as the hot key finds it.
struct Editor {
  explicit Editor(testx11::Connection& app) : app(app) {
    app.deleteProperty(app.root(), "_NET_ACTIVE_WINDOW");
    window = app.createWindow(XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE, true);
    app.setCardinal(window, "_NET_WM_PID", kEditorPid);
    app.focus(window);
  }
  testx11::Connection& app;
  xcb_window_t window;
};

// Owns PRIMARY from a hidden window of its own, as toolkits do.
struct PrimaryOwner {
  PrimaryOwner(testx11::Connection& app,
               std::map<std::string, testx11::SelectionOwner::Offer> offers,
               std::optional<std::uint32_t> pid, bool silent = false)
      : owner("PRIMARY", std::move(offers), silent) {
    if (pid) app.setCardinal(owner.window(), "_NET_WM_PID", *pid);
  }
  testx11::SelectionOwner owner;
};

TEST(X11Accessibility, SelectedTextIsThePrimarySelectionOfTheWindowInFrontOnly) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  Editor editor(app);
  appkit::FakePasteboard clipboard;
  appkit::X11Workspace workspace;
  FakeKeyEventPoster keys;
  // The owners here answer at once, but a loaded machine can keep them from running for longer
  // than the reader's own budget: only the owner that never answers meets a short one.
  X11AccessibilityOptions options;
  options.selectionTimeout = 10s;
  X11Accessibility ax(clipboard, workspace, keys, options);
  ASSERT_TRUE(ax.isProcessTrusted());

  auto focused = ax.focusedElement();
  ASSERT_TRUE(focused.ok());
  EXPECT_EQ(focused.value(), Element::uiElement(editor.window, kEditorPid));
  EXPECT_TRUE(
      ax.copyAttributeValue(ax.applicationElement(kEditorPid), attribute::kFocusedUIElement).ok());
  EXPECT_EQ(ax.copyAttributeValue(ax.applicationElement(7), attribute::kFocusedUIElement).error(),
            kAXErrorNoValue);
  const Element field = focused.value();
  auto selected = [&] { return ax.copyAttributeValue(field, attribute::kSelectedText); };

  const std::string text = "Grüße, 世界 😀";
  {
    PrimaryOwner mine(app, {{"UTF8_STRING", testx11::utf8(text)}}, kEditorPid);
    EXPECT_EQ(selected().value(), Value(text));
  }
  {
    PrimaryOwner mine(app, {{"STRING", {"STRING", 8, "na\xEFve"}}}, kEditorPid);
    EXPECT_EQ(selected().value(), Value("naïve"));
  }
  {
    // A window of the same client group (its leader) counts as the editor's.
    PrimaryOwner grouped(app, {{"UTF8_STRING", testx11::utf8("grouped")}}, std::nullopt);
    app.setWindow(editor.window, "WM_CLIENT_LEADER", grouped.owner.window());
    EXPECT_EQ(selected().value(), Value("grouped"));
    app.deleteProperty(editor.window, "WM_CLIENT_LEADER");
  }
  {
    // Another program selected text last: that is not the editor's selection.
    PrimaryOwner other(app, {{"UTF8_STRING", testx11::utf8("jumpd")}}, 5151);
    EXPECT_EQ(selected().value(), Value(""));
    PrimaryOwner unnamed(app, {{"UTF8_STRING", testx11::utf8("jumpd")}}, std::nullopt);
    EXPECT_EQ(selected().value(), Value(""));
    EXPECT_EQ(unnamed.owner.requests(), 0) << "an unrelated owner is not even asked";
  }
  {
    // Nothing that is text, or nothing at all, is no selection.
    PrimaryOwner mine(app, {{"image/png", {"image/png", 8, "png"}}}, kEditorPid);
    EXPECT_EQ(selected().value(), Value(""));
  }
  {
    PrimaryOwner hung(app, {{"UTF8_STRING", testx11::utf8("x")}}, kEditorPid, true);
    options.selectionTimeout = 150ms;
    X11Accessibility impatient(clipboard, workspace, keys, options);
    EXPECT_EQ(impatient.copyAttributeValue(field, attribute::kSelectedText).error(),
              kAXErrorCannotComplete);
  }
  {
    PrimaryOwner mine(app, {}, kEditorPid);
    xcb_set_selection_owner(app.get(), XCB_NONE, app.atom("PRIMARY"), XCB_CURRENT_TIME);
    app.sync();
    EXPECT_EQ(selected().value(), Value(""));
  }

  // The window's text cannot be read: only a caret.
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kValue).value(), Value(""));
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedTextRange).value(),
            Value(TextRange{0, 0}));
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedTextMarkerRange).error(),
            kAXErrorAttributeUnsupported);
  EXPECT_EQ(ax.copyParameterizedAttributeValue(
                  field, attribute::kAttributedStringForTextMarkerRange, TextMarkerRange{})
                .error(),
            kAXErrorParameterizedAttributeUnsupported);
  EXPECT_EQ(ax.copyAttributeValue(ax.systemWideElement(), attribute::kSelectedText).error(),
            kAXErrorAttributeUnsupported);
}

TEST(X11Accessibility, TheOwnerIsKnownByItsProcessWhenItsWindowsSayNothing) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  testx11::Connection appHelper;  // a second connection of the same process, as a toolkit's
  const xcb_window_t window = app.createWindow(0, true);
  appkit::FakePasteboard clipboard;
  appkit::FakeWorkspace workspace;
  FakeKeyEventPoster keys;
  X11Accessibility ax(clipboard, workspace, keys);
  const Element field = Element::uiElement(window, static_cast<int>(::getpid()));
  testx11::SelectionOwner owner("PRIMARY", {{"UTF8_STRING", testx11::utf8("same process")}});
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedText).value(), Value("same process"));
  // The same window said to be another process's is not the owner's.
  EXPECT_EQ(
      ax.copyAttributeValue(Element::uiElement(window, 5151), attribute::kSelectedText).value(),
      Value(""));
}

TEST(X11Accessibility, TerminalsAreKnownByTheirWindowClass) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  const xcb_window_t window = app.createWindow(0, true);
  appkit::FakePasteboard clipboard;
  appkit::FakeWorkspace workspace;
  FakeKeyEventPoster keys;
  X11Accessibility ax(clipboard, workspace, keys);
  const Element element = Element::uiElement(window, kEditorPid);
  auto roleFor = [&](const std::string& wmClass) {
    xcb_change_property(app.get(), XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(wmClass.size()),
                        wmClass.data());
    app.sync();
    return ax.copyAttributeValue(element, attribute::kRole).value();
  };
  EXPECT_EQ(roleFor(std::string("xterm\0XTerm\0", 12)), Value(std::string(role::kTerminal)));
  EXPECT_EQ(roleFor(std::string("gnome-terminal-server\0Gnome-terminal\0", 37)),
            Value(std::string(role::kTerminal)));
  EXPECT_EQ(roleFor(std::string("mousepad\0Mousepad\0", 18)), Value(std::string(role::kWindow)));
  // "st" is a terminal; a class that only starts with it is not.
  EXPECT_EQ(roleFor(std::string("steam\0Steam\0", 12)), Value(std::string(role::kWindow)));
}

TEST(X11Accessibility, FlagsAreAcceptedAndWrongValuesRefused) {
  QUILL_REQUIRE_DISPLAY();
  appkit::FakePasteboard clipboard;
  appkit::FakeWorkspace workspace;
  FakeKeyEventPoster keys;
  X11Accessibility ax(clipboard, workspace, keys);
  const Element app = ax.applicationElement(kEditorPid);
  const Element field = Element::uiElement(0x600001, kEditorPid);
  EXPECT_EQ(ax.setAttributeValue(app, attribute::kEnhancedUserInterface, true), kAXErrorSuccess);
  EXPECT_EQ(ax.setAttributeValue(app, attribute::kManualAccessibility, true), kAXErrorSuccess);
  EXPECT_EQ(ax.setAttributeValue(app, attribute::kManualAccessibility, std::string("yes")),
            kAXErrorIllegalArgument);
  EXPECT_EQ(ax.setAttributeValue(field, attribute::kSelectedTextRange, TextRange{3, 0}),
            kAXErrorSuccess);
  EXPECT_EQ(ax.setAttributeValue(field, attribute::kSelectedText, 4.0), kAXErrorIllegalArgument);
  EXPECT_EQ(ax.setAttributeValue(field, "AXTitle", std::string("x")), kAXErrorAttributeUnsupported);
  EXPECT_EQ(ax.setAttributeValue(Element::uiElement(0), attribute::kValue, std::string("x")),
            kAXErrorInvalidUIElement);
  EXPECT_TRUE(keys.posted().empty());
  EXPECT_TRUE(workspace.activated().empty());
}

TEST(X11Accessibility, WithoutDisplayNothingIsTrusted) {
  appkit::FakePasteboard clipboard;
  appkit::FakeWorkspace workspace;
  FakeKeyEventPoster keys;
  X11AccessibilityOptions options;
  options.displayName = ":4077";
  X11Accessibility ax(clipboard, workspace, keys, options);
  EXPECT_FALSE(ax.isProcessTrusted());
  EXPECT_EQ(ax.focusedElement().error(), kAXErrorAPIDisabled);
  EXPECT_EQ(ax.setAttributeValue(Element::uiElement(1), attribute::kSelectedText, std::string("x")),
            kAXErrorAPIDisabled);
}

TEST(X11Accessibility, WritingTheSelectionPastesIntoTheWindowInFront) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  Editor editor(app);
  testx11::Connection other;
  xcb_window_t panel = other.createWindow(0, true);
  // What the paste puts aside is read from another program: see above.
  appkit::X11PasteboardOptions patient;
  patient.timeout = 10s;
  patient.saveBudget = 60s;
  appkit::X11Pasteboard clipboard(patient);
  appkit::X11Workspace workspace;
  X11KeyEventPoster keys;
  X11AccessibilityOptions options;
  options.clipboardRestoreDelay = 100ms;
  X11Accessibility ax(clipboard, workspace, keys, options);

  auto focused = ax.focusedElement();
  ASSERT_TRUE(focused.ok());
  auto before = std::make_unique<testx11::SelectionOwner>(
      "CLIPBOARD", std::map<std::string, testx11::SelectionOwner::Offer>{
                       {"UTF8_STRING", testx11::utf8("copied earlier")},
                       {"image/png", {"image/png", 8, std::string("\x89PNG\0", 5)}}});
  other.focus(panel);  // the panel took the keyboard meanwhile

  ASSERT_EQ(
      ax.setAttributeValue(focused.value(), attribute::kSelectedText, std::string("Answer ✓")),
      kAXErrorSuccess);
  // The editor got the keyboard back and received Ctrl+V…
  const auto v = app.keycodeOf('v');
  auto events = testx11::keyEvents(app, editor.window, 4);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_TRUE(events[1].press && events[1].key == v);
  EXPECT_EQ(events[1].state, XCB_MOD_MASK_CONTROL);
  // …and finds the answer on the clipboard when it asks.
  auto pasted = app.readSelection("CLIPBOARD", "UTF8_STRING");
  ASSERT_TRUE(pasted);
  EXPECT_EQ(pasted->bytes, "Answer ✓");
  // The owner hears of its loss on a thread of its own.
  EXPECT_TRUE(runUntil([&] { return before->lost(); }, 3s));
  before.reset();

  // Later the clipboard holds again what it held, in every form.
  EXPECT_TRUE(runUntil([&] { return clipboard.string() == "copied earlier"; }, 3s));
  auto image = app.readSelection("CLIPBOARD", "image/png");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->bytes, std::string("\x89PNG\0", 5));
}

TEST(X11Accessibility, PasteRestoresTheClipboardOnlyWhenNothingWasCopiedMeanwhile) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  const appkit::RunningApplication editor{kEditorPid, app.createWindow(0, true)};
  const Element field = Element::uiElement(editor.windowId, kEditorPid);
  appkit::FakePasteboard clipboard;
  appkit::FakeWorkspace workspace;
  workspace.setFrontmostApplication(editor);
  FakeKeyEventPoster keys;
  X11AccessibilityOptions options;
  options.clipboardRestoreDelay = 20ms;
  const std::vector<appkit::PasteboardEntry> earlier{{"image/png", "image/png", 8, "png"}};

  {
    X11Accessibility ax(clipboard, workspace, keys, options);
    ASSERT_EQ(ax.focusedElement().value(), field);
    clipboard.setEntries(earlier);
    // Two answers in a row: the contents from before the first come back.
    ASSERT_EQ(ax.setAttributeValue(field, attribute::kSelectedText, std::string("one")),
              kAXErrorSuccess);
    ASSERT_EQ(ax.setAttributeValue(field, attribute::kSelectedText, std::string("two")),
              kAXErrorSuccess);
    // The whole text cannot be replaced by a paste.
    EXPECT_EQ(ax.setAttributeValue(field, attribute::kValue, std::string("all")),
              kAXErrorAttributeUnsupported);
    EXPECT_EQ(clipboard.string(), "two");
    EXPECT_EQ(workspace.activated(), (std::vector<appkit::RunningApplication>{editor, editor}));
    EXPECT_EQ(keys.posted().size(), 4u);
    EXPECT_TRUE(runUntil([&] { return clipboard.entries() == earlier; }, 3s));

    // The user copies something before the restore is due: it stays.
    ASSERT_EQ(ax.setAttributeValue(field, attribute::kSelectedText, std::string("three")),
              kAXErrorSuccess);
    clipboard.setString("copied by the user");
    runFor(100ms);
    EXPECT_EQ(clipboard.string(), "copied by the user");

    // The window cannot be brought back, or the keystroke cannot be made: nothing is pasted and
    // the clipboard is put back at once.
    clipboard.setEntries(earlier);
    workspace.setActivationSucceeds(false);
    EXPECT_EQ(ax.setAttributeValue(field, attribute::kSelectedText, std::string("four")),
              kAXErrorCannotComplete);
    EXPECT_EQ(clipboard.entries(), earlier);
    workspace.setActivationSucceeds(true);
    keys.setFails(true);
    EXPECT_EQ(ax.setAttributeValue(field, attribute::kSelectedText, std::string("five")),
              kAXErrorCannotComplete);
    EXPECT_EQ(clipboard.entries(), earlier);
    keys.setFails(false);

    // A restore still due when the object goes happens then.
    ASSERT_EQ(ax.setAttributeValue(field, attribute::kSelectedText, std::string("six")),
              kAXErrorSuccess);
    EXPECT_EQ(clipboard.string(), "six");
  }
  EXPECT_EQ(clipboard.entries(), earlier);
  runFor(50ms);  // the delayed block finds nothing left to do
  EXPECT_EQ(clipboard.entries(), earlier);
}

void setTitle(testx11::Connection& app, xcb_window_t window, const std::string& title) {
  xcb_change_property(app.get(), XCB_PROP_MODE_REPLACE, window, app.atom("_NET_WM_NAME"),
                      app.atom("UTF8_STRING"), 8, static_cast<std::uint32_t>(title.size()),
                      title.data());
  app.sync();
}

testx11::SelectionOwner::Offer timestamp(xcb_timestamp_t time) {
  return {"INTEGER", 32, std::string(reinterpret_cast<const char*>(&time), 4)};
}

TEST(X11Accessibility, APasteGoesOnlyWhereTheWindowStillShowsWhatWasCaptured) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  const appkit::RunningApplication editor{kEditorPid, app.createWindow(0, true)};
  const Element field = Element::uiElement(editor.windowId, kEditorPid);
  setTitle(app, editor.windowId, "first.txt - Editor");
  appkit::FakePasteboard clipboard;
  appkit::FakeWorkspace workspace;
  workspace.setFrontmostApplication(editor);
  FakeKeyEventPoster keys;
  X11AccessibilityOptions options;
  options.selectionTimeout = 10s;
  X11Accessibility ax(clipboard, workspace, keys, options);
  auto paste = [&] {
    return ax.setAttributeValue(field, attribute::kSelectedText, std::string("answer"));
  };

  // Nothing was captured there yet: nothing to compare with, nothing pasted.
  EXPECT_EQ(paste(), kAXErrorInvalidUIElement);
  auto selection = std::make_unique<PrimaryOwner>(
      app,
      std::map<std::string, testx11::SelectionOwner::Offer>{
          {"UTF8_STRING", testx11::utf8("jumpd")}, {"TIMESTAMP", timestamp(app.serverTime())}},
      kEditorPid);
  ASSERT_EQ(ax.focusedElement().value(), field);
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedText).value(), Value("jumpd"));

  // The document was closed: the window shows another one.
  setTitle(app, editor.windowId, "second.txt - Editor");
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedTextRange).error(),
            kAXErrorInvalidUIElement);
  EXPECT_EQ(paste(), kAXErrorInvalidUIElement);
  setTitle(app, editor.windowId, "first.txt - Editor");
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedTextRange).value(),
            Value(TextRange{0, 0}));

  // Another selection in the same window, or none at all any more.
  {
    PrimaryOwner again(
        app, {{"UTF8_STRING", testx11::utf8("fox")}, {"TIMESTAMP", timestamp(app.serverTime())}},
        kEditorPid);
    EXPECT_EQ(paste(), kAXErrorInvalidUIElement);
  }
  EXPECT_EQ(paste(), kAXErrorInvalidUIElement);
  EXPECT_TRUE(keys.posted().empty());
  EXPECT_TRUE(workspace.activated().empty());
  EXPECT_EQ(clipboard.string(), std::nullopt);

  // Captured again as it is now, it gets the paste; a window that is gone never does.
  ASSERT_TRUE(ax.focusedElement().ok());
  EXPECT_EQ(paste(), kAXErrorSuccess);
  EXPECT_EQ(keys.posted().size(), 2u);
  xcb_destroy_window(app.get(), editor.windowId);
  app.sync();
  EXPECT_EQ(paste(), kAXErrorInvalidUIElement);
  EXPECT_EQ(keys.posted().size(), 2u);
}

TEST(X11Accessibility, ASelectionOlderThanTheWindowsLastKeyOrClickIsNotTaken) {
  QUILL_REQUIRE_DISPLAY();
  testx11::Connection app;
  Editor editor(app);
  appkit::FakePasteboard clipboard;
  appkit::X11Workspace workspace;
  FakeKeyEventPoster keys;
  X11AccessibilityOptions options;
  options.selectionTimeout = 10s;
  X11Accessibility ax(clipboard, workspace, keys, options);
  const Element field = ax.focusedElement().value();
  // A key typed into the editor; the time the server gave its press. Server times count
  // milliseconds: each key comes at a later one.
  auto type = [&](xcb_keysym_t keysym) {
    std::this_thread::sleep_for(3ms);
    const auto key = app.keycodeOf(keysym);
    xcb_test_fake_input(app.get(), XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(app.get(), XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    app.sync();
    auto event = app.waitForEvent([&](const xcb_generic_event_t& e) {
      return (e.response_type & 0x7f) == XCB_KEY_PRESS &&
             reinterpret_cast<const xcb_key_press_event_t&>(e).detail == key;
    });
    EXPECT_TRUE(event);
    const auto time = event ? reinterpret_cast<xcb_key_press_event_t*>(event.get())->time : 0;
    // As toolkits do: each press stamps the window's latest user time.
    app.setCardinal(editor.window, "_NET_WM_USER_TIME", time);
    return time;
  };
  auto selectWord = [&](xcb_timestamp_t time) {
    return std::make_unique<PrimaryOwner>(
        app,
        std::map<std::string, testx11::SelectionOwner::Offer>{
            {"UTF8_STRING", testx11::utf8("word")}, {"TIMESTAMP", timestamp(time)}},
        kEditorPid);
  };
  // The hot key: Ctrl+Alt+F12 pressed last. Some toolkits stamp its time on the window too,
  // though it never reaches it.
  auto selected = [&](bool stampsHotKey = false) {
    type(0xffe3);
    type(0xffe9);
    const auto key = app.keycodeOf(0xffc9);
    if (stampsHotKey) {
      type(0xffc9);
    } else {
      xcb_test_fake_input(app.get(), XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
      xcb_test_fake_input(app.get(), XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
      app.sync();
    }
    return ax.copyAttributeValue(field, attribute::kSelectedText).value();
  };

  // Selected with Shift+Right: by the last input the window took.
  const auto shift = app.keycodeOf(0xffe1);
  xcb_test_fake_input(app.get(), XCB_KEY_PRESS, shift, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  auto word = selectWord(type(0xff53));
  EXPECT_EQ(selected(), Value("word"));
  EXPECT_EQ(selected(true), Value("word"));
  // Further Shift+Right and Shift+End extend it: the application keeps owning it, with the
  // time it first took it.
  type(0xff53);
  type(0xff57);
  EXPECT_EQ(selected(true), Value("word"));
  xcb_test_fake_input(app.get(), XCB_KEY_RELEASE, shift, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  // A caret key without Shift moves away from it.
  type(0xff53);
  EXPECT_EQ(selected(true), Value(""));
  word = selectWord(type(0xff53));
  EXPECT_EQ(selected(), Value("word"));
  // Ctrl+A in another field of the window, which sets no PRIMARY: the word is not its selection.
  type(0xffe3);
  type('a');
  EXPECT_EQ(selected(), Value(""));
  EXPECT_EQ(selected(true), Value(""));
  // Selected anew: taken again. A window that keeps no user time is not judged.
  word = selectWord(type(0xff53));
  EXPECT_EQ(selected(), Value("word"));
  type('a');
  app.deleteProperty(editor.window, "_NET_WM_USER_TIME");
  EXPECT_EQ(ax.copyAttributeValue(field, attribute::kSelectedText).value(), Value("word"));
}

TEST(X11Accessibility, ARealTerminalGetsNoPaste) {
  QUILL_REQUIRE_DISPLAY();
  char folder[] = "/tmp/quill-xterm-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const std::string id = std::string(folder) + "/window", typed = std::string(folder) + "/typed";
  // The shell line of the terminal writes what it gets to a file.
  testsupport::StartedProgram xterm(
      {"xterm", "-e", "sh", "-c",
       "echo $WINDOWID > " + id + ".new && mv " + id + ".new " + id + " && exec cat > " + typed});
  ASSERT_TRUE(xterm.started());
  std::string windowText;
  ASSERT_TRUE(runUntil(
      [&] {
        windowText = testsupport::readFile(id);
        return !windowText.empty();
      },
      20s))
      << "xterm did not start";
  testx11::Connection app;
  const auto terminal = static_cast<xcb_window_t>(std::stoul(windowText));
  // The hot key finds its top-level window in front, the one that carries its class.
  xcb_window_t topLevel = terminal;
  for (int depth = 0; depth < 16; ++depth) {
    testx11::Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(app.get(), xcb_query_tree(app.get(), topLevel), nullptr));
    ASSERT_TRUE(tree);
    if (tree->parent == tree->root) break;
    topLevel = tree->parent;
  }
  const appkit::RunningApplication front{xterm.pid(), topLevel};
  appkit::FakePasteboard clipboard;
  appkit::FakeWorkspace workspace;
  workspace.setFrontmostApplication(front);
  X11KeyEventPoster keys;
  X11Accessibility ax(clipboard, workspace, keys);

  const auto field = ax.focusedElement();
  ASSERT_TRUE(field.ok());
  EXPECT_EQ(ax.copyAttributeValue(field.value(), attribute::kRole).value(),
            Value(std::string(role::kTerminal)));
  EXPECT_EQ(ax.setAttributeValue(field.value(), attribute::kSelectedText, std::string("answer")),
            kAXErrorCannotComplete);
  EXPECT_TRUE(workspace.activated().empty());
  EXPECT_EQ(clipboard.string(), std::nullopt);

  // What the user types next reaches the file as typed: no Ctrl+V made it take a key literally.
  app.focus(terminal);
  // (After a Ctrl+V the first Return would arrive as a literal \r.)
  for (xcb_keysym_t keysym :
       {xcb_keysym_t(0xff0d), xcb_keysym_t('o'), xcb_keysym_t('k'), xcb_keysym_t(0xff0d)}) {
    const auto key = app.keycodeOf(keysym);
    xcb_test_fake_input(app.get(), XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(app.get(), XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  }
  app.sync();
  std::string got;
  EXPECT_TRUE(runUntil(
      [&] {
        got = testsupport::readFile(typed);
        return got.find("ok") != std::string::npos;
      },
      10s));
  EXPECT_EQ(got, "\nok\n");
  xterm.stop();
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace accessibility
