// The panel drawn offscreen by the Qt backend in its main states, written as PNG files for a
// person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <filesystem>

#include "../tests/PanelTestSupport.h"
#include "core/DocumentsFiles.h"
#include "markdown/ImageLoader.h"
#include "ui/SystemEnvironment.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/ImageDecoding.h"
#include "ui/qt/QtTextMeasurer.h"
#include "ui/qt/Screenshot.h"

namespace panel::testing {
namespace {

QApplication& application() {
  static int argc = 1;
  static char name[] = "quill_panel_screenshots";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class PanelScreenshots : public PanelTest {
 protected:
  void SetUp() override { application(); }
  // Writes the panel content at the panel's width; checks that something was drawn.
  void shoot(const std::string& name, double height = 520,
             ui::ColorScheme scheme = ui::ColorScheme::dark) {
    settle();
    const std::filesystem::path dir = QUILL_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    const auto path = (dir / (name + ".png")).string();
    ui::qt::ScreenshotOptions options;
    options.scheme = scheme;
    options.background = ui::Rgba{0.15, 0.3, 0.45, 1};  // a desktop behind the panel
    ASSERT_TRUE(ui::qt::renderViewToPNG(view().view(), {612.0, height}, path, options)) << path;
    const QImage image = ui::qt::renderView(view().view(), {612.0, height}, options);
    EXPECT_EQ(image.width() > 0, true);
    std::cout << "screenshot: " << path << "\n";
  }
  // Text measured as the panel measures it, in the panel's dark scheme, for drawing the host.
  void makeDarkContentMeasuredByQt() {
    FloatingViewOptions o = options();
    o.measurer = std::make_shared<ui::qt::QtTextMeasurer>();
    makeContent(o);
    view().host().setEnvironment(ui::Environment().with<ui::ColorSchemeKey>(ui::ColorScheme::dark));
  }
};

// The content's own host, drawn as it stands (scrolled or not), over a desktop colour.
void drawHost(ui::ViewHost& host, const std::string& name) {
  const ui::DisplayList list = host.render(ui::Rect{0, 0, 612, 500});
  QImage image(612, 500, QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(38, 77, 115));
  QPainter painter(&image);
  ui::qt::paintDisplayList(list, painter);
  painter.end();
  std::filesystem::create_directories(QUILL_SCREENSHOT_DIR);
  const auto path = std::filesystem::path(QUILL_SCREENSHOT_DIR) / (name + ".png");
  EXPECT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));
  std::cout << "screenshot: " << path.string() << "\n";
}

TEST_F(PanelScreenshots, EmptyWithPresets) {
  makeContent();
  shoot("panel-presets");
}

TEST_F(PanelScreenshots, FillInForm) {
  makeContent();
  model->selectedIndex = 0;
  model->sendPrompt();
  shoot("panel-fill-in");
}

TEST_F(PanelScreenshots, StreamingAndFinishedAnswer) {
  makeContent();
  const std::string answer =
      "Here is a comparison:\n\n| Language | Typing |\n|---|---|\n| Swift | static |\n"
      "| Python | dynamic |\n\nAnd some code:\n\n```swift\nlet greeting = \"Hello\"\n"
      "func add(_ a: Int, _ b: Int) -> Int { return a + b }\n```\n";
  // Half the answer at once, the rest a while later: the first picture is taken mid-stream.
  const std::size_t half = answer.find("And some code");
  std::vector<testsupport::LoopbackServer::Chunk> chunks;
  for (std::size_t i = 0; i < half; i += 7)
    chunks.push_back({std::chrono::milliseconds(0),
                      deltaEvent(answer.substr(i, std::min<std::size_t>(7, half - i)))});
  chunks.push_back(
      {std::chrono::milliseconds(1500), deltaEvent(answer.substr(half)) + "data: [DONE]\n\n"});
  server.stream(kChatPath, chunks);
  type("Compare Swift and Python");
  model->selectedIndex = -1;
  model->sendPrompt();
  ASSERT_TRUE(waitFor([&] { return model->responseValue->size() + 1 >= half; }));
  ASSERT_TRUE(model->isLoading);
  shoot("panel-streaming");
  ASSERT_TRUE(waitFor([&] { return !model->isLoading; }));
  EXPECT_EQ(model->responseValue.get(), answer);
  shoot("panel-answer", 640);
}

// A PNG of a horizontal gradient.
std::string png(int width, int height, QColor from, QColor to) {
  QImage image(width, height, QImage::Format_ARGB32);
  QPainter painter(&image);
  QLinearGradient gradient(0, 0, width, 0);
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

TEST_F(PanelScreenshots, AnswerImageBeforeAndAfterItsClick) {
  auto& loader = markdown::DefaultImageLoader::shared();
  loader.removeAllCachedImages();
  loader.setDecoder([](std::string_view bytes, std::size_t maxPixels) {
    return ui::qt::decodeImage(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        maxPixels * 4);
  });
  server.reply("/logo.png",
               {200, png(280, 90, QColor(40, 120, 220), QColor(230, 80, 160)), "image/png", {}});
  for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    const std::string suffix = scheme == ui::ColorScheme::light ? "-light" : "-dark";
    content.reset();
    loader.removeAllCachedImages();
    makeContent();
    const std::string logo = server.url("/logo.png?d=secret");
    const std::string answer = "Here is the project's logo:\n\n![Project logo](" + logo +
                               ")\n\nIt loads only when clicked.\n";
    model->messages = {core::ChatMessage::make("user", "Show me the logo"),
                       core::ChatMessage::make("assistant", answer)};
    model->responseValue = answer;
    model->isLoading = false;
    shoot("panel-answer-image-placeholder" + suffix, 400, scheme);
    click("answer.image " + logo);
    ASSERT_TRUE(waitFor(
        [&] { return !view().host().render().itemsOf<ui::DisplayItem::DrawImage>().empty(); }));
    shoot("panel-answer-image-loaded" + suffix, 400, scheme);
  }
  EXPECT_EQ(server.requests("/logo.png").size(), 2u);  // one click each
  loader.setDecoder({});
  loader.removeAllCachedImages();
}

// Whether every pixel of `area` (in points, scale 1) has the same colour.
bool plain(const QImage& image, const ui::Rect& area) {
  const QRgb first = image.pixel(int(area.x), int(area.y));
  for (int y = int(area.minY()); y < int(area.maxY()); ++y)
    for (int x = int(area.minX()); x < int(area.maxX()); ++x)
      if (image.pixel(x, y) != first) return false;
  return true;
}

// The lightest pixel of `area`, 0...255.
int lightest(const QImage& image, const ui::Rect& area) {
  int most = 0;
  for (int y = int(area.minY()); y < int(area.maxY()); ++y)
    for (int x = int(area.minX()); x < int(area.maxX()); ++x)
      most = std::max(most, qGray(image.pixel(x, y)));
  return most;
}

// The conversation with a short and a wide code block, as Markdown and as plain text, on a
// light and a dark desktop: the panel stays dark and its text light, the avatar keeps its place
// beside the answer, and "Copy code" shows whole.
TEST_F(PanelScreenshots, CodeBlocksInBothModesOnLightAndDarkDesktops) {
  const std::string answer =
      "Run it with:\n\n```\nls\n```\n\nThe loop:\n\n```python\nfor index, value in "
      "enumerate(values): print(f\"{index}: {value}\", \"and a tail that runs past the edge of "
      "the panel\")\n```\n\nMore text after the code.\n";
  for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    for (const bool markdown : {true, false}) {
      const std::string name = std::string("panel-code-") + (markdown ? "markdown" : "plain") +
                               (scheme == ui::ColorScheme::light ? "-light" : "-dark");
      SCOPED_TRACE(name);
      content.reset();
      FloatingViewOptions o = options();
      o.measurer = std::make_shared<ui::qt::QtTextMeasurer>();
      makeContent(o);
      if (view().state().markdownOn != markdown) view().state().toggleMarkdown();
      model->messages = {core::ChatMessage::make("user", "Show me a loop"),
                         core::ChatMessage::make("assistant", answer)};
      model->responseValue = answer;
      model->isLoading = false;
      settle();

      ui::Rect avatar, text, user, button;
      bool lightDividers = false;
      ui::qt::ScreenshotOptions shot;
      shot.scheme = scheme;
      shot.background = ui::Rgba{0.15, 0.3, 0.45, 1};
      shot.prepare = [&](ui::ViewHost& host) {
        avatar = host.frameOf("panel.avatar.1").value_or(ui::Rect{});
        text = host.frameOf("panel.answer.1").value_or(ui::Rect{});
        button = host.frameOf("copy-code").value_or(ui::Rect{});
        const ui::DisplayList list = host.render();
        for (const auto& run : list.itemsOf<ui::DisplayItem::TextRun>())
          if (run.text == "Show me a loop") user = run.frame;
        const ui::Rgba lightSeparator = ui::Color::separator().resolve(ui::ColorScheme::light);
        for (const auto& fill : list.itemsOf<ui::DisplayItem::FillPath>())
          lightDividers = lightDividers || fill.color == lightSeparator;
      };
      const QImage image = ui::qt::renderView(view().view(), {612.0, 560.0}, shot);
      const auto path = std::filesystem::path(QUILL_SCREENSHOT_DIR) / (name + ".png");
      std::filesystem::create_directories(path.parent_path());
      EXPECT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));
      std::cout << "screenshot: " << path.string() << "\n";

      EXPECT_GT(avatar.width, 8) << "the avatar has a width of its own";
      EXPECT_GE(text.x - avatar.maxX(), 8);
      // Nothing of the avatar spills into the gap before the answer.
      EXPECT_TRUE(
          plain(image, {avatar.maxX() + 1, avatar.y, text.x - avatar.maxX() - 2, avatar.height}));
      ASSERT_GT(user.width, 0);
      EXPECT_GT(lightest(image, user), 200) << "the user's message is light on the dark panel";
      EXPECT_FALSE(lightDividers) << "dividers drawn for the panel's dark background";
      if (markdown) {
        ASSERT_GT(button.width, 0);
        EXPECT_GE(button.x, text.x) << "the first block's button shows whole";
        EXPECT_LE(button.maxX(), text.maxX());
      }
    }
  }
}

TEST_F(PanelScreenshots, HistoryList) {
  // Read from the file as at start: the list opened first, the chats coming in once read.
  ASSERT_TRUE(core::saveJSONToDocuments(
      std::vector<core::oldMessagesStruct>{{"\U0001F9D1\u200D\U0001F4BB Code help", {}, 1, {}},
                                           {"\U0001F4E7 Email to the landlord", {}, 2, {}},
                                           {"\U0001F30D Trip to Lisbon", {}, 3, {}}},
      core::kHistoryFileName));
  makeModel();
  model->openHistory = true;
  makeContent();
  ASSERT_TRUE(waitFor([&] { return model->historyLoaded(); }));
  model->keyHistorySelected = 1;
  model->keyHistoryHover = 2;
  shoot("panel-history");
}

TEST_F(PanelScreenshots, LongAnswerScrolledToTheMiddle) {
  FloatingViewOptions o = options();
  o.measurer = std::make_shared<ui::qt::QtTextMeasurer>();
  makeContent(o);
  // Drawn from the content's own host: dark, as the panel is; the input line is a native
  // widget and is not in the picture.
  view().host().setEnvironment(ui::Environment().with<ui::ColorSchemeKey>(ui::ColorScheme::dark));
  std::string answer;
  for (int i = 0; i < 30; ++i) {
    const std::string n = std::to_string(i);
    answer += "## Part " + n + "\n\nStep " + n +
              " explained with **strong words** and `code`.\n\n" + "- a point about " + n +
              "\n- another point\n\n";
    if (i % 4 == 1) answer += "```swift\nlet value = compute(" + n + ")\n```\n\n";
  }
  model->messages = {core::ChatMessage::make("user", "Explain it in parts"),
                     core::ChatMessage::make("assistant", answer)};
  model->responseValue = answer;
  model->isLoading = false;
  settle();
  const ui::Rect scroll = frame("panel.conversation");
  ASSERT_TRUE(view().host().scrolled({scroll.midX(), scroll.midY()}, 0, 1500));
  settle();
  const ui::Rect window{0, 0, 612, 500};
  const ui::DisplayList list = view().host().render(window);
  bool middle = false, first = false;
  for (const auto& run : list.itemsOf<ui::DisplayItem::TextRun>()) {
    middle = middle || run.text.find("Part 1") != std::string::npos;
    first = first || run.text == "Part 0";
  }
  EXPECT_TRUE(middle);
  EXPECT_FALSE(first);  // scrolled out of view
  QImage image(612, 500, QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(38, 77, 115));  // a desktop behind the panel
  QPainter painter(&image);
  ui::qt::paintDisplayList(list, painter);
  painter.end();
  std::filesystem::create_directories(QUILL_SCREENSHOT_DIR);
  const auto path = std::filesystem::path(QUILL_SCREENSHOT_DIR) / "panel-long-answer-middle.png";
  EXPECT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));
  std::cout << "screenshot: " << path.string() << "\n";
}

TEST_F(PanelScreenshots, HugeSelectionShowsWholeToItsEnd) {
  makeDarkContentMeasuredByQt();
  std::string selection;
  for (int i = 0; selection.size() < 1024 * 1024; ++i)
    selection += "Line " + std::to_string(i) + " of the quarterly report that was selected.\n";
  selection += "The last line of the report.\n";
  model->messages = {core::ChatMessage::make("system", "You are a helpful assistant."),
                     core::ChatMessage::make("user", "Summarise\n###\n" + selection + "###"),
                     core::ChatMessage::make("assistant", "The report covers the quarter.")};
  model->responseValue = "The report covers the quarter.";
  model->isLoading = false;
  settle();
  drawHost(view().host(), "panel-huge-selection-top");
  // At the bottom: the end of the question and the system prompt.
  const ui::Rect scroll = frame("panel.conversation");
  ASSERT_TRUE(view().host().scrolled({scroll.midX(), scroll.midY()}, 0, 1e9));
  settle();
  bool lastLine = false;
  for (const auto& run : view().host().render().itemsOf<ui::DisplayItem::TextRun>())
    lastLine = lastLine || run.text.find("The last line of the report.") != std::string::npos;
  EXPECT_TRUE(lastLine);
  drawHost(view().host(), "panel-huge-selection-end");
}

TEST_F(PanelScreenshots, TwentyThousandSavedChats) {
  makeDarkContentMeasuredByQt();
  const char* emoji[] = {"\U0001F4CA", "\U0001F4E7", "\U0001F30D", "\U0001F9EA"};
  std::vector<core::oldMessagesStruct> chats;
  for (int i = 0; i < 20000; ++i)
    chats.push_back(
        {std::string(emoji[i % 4]) + " Chat number " + std::to_string(i), {}, 1.0 * i, {}});
  model->oldMessages = chats;
  ctrl("h");
  settle();
  model->keyHistorySelected = 12345;
  model->keyHistoryHover = 12343;
  settle();
  settle();
  EXPECT_TRUE(has("panel.history.12345"));
  drawHost(view().host(), "panel-history-20000");
}

TEST_F(PanelScreenshots, AnswerCutShortWithTheErrorBroughtIntoView) {
  makeDarkContentMeasuredByQt();
  std::string answer;
  for (int i = 0; i < 40; ++i)
    answer += "Step " + std::to_string(i) + ": a line of a long answer that was streaming.\n";
  // Read far down while it streamed; then the connection was lost.
  model->isLoading = true;
  model->messages = {core::ChatMessage::make("system", "You are a helpful assistant."),
                     core::ChatMessage::make("user", "Write the steps"),
                     core::ChatMessage::make("assistant", answer)};
  model->responseValue = answer;
  settle();
  const ui::Rect scroll = frame("panel.conversation");
  ASSERT_TRUE(view().host().scrolled({scroll.midX(), scroll.midY()}, 0, 1200));
  settle();
  model->error = "The network connection was lost.";
  model->isLoading = false;
  settle();
  const ui::DisplayList list = view().host().render(ui::Rect{0, 0, 612, 500});
  bool errorShown = false;
  for (const auto& run : list.itemsOf<ui::DisplayItem::TextRun>())
    errorShown = errorShown || run.text.find("connection was lost") != std::string::npos;
  EXPECT_TRUE(errorShown);
  drawHost(view().host(), "panel-answer-cut-short");
}

}  // namespace
}  // namespace panel::testing
