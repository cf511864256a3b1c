// What a screen reader reads of the real windows: an AT-SPI client (pyatspi) on a private
// accessibility bus lists the settings window, the prompt editor, the onboarding window and the
// panel with a streamed answer, works their controls through the bus's actions and hears the
// focus move as Tab moves it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QWidget>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "DesktopSession.h"
#include "EndToEndSupport.h"
#include "SceneWindows.h"
#include "appkit/Window.h"
#include "appkit/qt/NativeWidget.h"
#include "core/AssistantSettings.h"
#include "core/DataModel.h"
#include "foundation/UserDefaults.h"
#include "shell/QuillcastApp.h"
#include "shell/Scenes.h"
#include "testsupport/AccessibilityBusSandbox.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/StartedPrograms.h"
#include "ui/qt/ViewWidget.h"

namespace {

using desktoptest::pumpFor;
using desktoptest::pumpUntil;
using nlohmann::json;
using namespace std::chrono_literals;

constexpr xcb_keysym_t kTab = 0xff09;

// The AT-SPI client (atspi_reader.py), asked while Qt's event loop runs: the program answers
// the bus from that loop.
class ScreenReader {
 public:
  explicit ScreenReader(const testsupport::AccessibilityBusSandbox& bus)
      : program_({"/usr/bin/python3", QUILL_ATSPI_READER},
                 testsupport::StartedProgram::Output::read, bus.environment(),
                 testsupport::StartedProgram::Input::piped) {
    ready_ = next([](const json& j) { return j.contains("ready"); }, 20s).has_value();
  }
  bool ready() const { return ready_; }

  // Words are sent separated by tabs: names hold spaces.
  std::optional<json> ask(const std::vector<std::string>& words) {
    std::string line;
    for (const auto& w : words) line += (line.empty() ? "" : "\t") + w;
    if (!program_.write(line + "\n")) return std::nullopt;
    return next([](const json& j) { return !j.contains("event"); }, 30s);
  }
  // This program's tree once it is on the bus.
  json tree() {
    const std::string pid = std::to_string(::getpid());
    std::optional<json> found;
    pumpUntil([&] {
      found = ask({"app", pid});
      return found && found->value("ok", false);
    });
    auto t = ask({"tree", pid});
    if (t && t->value("ok", false)) return (*t)["tree"];
    std::cerr << "not on the bus: " << (found ? found->dump() : "no answer") << "\n";
    return json();
  }
  bool act(const std::string& role, const std::string& name, const std::string& action) {
    auto a = ask({"do", std::to_string(::getpid()), role, name, action});
    return a && a->value("ok", false);
  }
  // The next focus event the reader heard that `wanted` accepts.
  std::optional<json> focusEvent(const std::function<bool(const json&)>& wanted,
                                 std::chrono::milliseconds timeout = 10s) {
    for (auto it = events_.begin(); it != events_.end(); ++it)
      if (wanted(*it)) {
        json found = *it;
        events_.erase(events_.begin(), it + 1);
        return found;
      }
    events_.clear();
    return next([&](const json& j) { return j.contains("event") && wanted(j); }, timeout);
  }

 private:
  std::optional<json> next(const std::function<bool(const json&)>& wanted,
                           std::chrono::milliseconds timeout) {
    std::optional<json> found;
    pumpUntil(
        [&] {
          while (auto line = program_.readLine(1ms)) {
            json j = json::parse(*line, nullptr, false);
            if (j.is_discarded()) continue;
            if (wanted(j)) {
              found = std::move(j);
              return true;
            }
            if (j.contains("event")) events_.push_back(std::move(j));
          }
          return program_.readingEnded();
        },
        timeout);
    return found;
  }

  testsupport::StartedProgram program_;
  std::vector<json> events_;
  bool ready_ = false;
};

const json& childrenOf(const json& node) {
  static const json none = json::array();
  auto it = node.find("children");
  return it != node.end() && it->is_array() ? *it : none;
}

// Depth first, the first element with this role (and name, when given).
const json* findElement(const json& node, const std::string& role,
                        const std::optional<std::string>& name = std::nullopt) {
  if (!node.is_object()) return nullptr;
  if (node.value("role", "") == role && (!name || node.value("name", "") == *name)) return &node;
  for (const auto& c : childrenOf(node))
    if (const json* found = findElement(c, role, name)) return found;
  return nullptr;
}

std::vector<std::string> namesOf(const json& node, const std::string& role) {
  std::vector<std::string> names;
  std::function<void(const json&)> visit = [&](const json& n) {
    if (n.value("role", "") == role) names.push_back(n.value("name", ""));
    for (const auto& c : childrenOf(n)) visit(c);
  };
  visit(node);
  return names;
}

bool hasState(const json* node, const std::string& state) {
  if (!node) return false;
  for (const auto& s : node->value("states", json::array()))
    if (s == state) return true;
  return false;
}

// Role and name, one a line, indented by depth: what the report shows.
std::string listing(const json& node, int depth = 0) {
  std::ostringstream out;
  if (!node.is_object()) return "(nothing)\n";
  std::string name = node.value("name", "");
  out << std::string(std::size_t(depth) * 2, ' ') << node.value("role", "");
  if (!name.empty()) out << " \"" << name << "\"";
  for (const char* state : {"checked", "selected", "focused"})
    if (hasState(&node, state)) out << " [" << state << "]";
  if (node.contains("text")) {
    std::string text = node["text"].get<std::string>();
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    for (auto& c : text)
      if (c == '\n') c = ' ';
    out << " text=\"" << text << "\"";
  }
  out << "\n";
  for (const auto& c : childrenOf(node)) out << listing(c, depth + 1);
  return out.str();
}

// Remembers the links the windows ask for instead of opening them.
struct RecordingOpener : shell::URLOpener {
  bool open(std::string_view url) override {
    opened.emplace_back(url);
    return true;
  }
  std::vector<std::string> opened;
};

class ScreenReaderDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
    ASSERT_EQ(bus.unavailableReason(), "");
    // Qt looks for the bus and its switch when the application starts: as a desktop with a
    // screen reader running, the switch is on before.
    ASSERT_EQ(qApp, nullptr) << "the application started before the accessibility bus";
    ASSERT_TRUE(bus.setEnabled(true));
    // Qt 6.4 stays off the bus when the bus's address is given in the environment; it asks the
    // session bus, as on a desktop.
    ::unsetenv("AT_SPI_BUS_ADDRESS");
    desktopSession = std::make_unique<desktoptest::Desktop>();
    ASSERT_TRUE(desktop().ready()) << "openbox did not start on the display";
    // A client lists the programs that were on the bus when it started: ours first.
    ASSERT_TRUE(pumpUntil([] { return QAccessible::isActive(); }))
        << "Qt did not find the accessibility bus";
    pumpFor(300ms);
    reader = std::make_unique<ScreenReader>(bus);
    ASSERT_TRUE(reader->ready()) << "the AT-SPI client did not start";
    context = std::make_unique<shell::SceneContext>(
        shell::SceneContext{model, &opener, nullptr, &windows, {}, nullptr});
    shelltest::declareSceneWindows(windows, *context);
  }
  // The window opened, active, with its content's keyboard.
  ui::qt::ViewWidget* open(const std::string& name) {
    return shelltest::openActive(windows, desktop().x(), name);
  }
  // The window's own part of the program's tree.
  json windowTree(const std::string& title) {
    const json tree = reader->tree();
    const json* window = findElement(tree, "frame", title);
    return window ? *window : json();
  }

  desktoptest::Desktop& desktop() { return *desktopSession; }

  testsupport::ScopedHome home;
  testsupport::AccessibilityBusSandbox bus;
  std::unique_ptr<desktoptest::Desktop> desktopSession;
  std::unique_ptr<ScreenReader> reader;
  appkit::WindowRegistry windows;
  std::shared_ptr<core::DataModel> model = std::make_shared<core::DataModel>();
  RecordingOpener opener;
  std::unique_ptr<shell::SceneContext> context;
};

TEST_F(ScreenReaderDesktop, ReadsAndWorksTheSettingsWindow) {
  ui::qt::ViewWidget* view = open("Settings");
  ASSERT_NE(view, nullptr);
  const json window = windowTree("Settings");
  ASSERT_TRUE(window.is_object()) << reader->tree().dump();
  std::cout << "Settings, as the AT-SPI client reads it:\n" << listing(window);

  for (const char* button :
       {"Open Prompt Editor", "Tutorial: How to Generate Your Own Key", "Check for Updates\u2026"})
    EXPECT_TRUE(findElement(window, "push button", button)) << button;
  const json* copyHack =
      findElement(window, "check box", "Use an alternative method to obtain the text");
  ASSERT_TRUE(copyHack);
  EXPECT_FALSE(hasState(copyHack, "checked"));
  EXPECT_TRUE(findElement(window, "check box", "Launch at login \U0001F600"));
  // Qt names a picker on Linux by what it shows; the label beside it says what it is.
  EXPECT_TRUE(findElement(window, "combo box", "gpt-3.5-turbo"));
  EXPECT_TRUE(findElement(window, "label", "Model"));
  EXPECT_TRUE(findElement(window, "text", "OpenAI API Key:"));
  EXPECT_TRUE(findElement(window, "link"));
  EXPECT_TRUE(findElement(window, "label", "Open Quillcast Hotkey:"));
  // Nothing of the window is a nameless filler any more.
  EXPECT_FALSE(findElement(window, "filler"));

  // Toggled through the bus: the setting follows, and so does the state read back.
  ASSERT_TRUE(reader->act("check box", "Use an alternative method to obtain the text", "Toggle"));
  EXPECT_TRUE(pumpUntil(
      [] { return core::AssistantSettings(foundation::UserDefaults::standard()).useCopyHack(); }));
  pumpFor(100ms);
  const json afterToggle = windowTree("Settings");
  const json* ticked =
      findElement(afterToggle, "check box", "Use an alternative method to obtain the text");
  EXPECT_TRUE(hasState(ticked, "checked")) << (ticked ? ticked->dump() : "gone") << "\n"
                                           << view->host().accessibilityDump();

  // Pressed through the bus: the button asks for the prompt editor.
  ASSERT_TRUE(reader->act("push button", "Open Prompt Editor", "Press"));
  EXPECT_TRUE(pumpUntil([&] {
    return std::find_if(opener.opened.begin(), opener.opened.end(), [](const std::string& url) {
             return url.find("promptEditor") != std::string::npos;
           }) != opener.opened.end();
  }));

  // Tab moves the focus among the painted controls, and the reader hears where it went.
  ASSERT_TRUE(reader->ask({"focus-events"}));
  shelltest::Keyboard keyboard(desktop().x());
  std::optional<json> heard;
  for (int i = 0; i < 4 && !heard; ++i) {
    keyboard.stroke(kTab);
    heard = reader->focusEvent(
        [](const json& e) {
          return e.value("role", "") == "check box" &&
                 e.value("name", "") == "Launch at login \U0001F600";
        },
        3s);
  }
  EXPECT_TRUE(heard) << "no focus event for the launch-at-login check box";
  windows.close("Settings");
  pumpFor(100ms);
}

TEST_F(ScreenReaderDesktop, ReadsThePromptEditorAndTheOnboardingWindow) {
  ASSERT_NE(open("PromptEditor"), nullptr);
  const json editor = windowTree("Prompt Editor");
  ASSERT_TRUE(editor.is_object()) << reader->tree().dump();
  std::cout << "Prompt Editor, as the AT-SPI client reads it:\n" << listing(editor);
  const json* list = findElement(editor, "list");
  ASSERT_TRUE(list);
  const auto items = namesOf(*list, "list item");
  ASSERT_FALSE(items.empty());
  const auto& presets = model->prompts();
  ASSERT_FALSE(presets.empty());
  EXPECT_EQ(items.front(), presets.front().emoji + " " + presets.front().name);
  EXPECT_TRUE(hasState(findElement(*list, "list item", items.front()), "selected"));
  for (const char* button : {"+ Add", "Prompt Library", "Delete", "Add Selected Text",
                             "Toggle Sidebar", "Context", "Non-context"})
    EXPECT_TRUE(findElement(editor, "push button", button)) << button;
  EXPECT_TRUE(findElement(editor, "text", "Name"));
  EXPECT_TRUE(findElement(editor, "text", "System Prompt"));
  EXPECT_TRUE(findElement(editor, "text", "Prompt"));
  EXPECT_TRUE(hasState(findElement(editor, "radio button", "Context"), "checked"));
  EXPECT_FALSE(hasState(findElement(editor, "radio button", "Non - Context"), "checked"));
  windows.close("PromptEditor");
  pumpFor(100ms);

  ASSERT_NE(open("Onboarding"), nullptr);
  json onboarding = windowTree("Onboarding");
  std::cout << "Onboarding, as the AT-SPI client reads it:\n" << listing(onboarding);
  EXPECT_TRUE(findElement(onboarding, "heading", "Welcome to Quillcast \U0001FAB6"));
  EXPECT_TRUE(findElement(onboarding, "label", "Any App"));
  ASSERT_TRUE(reader->act("push button", "Continue", "Press"));
  EXPECT_TRUE(pumpUntil([&] {
    return findElement(windowTree("Onboarding"), "heading", "Quillcast \U0001FAB6 Shortcuts") !=
           nullptr;
  })) << listing(windowTree("Onboarding"));
  windows.close("Onboarding");
  pumpFor(100ms);
}

TEST_F(ScreenReaderDesktop, ReadsThePresetListAndAStreamedAnswerWhole) {
  ASSERT_TRUE(desktop().startTray());
  testsupport::LoopbackServer server;
  const std::string answer =
      "# Shorter\n\nHello from the **loopback** service, with [a link](https://example.org).";
  shelltest::serveChat(server,
                       {"# Shorter\n\nHello", " from the ", "**loopback** service,",
                        " with [a link](https://example.org)."},
                       "\U0001F9EA Loopback chat");
  shelltest::storeUserSettings();
  shell::QuillcastApp app({server.url(""), {}});
  app.delegate().applicationDidFinishLaunching();
  auto& chat = *app.delegate().coreAppModel;
  ASSERT_NE(app.delegate().floatingPanel(), nullptr);
  auto& panel = app.delegate().floatingPanel()->panel();
  shelltest::Keyboard keys(desktop().x());
  pumpFor(300ms);
  keys.hotKey();
  ASSERT_TRUE(pumpUntil([&] { return panel.isOpen(); })) << "the hot key opened no panel";
  pumpFor(500ms);

  json tree = reader->tree();
  const json* presets = findElement(tree, "list");
  ASSERT_TRUE(presets) << listing(tree);
  std::cout << "The panel before sending, as the AT-SPI client reads it:\n" << listing(tree);
  const auto items = namesOf(*presets, "list item");
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items.front(), "\u2328\uFE0F Use typed command for prompt");
  // The input line is named by its placeholder.
  const json* line = findElement(tree, "text", "Search for prompts preset or ask AI...");
  EXPECT_TRUE(line || findElement(tree, "text", "Ask AI...")) << "the input line has no name";
  EXPECT_TRUE(hasState(findElement(*presets, "list item", items.front()), "selected"));

  keys.type("make it shorter");
  ASSERT_TRUE(pumpUntil([&] { return chat.command.get() == "make it shorter"; }));
  keys.stroke(shelltest::Keyboard::kReturn);
  ASSERT_TRUE(pumpUntil([&] {
    return !chat.isLoading.get() && chat.responseValue.get() == answer;
  })) << chat.responseValue.get()
      << " " << chat.error.get();
  pumpFor(300ms);

  // The answer is one text, read whole, with its heading and link inside.
  tree = reader->tree();
  std::cout << "The panel with the answer, as the AT-SPI client reads it:\n" << listing(tree);
  const json* text = nullptr;
  std::function<void(const json&)> visit = [&](const json& n) {
    if (!text && n.value("role", "") == "text" && n.value("text", "") == answer) text = &n;
    for (const auto& c : childrenOf(n)) visit(c);
  };
  visit(tree);
  ASSERT_TRUE(text) << "no text holding the whole answer";
  EXPECT_TRUE(hasState(text, "read-only") || !hasState(text, "editable"));
  EXPECT_TRUE(findElement(*text, "heading", "Shorter"));
  EXPECT_TRUE(findElement(*text, "link", "a link"));
  // The message typed is read whole too.
  bool commandRead = false;
  std::function<void(const json&)> visitCommand = [&](const json& n) {
    if (n.value("role", "") == "text" && n.value("text", "").find("make it shorter") == 0)
      commandRead = true;
    for (const auto& c : childrenOf(n)) visitCommand(c);
  };
  visitCommand(tree);
  EXPECT_TRUE(commandRead);
  app.delegate().floatingPanel()->close();
  EXPECT_TRUE(pumpUntil([&] { return !panel.isOpen(); }));
}

}  // namespace
