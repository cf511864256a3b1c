#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "foundation/DispatchQueue.h"
#include "markdown/DefaultImageProviders.h"
#include "markdown/Markdown.h"
#include "markdown/MarkdownEnvironment.h"
#include "testsupport/LoopbackServer.h"
#include "ui/ScrollView.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/ImageDecoding.h"
#include "ui/qt/QtTextMeasurer.h"
#include "ui/qt/ViewWidget.h"

namespace markdown {
namespace {

using namespace std::chrono_literals;

QApplication& app() {
  static int argc = 1;
  static char name[] = "quill_markdown_views_screenshot_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

std::string png(int width, int height, QColor from, QColor to) {
  QImage image(width, height, QImage::Format_ARGB32);
  QPainter painter(&image);
  QLinearGradient gradient(0, 0, width, height);
  gradient.setColorAt(0, from);
  gradient.setColorAt(1, to);
  painter.fillRect(image.rect(), gradient);
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

std::string document(const testsupport::LoopbackServer& server) {
  return "# Every block kind\n\n"
         "A paragraph with *emphasis*, **strong text**, ~~strikethrough~~, `inline code`, a "
         "[link](https://example.com) and an inline image ![dot](" +
         server.url("/dot.png") +
         ") standing on the baseline.\n"
         "A soft break joins this line, and a hard break ends it:  \nnext line.\n\n"
         "## Lists\n\n"
         "- a bullet\n- another, with a nested list\n  - nested once\n    - nested twice\n\n"
         "8. eight\n9. nine\n10. ten, the widest number\n\n"
         "- [x] a finished task\n- [ ] an open task\n\n"
         "> A quotation, set in italics\n> over two lines.\n\n"
         "```swift\nlet greeting = \"Hello\"\nprint(greeting) // says hello\n```\n\n"
         "<div class=\"note\">An HTML block, shown as written</div>\n\n"
         "| Left | Centre | Right |\n|:-----|:------:|------:|\n| a | b | c |\n"
         "| longer cell | x | 42 |\n\n"
         "---\n\n"
         "![A block image](" +
         server.url("/wide.png") +
         ")\n\n"
         "![one](" +
         server.url("/dot.png") + ")\n![two](" + server.url("/dot.png") + ")\n";
}

// Renders the document, images loaded, and saves it under `name`; returns the drawn list.
ui::DisplayList renderDocument(ui::ColorScheme scheme, const std::string& name) {
  app();
  DefaultImageLoader::shared().setDecoder([](std::string_view bytes, std::size_t maxPixels) {
    return ui::qt::decodeImage(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        maxPixels * 4);
  });
  testsupport::LoopbackServer server;
  server.reply("/wide.png",
               {200, png(320, 120, QColor(40, 120, 220), QColor(230, 80, 160)), "image/png", {}});
  server.reply("/dot.png",
               {200, png(14, 14, QColor(250, 180, 0), QColor(220, 60, 0)), "image/png", {}});

  ui::qt::ViewWidget widget(ui::AnyView(Markdown(std::string_view(document(server)))).padding(20));
  widget.setColorScheme(scheme);
  widget.resize(640, 100);
  widget.settle();
  widget.resize(640, widget.heightForWidth(640));
  // The images load over the loopback server, then the frame settles with them.
  foundation::MainRunLoop::runUntil(
      [&] {
        return server.requests().size() >= 2 &&
               widget.host().render().itemsOf<ui::DisplayItem::DrawImage>().size() >= 4;
      },
      10s);
  foundation::MainRunLoop::runFor(200ms);
  widget.settle();
  widget.resize(640, widget.heightForWidth(640));
  widget.settle();

  QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(scheme == ui::ColorScheme::dark ? QColor(30, 30, 30) : QColor(255, 255, 255));
  QPainter painter(&image);
  widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  painter.end();
  std::filesystem::create_directories(QUILL_SCREENSHOT_DIR);
  const std::string path = std::string(QUILL_SCREENSHOT_DIR) + "/" + name;
  EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
  return widget.host().render();
}

TEST(MarkdownScreenshot, EveryBlockKind) {
  const auto list = renderDocument(ui::ColorScheme::light, "markdown-every-block.png");
  const auto images = list.itemsOf<ui::DisplayItem::DrawImage>();
  std::size_t pictures = 0;
  for (const auto& d : images) {
    if (d.image.kind() != ui::Image::Kind::bitmap) continue;
    ++pictures;
    EXPECT_FALSE(d.tint) << "pictures keep their colours";
  }
  EXPECT_EQ(pictures, 4u) << "the block image, two in a flow and one inline";
  EXPECT_GE(list.itemsOf<ui::DisplayItem::StrokePath>().size(), 6u) << "table lines";
}

TEST(MarkdownScreenshot, EveryBlockKindDark) {
  const auto list = renderDocument(ui::ColorScheme::dark, "markdown-every-block-dark.png");
  for (const auto& run : list.itemsOf<ui::DisplayItem::TextRun>()) {
    if (run.text.find("paragraph") != std::string::npos) {
      EXPECT_GT(run.color.red, 0.5) << "light text on the dark background";
    }
  }
}

// A long answer: headings, paragraphs, lists, quotes, code and a table, over and over.
std::string longAnswer() {
  std::string text = "# A long answer\n\n";
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    text += "## Part " + n + "\n\nThis paragraph explains step " + n +
            " with *emphasis*, **strong words**, `inline code` and a [link](https://example.com)."
            " It runs on long enough to wrap across a few lines.\n\n- first point about " +
            n + "\n- second point\n\n> A quotation about " + n + "\n\n";
    if (i % 3 == 1) text += "```swift\nlet value = compute(" + n + ")\nprint(value)\n```\n\n";
    if (i % 5 == 2) text += "| Name | Size |\n|:--|--:|\n| alpha | " + n + " |\n\n";
  }
  return text;
}

QImage blank(QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  return image;
}

// Scrolled to its middle, the answer in a scroll view paints what the whole answer, moved up
// as far and drawn with nothing left out, shows there. (Scrolled a screenful at a time, as a
// reader goes: its blocks are laid out as they come near the view, and the first jump far
// down would place them by estimates of the blocks above.)
TEST(MarkdownScreenshot, LongAnswerScrolledToTheMiddle) {
  app();
  const std::string text = longAnswer();
  auto answer = [&] { return ui::AnyView(Markdown(std::string_view(text))).padding(20); };
  ui::qt::ViewWidget widget(ui::ScrollView(ui::ScrollAxes::vertical, false, answer()));
  widget.setColorScheme(ui::ColorScheme::light);
  widget.resize(640, 480);
  widget.settle();
  const double height = widget.host().sizeThatFits({640.0, std::nullopt}).height;
  for (int step = 0; step < 10; ++step) {
    ASSERT_TRUE(widget.host().scrolled({10, 10}, 0, 400));
    widget.settle();
  }
  ASSERT_TRUE(widget.host().scrolled({10, 10}, 0, 0.5));
  widget.settle();
  ASSERT_NE(widget.host().dump().find("offset=0,4000.5"), std::string::npos) << height;

  QImage image = blank(widget.size());
  QPainter painter(&image);
  widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  painter.end();
  std::filesystem::create_directories(QUILL_SCREENSHOT_DIR);
  EXPECT_TRUE(image.save(QString(QUILL_SCREENSHOT_DIR) + "/markdown-long-middle.png", "PNG"));

  ui::ViewHost whole(
      answer().fixedSize(false, true).offset(0, -4000.5).frame(640, 480, ui::Alignment::topLeading),
      std::make_shared<ui::qt::QtTextMeasurer>());
  whole.setProposal(ui::ProposedSize{640.0, 480.0});
  whole.update();
  QImage reference = blank(widget.size());
  QPainter referencePainter(&reference);
  ui::qt::paintDisplayList(whole.render(), referencePainter);
  referencePainter.end();
  int differing = 0, drawn = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      differing += image.pixel(x, y) != reference.pixel(x, y);
      drawn += image.pixel(x, y) != qRgb(255, 255, 255);
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(drawn, 5000);
}

// A table about as wide as an answer in the panel, in real fonts: the short columns keep their
// words whole and the long one wraps.
TEST(MarkdownScreenshot, NarrowTableKeepsShortWordsWhole) {
  app();
  const std::string table =
      "| Language | Typing | Notes |\n|---|---|---|\n"
      "| Swift | static | Types are checked when the program is compiled, so many mistakes are "
      "found before it ever runs |\n"
      "| Python | dynamic | Types are checked while the program runs, which keeps small scripts "
      "short and quick to write |\n";
  for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    ui::qt::ViewWidget widget(ui::AnyView(Markdown(std::string_view(table))).padding(10));
    widget.setColorScheme(scheme);
    widget.resize(510, 100);
    widget.settle();
    widget.resize(510, widget.heightForWidth(510));
    widget.settle();
    std::vector<std::string> texts;
    for (const auto& run : widget.host().render().itemsOf<ui::DisplayItem::TextRun>())
      texts.push_back(run.text);
    for (const char* word : {"Language", "Typing", "Swift", "static", "Python", "dynamic"})
      EXPECT_EQ(std::count(texts.begin(), texts.end(), word), 1) << word;

    const bool dark = scheme == ui::ColorScheme::dark;
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(dark ? QColor(30, 30, 30) : QColor(255, 255, 255));
    QPainter painter(&image);
    widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter.end();
    std::filesystem::create_directories(QUILL_SCREENSHOT_DIR);
    const QString name = dark ? "/markdown-narrow-table-dark.png" : "/markdown-narrow-table.png";
    EXPECT_TRUE(image.save(QString(QUILL_SCREENSHOT_DIR) + name, "PNG"));
  }
}

}  // namespace
}  // namespace markdown
