// Write-back as a user meets it in other people's applications: a selection made there, the
// hot key, a command, Ctrl+Return, and the document read back from the application itself.
// Each test starts its application once and runs its cases in it.
#include <algorithm>
#include <fstream>

#include "RealApplications.h"
#include "testsupport/StartedPrograms.h"

namespace realapps {
namespace {

using testsupport::readFile;

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// ---- gedit: a document saved with Ctrl+S and read from its file ----

class Gedit : public RealApplicationTest {
 protected:
  // The first of `files` is shown.
  xcb_window_t start(const std::vector<std::filesystem::path>& files) {
    std::vector<std::string> argv{"gedit", "--standalone"};
    for (const auto& file : files) argv.push_back(file.string());
    return startApplication(argv, files.front().filename().string());
  }

  // gedit marks a document changed since it was saved with a star before its title.
  bool changed() { return windowTitle(desktop.x(), gedit_).rfind('*', 0) == 0; }

  // Saves the document in front: its file says `expected` once gedit is done saving (it takes
  // no keys meanwhile).
  bool savedAs(const std::filesystem::path& file, const std::string& expected) {
    keys.stroke('s', {Keyboard::kControlL});
    if (pumpUntil([&] { return readFile(file) == expected && !changed(); }, kWait)) return true;
    desktoptest::Desktop::screenshot("realapps-gedit-not-saved");
    return false;
  }

  // Two documents, the second in front with "jumpd" selected: the answer stands in its place,
  // and the next key typed makes it one of `afterTyping`.
  void replaceTheSelection(const std::vector<std::string>& afterTyping) {
    first_ = folder() / "first.txt";
    second_ = folder() / "second.txt";
    writeFile(first_, kFirstDocument);
    writeFile(second_, "The quick jumpd fox\nsecond line here\n");
    gedit_ = start({second_, first_});
    ASSERT_NE(gedit_, XCB_NONE);
    ASSERT_TRUE(selects(10, 5, "jumpd"));
    ASSERT_NO_FATAL_FAILURE(ask(gedit_, "jumpd"));
    desktoptest::Desktop::screenshot("realapps-gedit-answer");
    ASSERT_TRUE(accept(gedit_)) << "the panel did not give the keyboard back to gedit";
    // A paste lands when gedit has fetched the text: the next key waits for it.
    ASSERT_TRUE(pumpUntil([&] { return changed(); }, kWait)) << "nothing was written";
    keys.type("7");
    keys.stroke('s', {Keyboard::kControlL});
    EXPECT_TRUE(pumpUntil(
        [&] {
          return !changed() &&
                 std::any_of(afterTyping.begin(), afterTyping.end(), [&](const std::string& line) {
                   return readFile(second_) == line + "\nsecond line here\n";
                 });
        },
        kWait))
        << readFile(second_) << "\nthe panel says: " << model().writeBackStatus.get();
  }

  // The document the selection was in is closed while the pinned panel holds the answer: the
  // other document in that window gets nothing, and the panel says why.
  void closeTheDocumentBeforeWriting() {
    ASSERT_TRUE(selects(4, 5, "quick"));
    ASSERT_NO_FATAL_FAILURE(ask(gedit_, "quick"));
    keys.stroke('t', {Keyboard::kControlL});
    ASSERT_TRUE(pumpUntil([&] { return model().isOnTopBinding.get(); }))
        << "the panel is not pinned";
    desktoptest::activate(desktop.x(), gedit_);
    ASSERT_TRUE(pumpUntil([&] { return desktoptest::activeWindow(desktop.x()) == gedit_; }));
    keys.stroke('w', {Keyboard::kControlL});
    ASSERT_TRUE(pumpUntil([&] {
      return windowTitle(desktop.x(), gedit_).find("first.txt") != std::string::npos;
    })) << windowTitle(desktop.x(), gedit_);
    clickAt(panelWindow().windowId(), 40, 24);
    ASSERT_TRUE(pumpUntil([&] {
      return desktoptest::activeWindow(desktop.x()) == panelWindow().windowId();
    })) << "the click did not bring the panel forward";
    desktoptest::pumpFor(100ms);
    acceptRefused("Window changed");
    desktoptest::Desktop::screenshot("realapps-gedit-window-changed");
    desktoptest::activate(desktop.x(), gedit_);
    ASSERT_TRUE(pumpUntil([&] { return desktoptest::activeWindow(desktop.x()) == gedit_; }));
    keys.stroke(kHome, {Keyboard::kControlL});
    keys.type("7");
    EXPECT_TRUE(savedAs(first_, std::string("7") + kFirstDocument)) << readFile(first_);
  }

 private:
  static constexpr const char* kFirstDocument = "Notes kept in the first document\n";
  std::filesystem::path first_, second_;
  xcb_window_t gedit_ = XCB_NONE;
};

TEST_F(Gedit, WithoutTheBusThePasteReplacesTheSelectionAndAnotherDocumentGetsNothing) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Bus::off));
  // A paste leaves the caret behind the answer.
  ASSERT_NO_FATAL_FAILURE(replaceTheSelection({"The quick jumped ✓7 fox"}));
  closeTheDocumentBeforeWriting();
}

TEST_F(Gedit, WithTheBusTheAnswerReplacesTheSelectionAndAnotherDocumentGetsNothing) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Bus::on));
  // Written over the bus, with the caret put before the answer; or, where gedit answered the
  // capture too slowly on a loaded machine and its primary selection was read instead, pasted
  // with the caret behind it.
  ASSERT_NO_FATAL_FAILURE(
      replaceTheSelection({"The quick 7jumped ✓ fox", "The quick jumped ✓7 fox"}));
  closeTheDocumentBeforeWriting();
}

// ---- Browsers: a page on the loopback server reports its fields after every change ----

constexpr const char* kFieldsPage = R"(<!doctype html>
<html><head><meta charset="utf-8"><title>Fields page</title></head><body>
<textarea id="area" rows="4" cols="40" autofocus>The quick jumpd fox
second line</textarea><br>
<input id="line" size="40" value="a line of text"
  style="position: fixed; left: 0; bottom: 0; width: 100%; height: 40%; font-size: 20px">
<script>
  const area = document.getElementById("area"), line = document.getElementById("line");
  let sequence = 0;
  function report() {
    fetch("/report", {method: "POST", body: JSON.stringify({
      sequence: ++sequence, area: area.value, areaStart: area.selectionStart,
      areaEnd: area.selectionEnd, line: line.value, lineStart: line.selectionStart,
      lineEnd: line.selectionEnd, focus: document.activeElement.id})});
  }
  for (const field of [area, line])
    for (const event of ["input", "keyup", "select", "focus"]) field.addEventListener(event, report);
  document.addEventListener("selectionchange", report);
  area.focus();
  report();
</script></body></html>
)";

struct Fields {
  std::string area, line, focus;
  int areaStart = -1, areaEnd = -1, lineStart = -1, lineEnd = -1;
};

enum class Browser { chromium, firefox };

class Browsers : public RealApplicationTest {
 protected:
  xcb_window_t start(Browser browser) {
    server.reply("/fields", {200, kFieldsPage, "text/html; charset=utf-8", {}});
    server.reply("/report", {200, "{}", "application/json", {}});
    // Whatever it would fetch besides the page goes to a port where nothing listens.
    const std::string nowhere = std::to_string(testsupport::LoopbackServer::refusedPort());
    const auto profile = folder() / "browser-profile";
    std::filesystem::create_directories(profile);
    std::vector<std::string> argv;
    if (browser == Browser::chromium) {
      argv = {"chromium",
              "--no-sandbox",
              "--disable-gpu",
              "--no-first-run",
              "--no-default-browser-check",
              "--disable-background-networking",
              "--disable-component-update",
              "--disable-sync",
              "--disable-default-apps",
              "--disable-extensions",
              "--password-store=basic",
              "--proxy-server=127.0.0.1:" + nowhere,
              "--user-data-dir=" + profile.string()};
      if (mode() == Bus::on) argv.push_back("--force-renderer-accessibility");
    } else {
      std::ofstream(profile / "user.js")
          << "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
             "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
             "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
             "user_pref(\"app.update.enabled\", false);\n"
             "user_pref(\"network.proxy.type\", 1);\n"
             "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
             "user_pref(\"network.proxy.http_port\", "
          << nowhere
          << ");\n"
             "user_pref(\"network.proxy.ssl\", \"127.0.0.1\");\n"
             "user_pref(\"network.proxy.ssl_port\", "
          << nowhere
          << ");\n"
             "user_pref(\"network.proxy.allow_hijacking_localhost\", false);\n";
      argv = {"firefox-esr", "--no-remote", "--new-instance", "--profile", profile.string()};
    }
    argv.push_back(server.url("/fields"));
    const xcb_window_t window = startApplication(argv, "Fields page");
    // The page has loaded and its text area has the keyboard.
    EXPECT_TRUE(pumpUntil([&] { return fields().focus == "area"; }, kStartWait));
    return window;
  }

  // The line fills the page's lower part: a click near the window's bottom lands in it.
  void clickIntoTheLine(xcb_window_t browser) {
    testx11::Reply<xcb_get_geometry_reply_t> size(xcb_get_geometry_reply(
        desktop.x().get(), xcb_get_geometry(desktop.x().get(), browser), nullptr));
    ASSERT_TRUE(size);
    clickAt(browser, size->width / 2, size->height - 40);
    ASSERT_TRUE(pumpUntil([&] { return fields().focus == "line"; })) << fields().focus;
  }

  // What the page reported last.
  Fields fields() {
    Fields out;
    int latest = 0;
    for (const auto& request : server.requests("/report")) {
      const auto json = nlohmann::json::parse(request.body, nullptr, false);
      if (!json.is_object() || json.value("sequence", 0) <= latest) continue;
      latest = json.value("sequence", 0);
      out = {json.value("area", ""),      json.value("line", ""),    json.value("focus", ""),
             json.value("areaStart", -1), json.value("areaEnd", -1), json.value("lineStart", -1),
             json.value("lineEnd", -1)};
    }
    return out;
  }

  // A word of the text area replaced, then Ctrl+A in the line below while the text area keeps
  // a selection: only the line may be captured and written. `lineCaptured`: what the browser
  // lets be seen of the line's selection; `ctrlAMakesPrimary`: whether Ctrl+A makes the line's
  // text the primary selection.
  void writeBackIntoTheFields(xcb_window_t browser, const std::string& textAreaAfterTyping,
                              const std::string& lineCaptured, const std::string& lineAfterTyping,
                              bool ctrlAMakesPrimary) {
    ASSERT_TRUE(selects(10, 5, "jumpd"));
    ASSERT_TRUE(busShowsSelected(browser, 10, 15));
    ASSERT_NO_FATAL_FAILURE(ask(browser, "jumpd"));
    ASSERT_TRUE(accept(browser)) << "the panel did not give the keyboard back to the browser";
    // A paste lands once the browser has fetched the text: the next key waits for it.
    ASSERT_TRUE(
        pumpUntil([&] { return fields().area == "The quick jumped ✓ fox\nsecond line"; }, kWait))
        << fields().area;
    keys.type("7");
    EXPECT_TRUE(pumpUntil([&] { return fields().area == textAreaAfterTyping; }, kWait))
        << fields().area;
    EXPECT_EQ(fields().line, "a line of text");

    // "quick" stays selected in the text area while Ctrl+A selects the line below, which a
    // click put the caret in. (Reached by Tab, Chromium selects the line as it takes the focus
    // and keeps that time for Ctrl+A's selection: then Ctrl+A cannot be told from Firefox's,
    // which leaves the primary selection to the older one, and the capture is refused.)
    ASSERT_TRUE(selects(4, 5, "quick"));
    ASSERT_NO_FATAL_FAILURE(clickIntoTheLine(browser));
    keys.stroke('a', {Keyboard::kControlL});
    ASSERT_TRUE(pumpUntil([&] { return fields().focus == "line" && fields().lineEnd == 14; }));
    ASSERT_TRUE(busShowsSelected(browser, 0, 14));
    // The browser claims the primary selection when its renderer tells it, which on a loaded
    // machine comes well after the page saw the selection; the hot key before that finds the
    // text area's older one and is refused.
    if (ctrlAMakesPrimary) {
      ASSERT_TRUE(showsSelected("a line of text"));
    }
    ASSERT_NO_FATAL_FAILURE(ask(browser, lineCaptured));
    EXPECT_EQ(server.requests(testsupport::kChatPath).back().body.find("quick"), std::string::npos)
        << "the text area's selection was sent";
    desktoptest::Desktop::screenshot("realapps-browser-line-answer");
    ASSERT_TRUE(accept(browser));
    ASSERT_TRUE(pumpUntil([&] { return fields().line == answer(); }, kWait)) << fields().line;
    keys.type("7");
    EXPECT_TRUE(pumpUntil([&] { return fields().line == lineAfterTyping; }, kWait))
        << fields().line;
    EXPECT_EQ(fields().area, textAreaAfterTyping) << "the text area was written to";
  }
};

TEST_F(Browsers, ChromiumWithoutTheBusTheSelectedFieldGetsThePaste) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Bus::off));
  const xcb_window_t chromium = start(Browser::chromium);
  ASSERT_NE(chromium, XCB_NONE);
  writeBackIntoTheFields(chromium, "The quick jumped ✓7 fox\nsecond line", "a line of text",
                         "jumped ✓7", true);
}

// Chromium offers no editing over the bus: the answer is pasted.
TEST_F(Browsers, ChromiumWithTheBusTheSelectedFieldGetsThePaste) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Bus::on));
  const xcb_window_t chromium = start(Browser::chromium);
  ASSERT_NE(chromium, XCB_NONE);
  writeBackIntoTheFields(chromium, "The quick jumped ✓7 fox\nsecond line", "a line of text",
                         "jumped ✓7", true);
}

// Firefox leaves the primary selection to the text area when Ctrl+A selects the line: the
// text area's word is older than the keys typed since, and is not taken.
TEST_F(Browsers, FirefoxWithoutTheBusAnOlderSelectionOfAnotherFieldIsNotTaken) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Bus::off));
  const xcb_window_t firefox = start(Browser::firefox);
  ASSERT_NE(firefox, XCB_NONE);
  writeBackIntoTheFields(firefox, "The quick jumped ✓7 fox\nsecond line", "", "jumped ✓7", false);
}

// Firefox answers that it took the bus's write and keeps its text: the answer is pasted.
TEST_F(Browsers, FirefoxWithTheBusTheSelectedFieldGetsThePaste) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Bus::on));
  const xcb_window_t firefox = start(Browser::firefox);
  ASSERT_NE(firefox, XCB_NONE);
  writeBackIntoTheFields(firefox, "The quick jumped ✓7 fox\nsecond line", "a line of text",
                         "jumped ✓7", false);
}

// ---- LibreOffice Writer: each paragraph is a text of its own on the bus ----

class Writer : public RealApplicationTest {
 protected:
  // The document's paragraphs as the bus shows them.
  std::vector<std::string> paragraphs(int pid) {
    std::vector<std::string> out;
    for (const auto& text : textsOnTheBus(pid))
      if (text.role == "paragraph") out.push_back(text.text);
    return out;
  }
};

TEST_F(Writer, WithTheBusAWordAndASelectionOverTwoParagraphsAreReplacedWhole) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Bus::on));
  const auto letter = folder() / "letter.txt";
  writeFile(letter,
            "First paragraph of the letter\nSecond paragraph follows here\nThird one stays\n");
  std::vector<std::string> argv{
      "soffice",      "-env:UserInstallation=file://" + (folder() / "office").string(),
      "--writer",     "--norestore",
      "--nologo",     "--nolockcheck",
      letter.string()};
  // Its GTK face is the one on the accessibility bus.
  const xcb_window_t writer = startApplication(argv, "letter.txt", {"SAL_USE_VCLPLUGIN=gtk3"});
  ASSERT_NE(writer, XCB_NONE);
  const int pid = windowProcess(desktop.x(), writer);
  ASSERT_TRUE(pumpUntil([&] { return paragraphs(pid).size() >= 3; }, kStartWait))
      << "the document is not on the bus";

  // A word within one paragraph: written over the bus, the caret before it, nothing selected.
  ASSERT_TRUE(selects(23, 6, "letter"));
  ASSERT_NO_FATAL_FAILURE(ask(writer, "letter"));
  ASSERT_TRUE(accept(writer)) << "the panel did not give the keyboard back to Writer";
  keys.type("7");
  EXPECT_TRUE(
      pumpUntil([&] { return paragraphs(pid).at(0) == "First paragraph of the 7jumped ✓"; }, kWait))
      << paragraphs(pid).at(0);

  // From "paragraph" in the second paragraph to "Third" in the next: replaced as one, and the
  // next key goes behind the answer rather than over it.
  ASSERT_TRUE(selectsBy(
      [&] {
        ASSERT_TRUE(pumpUntil([&] { return keyboardFree(); }));
        keys.stroke(kHome, {Keyboard::kControlL});
        keys.stroke(kDown);
        for (int i = 0; i < 7; ++i) keys.stroke(kRight);
        for (int i = 0; i < 28; ++i) keys.stroke(kRight, {kShiftL});
      },
      "paragraph follows here\nThird"));
  ASSERT_NO_FATAL_FAILURE(ask(writer, "paragraph follows here\nThird"));
  desktoptest::Desktop::screenshot("realapps-writer-answer");
  ASSERT_TRUE(accept(writer));
  auto shows = [&](const std::vector<std::string>& expected) {
    return pumpUntil(
        [&] {
          auto now = paragraphs(pid);
          while (!now.empty() && now.back().empty()) now.pop_back();
          return now == expected;
        },
        kWait);
  };
  ASSERT_TRUE(shows({"First paragraph of the 7jumped ✓", "Second jumped ✓ one stays"}))
      << nlohmann::json(paragraphs(pid)).dump();
  keys.type("7");
  EXPECT_TRUE(shows({"First paragraph of the 7jumped ✓", "Second jumped ✓7 one stays"}))
      << nlohmann::json(paragraphs(pid)).dump();
  desktoptest::Desktop::screenshot("realapps-writer-written");
}

// ---- xterm: a terminal gets no keystroke ----

TEST_F(RealApplicationTest, XtermGetsNoKeystrokeAndThePanelKeepsTheAnswer) {
  ASSERT_NO_FATAL_FAILURE(startProgram(Bus::off));
  const auto received = folder() / "received";
  writeFile(received, "");
  // Every byte the terminal sends on, raw: a Ctrl+V would be there as 0x16.
  const xcb_window_t xterm = startApplication(
      {"xterm", "-title", "quill-terminal", "-e", "sh", "-c",
       "echo 'echo the quick brwn fox'; stty raw -echo; exec cat > '" + received.string() + "'"},
      "quill-terminal");
  ASSERT_NE(xterm, XCB_NONE);
  // A triple click selects the shown line.
  clickAt(xterm, 40, 8, 3);
  ASSERT_TRUE(showsSelected("echo the quick brwn fox\n"));
  ASSERT_NO_FATAL_FAILURE(ask(xterm, "echo the quick brwn fox\n"));
  acceptRefused("Terminal: copy it");
  desktoptest::Desktop::screenshot("realapps-xterm-refused");
  desktoptest::activate(desktop.x(), xterm);
  ASSERT_TRUE(pumpUntil([&] { return desktoptest::activeWindow(desktop.x()) == xterm; }));
  keys.type("7");
  EXPECT_TRUE(pumpUntil([&] { return !readFile(received).empty(); }, kWait));
  EXPECT_EQ(readFile(received), "7") << "the terminal got more than the user typed";
}

}  // namespace
}  // namespace realapps
