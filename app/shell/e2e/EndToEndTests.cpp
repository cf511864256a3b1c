// The program as a user meets it: tray icon, hot key over another application, a command on
// its selected text, the streamed answer written back into that application, and the chat kept
// in the history under the title the service gave it.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "EndToEndSupport.h"
#include "panel/AppKitPanelWindow.h"
#include "shell/QuillcastApp.h"
#include "testsupport/FileBytes.h"
#include "testsupport/ScopedHome.h"

namespace {

using testsupport::readFile;

using desktoptest::pumpUntil;
using shelltest::Keyboard;
using namespace std::chrono_literals;

TEST(EndToEnd, HotKeyCommandAnswerPastedIntoTheEditorAndChatKept) {
  testsupport::ScopedHome home;
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  ASSERT_TRUE(desktop.startTray()) << "trayer did not take the tray";
  auto& x = desktop.x();

  testsupport::LoopbackServer server;
  const std::string answer = "Hello from the **loopback** service.";
  shelltest::serveChat(server, {"Hello", " from the ", "**loopback**", " service."},
                       "🧪 Loopback chat");
  shelltest::storeUserSettings();

  shelltest::EditorClient editor("the selected words");
  desktoptest::activate(x, editor.window());
  ASSERT_TRUE(desktop.waitFor([&] { return desktoptest::activeWindow(x) == editor.window(); }));

  shell::QuillcastApp app({server.url(""), {}});
  app.delegate().applicationDidFinishLaunching();
  auto& model = *app.delegate().coreAppModel;
  auto* statusItem = app.desktop().statusItem();
  ASSERT_NE(statusItem, nullptr);
  ASSERT_TRUE(pumpUntil([&] { return statusItem->isInTray(); })) << "no icon in the tray";
  ASSERT_TRUE(HotKeys::isRegistered(shell::showFloatingPanelName()));
  ASSERT_NE(app.delegate().floatingPanel(), nullptr);
  auto& panel = app.delegate().floatingPanel()->panel();
  // Launching made the panel's window and left it unmapped, for the first press to show.
  auto& window = dynamic_cast<panel::AppKitPanelWindow&>(panel.window()).panel();
  EXPECT_TRUE(pumpUntil([&] { return window.windowId() != 0; })) << "the panel was not prepared";
  EXPECT_FALSE(window.isVisible());
  Keyboard keys(x);
  // The window manager gave the panel the focus, and Qt has seen it.
  auto panelHasKeyboard = [&] {
    const bool focused = pumpUntil([&] {
      const auto focus = keys.focus();
      return desktoptest::activeWindow(x) != editor.window() && focus != editor.window() &&
             focus > XCB_INPUT_FOCUS_POINTER_ROOT && focus != x.root();
    });
    desktoptest::pumpFor(100ms);
    return focused;
  };

  // The hot key over the editor: the panel opens with the editor's selection.
  keys.hotKey();
  ASSERT_TRUE(pumpUntil([&] { return panel.isOpen(); })) << "the hot key opened no panel";
  ASSERT_TRUE(pumpUntil([&] { return model.selectedValue.get() == "the selected words"; }))
      << "captured: " << model.selectedValue.get();
  ASSERT_TRUE(panelHasKeyboard()) << "the panel did not take the keyboard";

  // What the user types goes into the panel's input line, from the first key on.
  keys.type("make it shorter");
  ASSERT_TRUE(pumpUntil([&] { return model.command.get() == "make it shorter"; }))
      << "typed: " << model.command.get();
  desktoptest::Desktop::screenshot("shell-panel-typed");
  keys.stroke(Keyboard::kReturn);
  ASSERT_TRUE(pumpUntil([&] {
    return !model.isLoading.get() && model.responseValue.get() == answer;
  })) << "answer: "
      << model.responseValue.get() << " error: " << model.error.get();
  const auto streamed = server.requests(shelltest::kChatPath);
  ASSERT_EQ(streamed.size(), 1u);
  EXPECT_EQ(streamed[0].header("Authorization"), "Bearer sk-end-to-end");
  EXPECT_NE(streamed[0].body.find("the selected words"), std::string::npos);
  EXPECT_NE(streamed[0].body.find("make it shorter"), std::string::npos);
  desktoptest::Desktop::screenshot("shell-panel-answer");

  // Ctrl+Return: the answer replaces the selection in the editor, through the clipboard.
  keys.stroke(Keyboard::kReturn, {Keyboard::kControlL});
  EXPECT_TRUE(pumpUntil([&] { return !panel.isOpen(); }));
  EXPECT_TRUE(pumpUntil([&] { return editor.pastes() > 0; }))
      << "the editor got no paste; keys pressed in it: " << editor.keyPresses()
      << ", active window " << desktoptest::activeWindow(x) << ", editor " << editor.window();
  EXPECT_EQ(editor.pasted(), answer);

  // The next press shows the answer again, with the keyboard in the input line; Escape empties
  // the line, then starts a new chat and keeps this one.
  keys.hotKey();
  ASSERT_TRUE(pumpUntil([&] { return panel.isOpen(); }));
  ASSERT_TRUE(panelHasKeyboard());
  keys.type("and then");
  ASSERT_TRUE(pumpUntil([&] { return model.command.get() == "and then"; }))
      << "typed: " << model.command.get();
  keys.stroke(Keyboard::kEscape);
  ASSERT_TRUE(pumpUntil([&] { return model.command.get().empty(); }));
  keys.stroke(Keyboard::kEscape);
  const auto historyFile = home.documents() / "Quillcast" / "QuillcastHistory.json";
  ASSERT_TRUE(pumpUntil([&] {
    return readFile(historyFile).find("Loopback chat") != std::string::npos;
  })) << "history: "
      << readFile(historyFile);
  const auto history = nlohmann::json::parse(readFile(historyFile));
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].at("topic"), "🧪 Loopback chat");
  const std::string saved = history[0].dump();
  EXPECT_NE(saved.find("make it shorter"), std::string::npos);
  EXPECT_NE(saved.find("loopback"), std::string::npos);

  app.delegate().floatingPanel()->close();
  EXPECT_TRUE(pumpUntil([&] { return !panel.isOpen(); }));

  // The tray icon's menu.
  statusItem->popUpMenu();
  EXPECT_TRUE(pumpUntil([&] { return statusItem->isMenuShown(); }));
  desktoptest::pumpFor(300ms);
  desktoptest::Desktop::screenshot("shell-tray-menu");
  keys.stroke(Keyboard::kEscape);
  EXPECT_TRUE(pumpUntil([&] { return !statusItem->isMenuShown(); }));
}

}  // namespace
