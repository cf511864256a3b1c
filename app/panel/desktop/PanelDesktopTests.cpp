// The panel in a real window on a display managed by openbox: opened by the hot-key road,
// typed into with real key events, answered by the loopback chat server.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstdlib>
#include <map>

#include "../tests/PanelTestSupport.h"
#include "DesktopSession.h"
#include "ScreenPixels.h"
#include "accessibility/Attributes.h"
#include "accessibility/FakeAccessibility.h"
#include "appkit/Alert.h"
#include "appkit/FakePasteboard.h"
#include "appkit/FakeWorkspace.h"
#include "appkit/qt/NativeWidget.h"
#include "core/CaptureMessages.h"
#include "panel/AppKitPanelWindow.h"
#include "ui/qt/ViewWidget.h"

namespace panel::testing {
namespace {

using namespace std::chrono_literals;
using desktoptest::pumpUntil;

class PanelDesktop : public PanelTest {};

using desktoptest::screenPixelsOf;

// Pixels that differ clearly from the region's most common colour: text, a caret, a placeholder.
int inkIn(const QImage& image) {
  return desktoptest::inkIn(image, 40);
}

// The columns in which two pictures of the same region differ, or {-1, -1} when none do.
std::pair<int, int> differingColumns(const QImage& a, const QImage& b) {
  int first = -1, last = -1;
  for (int x = 0; x < std::min(a.width(), b.width()); ++x)
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
      if (a.pixel(x, y) != b.pixel(x, y)) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  return {first, last};
}

// Whether a caret blinks in the region: over two blink periods some pictures differ from the
// first in a thin upright band only.
bool caretBlinksIn(const QWidget* widget) {
  const QImage first = screenPixelsOf(widget);
  for (int i = 0; i < 30; ++i) {
    desktoptest::pumpFor(std::chrono::milliseconds(80));
    const auto [from, to] = differingColumns(first, screenPixelsOf(widget));
    if (from >= 0 && to - from <= 4) return true;
  }
  return false;
}

// The input line of a panel prepared before its content's first frame, as the program prepares
// it at launch, is drawn on the real window: the placeholder before typing, the typed text and a
// blinking caret after.
TEST_F(PanelDesktop, ThePreparedInputLineShowsItsPlaceholderTypedTextAndCaret) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  makeModel();
  auto window =
      std::make_shared<AppKitPanelWindow>(ui::Rect{0, 0, kPanelWidth, kPanelRequestedHeight});
  auto panel = createFloatingPanel(model, window, {});
  window->panel().prepare();
  desktoptest::pumpFor(200ms);
  QWidget* native = appkit::qt::nativeWidget(window->panel());

  panel->toggle(desktoptest::serverTime(x));
  ASSERT_TRUE(pumpUntil([&] { return window->isVisible() && window->panel().isKey(); }));
  QWidget* line = nullptr;
  ASSERT_TRUE(pumpUntil([&] {
    line = native->focusWidget();
    return line && line->hasFocus() && line->inherits("QTextEdit");
  }));
  desktoptest::pumpFor(300ms);
  const QImage placeholder = screenPixelsOf(line);
  EXPECT_GT(inkIn(placeholder), 150) << "no placeholder drawn in the input line";
  EXPECT_TRUE(caretBlinksIn(line)) << "no caret in the empty input line";

  ASSERT_EQ(testsupport::runCommand("xdotool type --delay 20 'hello world'"), 0);
  ASSERT_TRUE(pumpUntil([&] { return model->command.get() == "hello world"; }))
      << model->command.get();
  desktoptest::pumpFor(300ms);
  const QImage typed = screenPixelsOf(line);
  EXPECT_NE(typed, placeholder);
  EXPECT_GT(inkIn(typed), 150) << "the typed text is not drawn";
  EXPECT_TRUE(caretBlinksIn(line)) << "no caret after the typed text";
  if (const char* dir = std::getenv("QUILL_SCREENSHOT_DIR")) {
    placeholder.save(QString::fromStdString(std::string(dir) + "/panel-input-placeholder.png"));
    typed.save(QString::fromStdString(std::string(dir) + "/panel-input-typed.png"));
  }
  desktoptest::Desktop::screenshot("panel-desktop-typed");
  window->panel().close();
  panel.reset();
}

// On a wide panel the long accessibility message wraps inside the panel: no red ink reaches
// its right edge.
TEST_F(PanelDesktop, ALongErrorWrapsInsideAWidePanel) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  makeModel();
  auto window = std::make_shared<AppKitPanelWindow>(ui::Rect{0, 0, 1200, 400});
  auto panel = createFloatingPanel(model, window, {});
  panel->toggle(desktoptest::serverTime(x));
  ASSERT_TRUE(pumpUntil([&] { return window->isVisible() && window->panel().isKey(); }));
  window->panel().setFrame({40, 100, 1200, 400});
  model->error = std::string(core::kAccessibilityMessage);
  desktoptest::pumpFor(500ms);
  QWidget* native = appkit::qt::nativeWidget(window->panel());
  const QImage shown = screenPixelsOf(native);
  int reddest = -1;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) {
      const QColor c = shown.pixelColor(x, y);
      if (c.red() > 150 && c.green() < 100 && c.blue() < 100) reddest = std::max(reddest, x);
    }
  EXPECT_GT(reddest, 0) << "no error drawn";
  EXPECT_LT(reddest, shown.width() - 16) << "the error reaches the panel's edge";
  desktoptest::Desktop::screenshot("panel-desktop-wide-error");
  window->panel().close();
  panel.reset();
}

TEST_F(PanelDesktop, TypedCommandIsAnsweredInTheFloatingWindow) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  ASSERT_NE(desktoptest::application(), nullptr);
  serveAnswer({"Hello", " from", " the", " **panel**"});
  makeModel();
  auto window =
      std::make_shared<AppKitPanelWindow>(ui::Rect{0, 0, kPanelWidth, kPanelRequestedHeight});
  auto panel = createFloatingPanel(model, window, {});
  QWidget* native = appkit::qt::nativeWidget(window->panel());
  EXPECT_EQ(native->windowTitle().toStdString(), "Quillcast Floating");
  EXPECT_EQ(native->width(), 612);
  EXPECT_GT(native->height(), 200);

  panel->toggle(desktoptest::serverTime(x));
  ASSERT_TRUE(pumpUntil([&] { return window->isVisible() && window->panel().isKey(); }));
  // The input line takes the keyboard by itself.
  ASSERT_TRUE(pumpUntil([&] {
    QWidget* focus = native->focusWidget();
    return focus && focus->hasFocus() && focus->inherits("QTextEdit");
  }));
  ASSERT_EQ(testsupport::runCommand("xdotool type --delay 20 'Say hello'"), 0);
  ASSERT_TRUE(pumpUntil([&] { return model->command.get() == "Say hello"; }))
      << model->command.get();
  ASSERT_EQ(testsupport::runCommand("xdotool key Return"), 0);
  ASSERT_TRUE(pumpUntil([&] {
    return !model->isLoading && model->responseValue.get() == "Hello from the **panel**";
  }));
  desktoptest::pumpFor(200ms);
  desktoptest::Desktop::screenshot("panel-desktop-answer");
  EXPECT_TRUE(window->isVisible());

  // Escape steps back: the answer goes, the panel stays; then the panel closes.
  ASSERT_EQ(testsupport::runCommand("xdotool key Escape"), 0);
  ASSERT_TRUE(pumpUntil([&] { return model->responseValue->empty(); }));
  desktoptest::pumpFor(200ms);
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(testsupport::runCommand("xdotool key Escape"), 0);
  EXPECT_TRUE(pumpUntil([&] { return !window->isVisible(); }));
  EXPECT_FALSE(panel->panel().isOpen());
  panel.reset();
}

TEST_F(PanelDesktop, AnAnswerNotWrittenStaysInTheWindowWithTheReason) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  // The selection was captured in a terminal.
  auto ax = std::make_shared<accessibility::FakeAccessibility>();
  const auto terminal = ax->addElement(7);
  ax->setFocusedElement(terminal);
  ax->setAttribute(terminal, accessibility::attribute::kSelectedText, std::string("brwn"));
  ax->setAttribute(terminal, accessibility::attribute::kRole,
                   std::string(accessibility::role::kTerminal));
  auto workspace = std::make_shared<appkit::FakeWorkspace>();
  workspace->setFrontmostApplication(appkit::RunningApplication{7, 0x400001});
  auto pasteboard = std::make_shared<appkit::FakePasteboard>();
  auto feedback = std::make_shared<appkit::FakeFeedback>();
  serveAnswer({"brown"});
  makeModel({ax, pasteboard, workspace, nullptr});
  auto window =
      std::make_shared<AppKitPanelWindow>(ui::Rect{0, 0, kPanelWidth, kPanelRequestedHeight});
  FloatingViewOptions o;
  o.answerServices = {pasteboard, ax, feedback};
  auto panel = createFloatingPanel(model, window, std::move(o));
  model->captureSelectedText();
  ASSERT_TRUE(pumpUntil([&] { return model->capturesInFlight() == 0; }));
  panel->toggle(desktoptest::serverTime(x));
  ASSERT_TRUE(pumpUntil([&] { return window->isVisible() && window->panel().isKey(); }));
  ASSERT_EQ(testsupport::runCommand("xdotool type --delay 20 'Fix it'"), 0);
  ASSERT_TRUE(pumpUntil([&] { return model->command.get() == "Fix it"; }));
  ASSERT_EQ(testsupport::runCommand("xdotool key Return"), 0);
  ASSERT_TRUE(
      pumpUntil([&] { return !model->isLoading && model->responseValue.get() == "brown"; }));

  ASSERT_EQ(testsupport::runCommand("xdotool key ctrl+Return"), 0);
  ASSERT_TRUE(pumpUntil([&] { return feedback->beeps == 1; }));
  desktoptest::pumpFor(200ms);
  desktoptest::Desktop::screenshot("panel-desktop-not-written");
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(model->writeBackStatus.get(), "Terminal: copy it");
  EXPECT_EQ(model->responseValue.get(), "brown");
  for (const auto& write : ax->writes())
    EXPECT_NE(write.attribute, accessibility::attribute::kSelectedText);
  panel.reset();
}

ui::qt::ViewWidget* contentOf(QWidget* window) {
  for (QWidget* w : window->findChildren<QWidget*>())
    if (auto* view = dynamic_cast<ui::qt::ViewWidget*>(w)) return view;
  return nullptr;
}

// A megabyte of Markdown (headings, paragraphs, lists, code and tables) streamed into the real
// window and read to its end: a few notches of the wheel, then all the way down, where the last
// paragraph of the answer is drawn above the question.
TEST_F(PanelDesktop, AnAnswerOfAMegabyteIsReadToItsEndInTheWindow) {
  desktoptest::Desktop desktop;
  QUILL_REQUIRE_DESKTOP(desktop);
  auto& x = desktop.x();
  std::string answer = "# A long answer\n\n";
  for (int n = 0; answer.size() < 1024 * 1024; ++n) {
    const std::string i = std::to_string(n);
    answer += "## Part " + i + "\n\nThis paragraph explains step " + i +
              " with *emphasis*, **strong words** and `code`, long enough to wrap across a few "
              "lines at the panel's width.\n\n- first point about " +
              i + "\n- second point\n\n";
    if (n % 7 == 3)
      answer += "```swift\nlet value" + i + " = compute(" + i + ")\nprint(value)\n```\n\n";
    if (n % 11 == 5) answer += "| Name | Size |\n|---|--:|\n| part" + i + " | " + i + " |\n\n";
  }
  answer += "## The end\n\nTHE LAST PARAGRAPH of the answer, read to its end.";
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < answer.size(); at += 4096)
    pieces.push_back(answer.substr(at, 4096));
  serveAnswer(pieces);
  makeModel();
  auto window =
      std::make_shared<AppKitPanelWindow>(ui::Rect{0, 0, kPanelWidth, kPanelRequestedHeight});
  auto panel = createFloatingPanel(model, window, {});
  panel->toggle(desktoptest::serverTime(x));
  ASSERT_TRUE(pumpUntil([&] { return window->isVisible() && window->panel().isKey(); }));
  window->panel().setFrame({200, 60, kPanelWidth, 640});
  QWidget* native = appkit::qt::nativeWidget(window->panel());
  ASSERT_TRUE(pumpUntil([&] {
    QWidget* focus = native->focusWidget();
    return focus && focus->hasFocus() && focus->inherits("QTextEdit");
  }));
  ASSERT_EQ(testsupport::runCommand("xdotool type --delay 20 'Say it all'"), 0);
  ASSERT_TRUE(pumpUntil([&] { return model->command.get() == "Say it all"; }));
  ASSERT_EQ(testsupport::runCommand("xdotool key Return"), 0);
  ASSERT_TRUE(
      pumpUntil([&] { return !model->isLoading && model->responseValue.get() == answer; }, 60s));
  desktoptest::pumpFor(500ms);
  desktoptest::Desktop::screenshot("panel-desktop-megabyte-start");
  ui::qt::ViewWidget* view = contentOf(native);
  ASSERT_NE(view, nullptr);
  auto drawn = [&](std::string_view text) {
    for (const auto& run : view->host().render().itemsOf<ui::DisplayItem::TextRun>())
      if (run.text.find(text) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(drawn("A long answer"));

  // The wheel, over the conversation.
  const auto conversation = view->host().frameOf("panel.conversation");
  ASSERT_TRUE(conversation);
  const QPoint at = view->mapToGlobal(QPoint(int(conversation->midX()), int(conversation->midY())));
  ASSERT_EQ(testsupport::runCommand("xdotool mousemove " + std::to_string(at.x()) + " " +
                                    std::to_string(at.y()) + " click --repeat 12 --delay 30 5"),
            0);
  ASSERT_TRUE(pumpUntil([&] { return !drawn("A long answer"); }));
  // All the way down, then a notch up and down again with the wheel.
  view->host().scrolled({conversation->midX(), conversation->midY()}, 0, 1e9);
  view->update();
  desktoptest::pumpFor(300ms);
  ASSERT_EQ(testsupport::runCommand("xdotool click --delay 60 4 click 5 click 5"), 0);
  desktoptest::pumpFor(500ms);
  // (What the window draws is what shows in it: the rest is left out of its display list.)
  EXPECT_TRUE(drawn("THE LAST PARAGRAPH")) << "the end of the answer is not drawn";
  EXPECT_TRUE(drawn("Say it all"));
  EXPECT_FALSE(drawn("A long answer"));
  EXPECT_GT(inkIn(screenPixelsOf(view)), 1000);
  desktoptest::Desktop::screenshot("panel-desktop-megabyte-end");
  window->panel().close();
  panel.reset();
}

}  // namespace
}  // namespace panel::testing
