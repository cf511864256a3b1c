// The panel drawn after a sequence of edits, streamed tokens and setting changes, in which the
// layout of what did not change was reused, against the same state drawn by a panel built
// afresh: the pictures must be the same to the pixel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>

#include "../tests/PanelTestSupport.h"
#include "ui/ScrollView.h"
#include "ui/SystemEnvironment.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/QtTextMeasurer.h"

namespace panel::testing {
namespace {

QApplication& application() {
  static int argc = 1;
  static char name[] = "quill_panel_screenshots";
  static char* argv[] = {name, nullptr};
  static QApplication* app = QApplication::instance()
                                 ? static_cast<QApplication*>(QApplication::instance())
                                 : new QApplication(argc, argv);
  return *app;
}

constexpr ui::Size kPanel{612, 500};

// Headings, emphasis, lists, a table and code, cut into tokens of 5 bytes.
std::string answerText() {
  std::string text = "# Plan\n\n";
  for (int i = 0; i < 6; ++i) {
    const std::string n = std::to_string(i);
    text += "## Step " + n + "\n\nThis step explains part " + n +
            " with *emphasis*, **strong words** and `code`, long enough to wrap at the panel's "
            "width.\n\n- a point about " +
            n + "\n- another point\n\n";
    if (i == 2) text += "| Name | Kind |\n|---|---|\n| alpha | file |\n| beta | folder |\n\n";
    if (i % 3 == 1) text += "```swift\nlet value = compute(" + n + ")\nprint(value)\n```\n\n";
  }
  return text;
}

class PanelReuse : public PanelTest {
 protected:
  void SetUp() override {
    application();
    makeContent(qtOptions());
    scheme = ui::ColorScheme::dark;
    view().host().setEnvironment(environment());
    settle();
  }
  FloatingViewOptions qtOptions() {
    FloatingViewOptions o;
    o.measurer = measurer;
    return o;
  }
  ui::Environment environment() const { return ui::Environment().with<ui::ColorSchemeKey>(scheme); }

  static QImage draw(FloatingViewController& controller) {
    QImage image(int(kPanel.width), int(kPanel.height), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(38, 77, 115));  // a desktop behind the panel
    QPainter painter(&image);
    ui::qt::paintDisplayList(controller.host().render(ui::Rect{0, 0, kPanel.width, kPanel.height}),
                             painter);
    painter.end();
    return image;
  }
  // The same model and stored settings in a panel made now.
  QImage drawFresh() {
    FloatingViewController fresh(model, qtOptions());
    fresh.host().setEnvironment(environment());
    fresh.setSize(kPanel);
    // Its appear hooks read the stored settings; let what they change settle.
    for (int round = 0; round < 4; ++round) {
      foundation::MainRunLoop::runFor(std::chrono::milliseconds(5));
      fresh.update();
    }
    return draw(fresh);
  }
  // Compares the panel with a fresh one; writes both where they differ, for a person to see.
  // The conversation's scroll indicator may differ by a few points: each panel estimates the
  // length of the rows it never made from those it did.
  void expectAsIfBuiltAfresh(const std::string& step) {
    settle();
    QImage reused = draw(view());
    QImage fresh = drawFresh();
    if (const auto scroller = view().host().frameOf("panel.conversation")) {
      const QRectF indicator(scroller->maxX() - ui::kScrollIndicatorThickness, scroller->y,
                             ui::kScrollIndicatorThickness, scroller->height);
      for (QImage* image : {&reused, &fresh}) QPainter(image).fillRect(indicator, Qt::magenta);
    }
    const std::filesystem::path dir = QUILL_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    const auto name = "panel-reuse-" + step;
    reused.save(QString::fromStdString((dir / (name + ".png")).string()), "PNG");
    if (reused != fresh)
      fresh.save(QString::fromStdString((dir / (name + "-fresh.png")).string()), "PNG");
    EXPECT_TRUE(reused == fresh) << step << ": see " << (dir / name).string() << "*.png";
  }
  void typeKey(char c) {
    model->command = model->command.get() + c;
    settle(std::chrono::milliseconds(1));
  }
  void appendToken(const std::string& token) {
    model->responseValue.modify([&](std::string& s) { s += token; });
    model->messages.modify([&](auto& list) { list.back().content += token; });
    settle(std::chrono::milliseconds(1));
  }
  bool control(const std::string& character, bool shift = false) {
    return view().keyPressed(
        ui::KeyEvent{ui::Key::character, character, {.shift = shift, .control = true}, false});
  }

  std::shared_ptr<ui::qt::QtTextMeasurer> measurer = std::make_shared<ui::qt::QtTextMeasurer>();
  ui::ColorScheme scheme = ui::ColorScheme::dark;
};

TEST_F(PanelReuse, APanelAfterEditsAndStreamedTokensLooksAsIfBuiltAfresh) {
  // A panel made anew shows every preset; a command beginning with ":" searches none.
  for (char c : std::string(":plan")) typeKey(c);
  expectAsIfBuiltAfresh("typed");

  model->messages = {core::ChatMessage::make("user", "Plan it"),
                     core::ChatMessage::make("assistant", "")};
  model->isLoading = true;
  const std::string answer = answerText();
  std::size_t at = 0;
  for (; at < answer.size() / 2; at += 5) appendToken(answer.substr(at, 5));
  expectAsIfBuiltAfresh("streaming");
  for (; at < answer.size(); at += 5) appendToken(answer.substr(at, 5));
  ASSERT_EQ(model->messages->back().content, answer);
  model->isLoading = false;
  expectAsIfBuiltAfresh("finished");

  for (char c : std::string("More")) typeKey(c);
  expectAsIfBuiltAfresh("typed-beside-answer");

  ASSERT_TRUE(control("=", true));  // a larger font
  expectAsIfBuiltAfresh("larger-font");
  ASSERT_TRUE(control("m"));  // plain text
  expectAsIfBuiltAfresh("plain");
  ASSERT_TRUE(control("m"));
  typeKey('!');
  expectAsIfBuiltAfresh("markdown-again");

  scheme = ui::ColorScheme::light;
  view().host().setEnvironment(environment());
  expectAsIfBuiltAfresh("light");

  // A second answer streams beside the first, which shows as plain text meanwhile.
  model->messages.modify([](auto& list) {
    list.push_back(core::ChatMessage::make("user", "Again, shorter"));
    list.push_back(core::ChatMessage::make("assistant", ""));
  });
  model->isLoading = true;
  for (at = 0; at < answer.size() / 3; at += 7) appendToken(answer.substr(at, 7));
  expectAsIfBuiltAfresh("second-streaming");
  model->isLoading = false;
  expectAsIfBuiltAfresh("second-finished");
}

}  // namespace
}  // namespace panel::testing
