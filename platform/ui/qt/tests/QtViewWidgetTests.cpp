#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTextEdit>
#include <QWheelEvent>
#include <filesystem>

#include "QtTestSupport.h"
#include "foundation/DispatchQueue.h"
#include "ui/SystemEnvironment.h"
#include "ui/Views.h"
#include "ui/qt/Screenshot.h"
#include "ui/qt/ViewWidget.h"

namespace ui::qt {
namespace {

void click(QWidget& w, QPointF at, int times = 1) {
  for (int i = 0; i < times; ++i) {
    QMouseEvent press(i == 0 ? QEvent::MouseButtonPress : QEvent::MouseButtonDblClick, at,
                      w.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w.mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &release);
  }
}

ScreenshotOptions white(double scale = 1) {
  ScreenshotOptions o;
  o.scale = scale;
  o.background = Rgba{1, 1, 1, 1};
  return o;
}
ScreenshotOptions schemed(ColorScheme scheme) {
  ScreenshotOptions o;
  o.scheme = scheme;
  return o;
}

AnyView Label13(std::string s) {
  return AnyView(Text::verbatim(std::move(s))).font(Font::system(13));
}

void key(QWidget& w, int k, Qt::KeyboardModifiers m = Qt::NoModifier, QString text = {}) {
  QKeyEvent press(QEvent::KeyPress, k, m, text);
  QApplication::sendEvent(&w, &press);
}

QPointF centre(ViewWidget& w, std::string_view id) {
  const auto r = w.host().frameOf(id);
  EXPECT_TRUE(r.has_value()) << id;
  return r ? QPointF(r->midX(), r->midY()) : QPointF();
}

TEST(QtPainter, PutsKnownColoursAtKnownPixels) {
  testing::app();
  const AnyView view = HStack(VAlign::top, 0,
                              {ColorView(Color::rgba(0xFF0000FF)).frame(20, 20),
                               ZStack({ColorView(Color::rgba(0x0000FFFF)).frame(20, 20),
                                       Circle().fill(Color::rgba(0x00FF00FF)).frame(10, 10)}),
                               ColorView(Color::rgba(0x000000FF)).frame(20, 20).opacity(0.5)});
  const QImage image = renderView(view, {}, white());
  ASSERT_EQ(image.size(), QSize(60, 20));
  EXPECT_EQ(image.pixelColor(5, 5), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(22, 2), QColor(0, 0, 255));
  EXPECT_EQ(image.pixelColor(30, 10), QColor(0, 255, 0));  // the circle's centre
  EXPECT_NEAR(image.pixelColor(50, 10).red(), 128, 2);     // half-transparent black on white
  // At twice the pixels the same points are twice as far.
  const QImage sharp = renderView(view, {}, white(2));
  EXPECT_EQ(sharp.size(), QSize(120, 40));
  EXPECT_EQ(sharp.pixelColor(60, 20), QColor(0, 255, 0));
}

TEST(QtViewWidget, ClicksWheelAndTabReachTheViews) {
  testing::app();
  int fired = 0;
  std::vector<AnyView> rows;
  for (int i = 0; i < 30; ++i) rows.push_back(Label13("row " + std::to_string(i)));
  ViewWidget w(VStack(HAlign::leading, 4,
                      {Button("Go", [&] { ++fired; }).accessibilityIdentifier("go"),
                       Label13("a").focusable("a"), Label13("b").focusable("b"),
                       ScrollView(VStack(HAlign::leading, 0, rows))
                           .frame(200, 100)
                           .accessibilityIdentifier("scroll")}));
  w.resize(300, 300);
  w.settle();
  click(w, centre(w, "go"));
  EXPECT_EQ(fired, 1);
  // A wheel notch down scrolls the list.
  const QPointF at = centre(w, "scroll");
  QWheelEvent wheel(at, w.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &wheel);
  w.settle();
  EXPECT_NE(w.host().dump().find("offset=0,48"), std::string::npos) << w.host().dump();
  key(w, Qt::Key_Tab);
  EXPECT_EQ(w.host().focusedId(), Identity("a"));
  key(w, Qt::Key_Tab);
  EXPECT_EQ(w.host().focusedId(), Identity("b"));
  key(w, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(w.host().focusedId(), Identity("a"));
}

// The window hands its views a way to let go of what it laid out and drew; used, it does so
// after the frame, and the text is laid out and drawn again as before.
TEST(QtViewWidget, ViewsCanHaveTheWindowReleaseItsTextCaches) {
  testing::app();
  ReleaseCachesKey::Value release;
  ViewWidget w(EnvironmentReader([&release](const Environment& env) {
    release = env.get<ReleaseCachesKey>();
    return Label13("some text").accessibilityIdentifier("text");
  }));
  w.resize(200, 100);
  w.settle();
  ASSERT_TRUE(release);
  const QImage before = w.grab().toImage();
  (*release)();
  QApplication::processEvents();
  foundation::MainRunLoop::runFor(std::chrono::milliseconds(5));
  w.update();
  w.settle();
  EXPECT_EQ(w.grab().toImage(), before);
}

struct Field final : View {
  std::shared_ptr<std::string> model;
  explicit Field(std::shared_ptr<std::string> m) : model(std::move(m)) {}
  AnyView body(BuildContext& ctx) const override {
    auto text = ctx.state<std::string>(*model);
    auto binding = Binding<std::string>([text] { return *text; },
                                        [text, m = model](std::string v) {
                                          *m = v;
                                          text.set(std::move(v));
                                        });
    TextEditorWidget editor;
    editor.text = binding;
    editor.growsWithContent = true;
    editor.bordered = false;
    editor.font = Font::system(18);
    return VStack(HAlign::leading, 0,
                  {TextField("name", "Name", binding).accessibilityIdentifier("field"),
                   Representable("cmd", editor).accessibilityIdentifier("cmd"),
                   Label13("below").accessibilityIdentifier("below")});
  }
};

TEST(QtViewWidget, HostedFieldsBindBothWaysWithoutMovingTheCaret) {
  testing::app();
  auto model = std::make_shared<std::string>("hello");
  ViewWidget w{Field(model)};
  w.resize(300, 300);
  w.settle();
  auto* line = w.findChild<QLineEdit*>();
  auto* edit = w.findChild<QTextEdit*>();
  ASSERT_TRUE(line && edit);
  EXPECT_EQ(line->text(), "hello");
  EXPECT_TRUE(line->isVisibleTo(&w));
  EXPECT_EQ(line->geometry().topLeft(), QPoint(0, 0));
  // Typing writes through; the model's echo of the same text leaves the caret alone.
  line->setCursorPosition(2);
  key(*line, Qt::Key_X, Qt::NoModifier, "x");
  EXPECT_EQ(*model, "hexllo");
  w.settle();
  EXPECT_EQ(line->cursorPosition(), 3);
  EXPECT_EQ(edit->toPlainText(), "hexllo");
  // Return is offered to the views first; Tab moves the layer's focus between the widgets.
  w.host().focus("name");
  EXPECT_TRUE(line->hasFocus() || !QApplication::focusWidget());
  key(*line, Qt::Key_Tab);
  EXPECT_EQ(w.host().focusedId(), Identity("cmd"));
  // The growing editor reports more height as lines are added; the layout follows.
  const double before = w.host().frameOf("below")->y;
  edit->setPlainText("one\ntwo\nthree\nfour");
  w.settle();
  EXPECT_GT(w.host().frameOf("below")->y, before + 40);
  EXPECT_EQ(*model, "one\ntwo\nthree\nfour");
}

// A field on a dark panel stays readable in a light window, and follows the window again when
// the panel's scheme agrees with it.
TEST(QtViewWidget, HostedWidgetsDrawInTheSchemeOfTheirViews) {
  testing::app();
  auto text = std::make_shared<std::string>("typed");
  auto panel = [text](ColorScheme scheme) {
    TextEditorWidget editor;
    editor.text = Binding<std::string>([text] { return *text; },
                                       [text](std::string t) { *text = std::move(t); });
    editor.bordered = false;
    TextFieldWidget field;
    field.text = editor.text;
    return VStack({Representable("editor", editor, {200, 40, true, false}),
                   Representable("field", field, {200, 24, true, false})})
        .environment<ColorSchemeKey>(scheme);
  };
  ViewWidget w{panel(ColorScheme::dark)};
  w.setColorScheme(ColorScheme::light);
  w.resize(300, 200);
  w.settle();
  auto* edit = w.findChild<QTextEdit*>();
  auto* line = w.findChild<QLineEdit*>();
  ASSERT_TRUE(edit && line);
  EXPECT_GT(edit->palette().color(QPalette::Text).lightness(), 200);
  // A hint: lighter than the dark window, dimmer than the text.
  EXPECT_GT(edit->palette().color(QPalette::PlaceholderText).lightness(), 120);
  EXPECT_LT(edit->palette().color(QPalette::PlaceholderText).lightness(),
            edit->palette().color(QPalette::Text).lightness());
  EXPECT_EQ(edit->palette().color(QPalette::Base).alpha(), 0);  // no border: see-through
  EXPECT_LT(line->palette().color(QPalette::Base).lightness(), 100);

  w.setRoot(panel(ColorScheme::light));
  w.settle();
  EXPECT_LT(edit->palette().color(QPalette::Text).lightness(), 100);
  EXPECT_EQ(line->palette().color(QPalette::Base), w.palette().color(QPalette::Base));
}

TEST(QtViewWidget, SamplePageScreenshot) {
  testing::app();
  AttributeContainer link;
  link.link = foundation::URL::parse("https://example.com");
  link.underlineStyle = LineStyle::single();
  const Text paragraph = Text::attributed(
      AttributedString("A wrapped paragraph of running text with a ") +
      AttributedString("link to somewhere", link) +
      AttributedString(" in the middle, long enough to need three lines at this width."));
  bool on = true;
  const AnyView page =
      VStack(HAlign::leading, 10,
             {Text::verbatim("Large title").font(Font::largeTitle()),
              Text::verbatim("Headline, bold").font(Font::headline()),
              Text::verbatim("Serif italic")
                  .font(Font::system(17, Font::Weight::regular, Font::Design::serif).italic()),
              Text::verbatim("let mono = \"spaced\"").font(Font::system(13).monospaced()),
              Text::verbatim("Emoji 🪄✨ and ünïcödé").font(Font::body()),
              AnyView(paragraph).font(Font::body()).frame(FrameBounds{.maxWidth = 300}),
              HStack(VAlign::center, 10,
                     {RoundedRectangle(8).fill(Color::rgba(0x5E5CE6FF)).frame(60, 30),
                      Circle().fill(Color::rgba(0xFF453AFF)).frame(30, 30),
                      Capsule().strokeBorder(Color::rgba(0x32D74BFF), 2).frame(60, 30)}),
              HStack(VAlign::center, 10,
                     {Button("Continue", [] {}),
                      Toggle(Binding<bool>([&] { return on; }, [&](bool v) { on = v; }),
                             Text::verbatim("On top"))}),
              TextField("f", "Placeholder", Binding<std::string>::constant("A text field"))
                  .frame(FrameBounds{.maxWidth = 250})})
          .padding(16);
  const auto dir = std::filesystem::path(QUILL_SCREENSHOT_DIR);
  std::filesystem::create_directories(dir);
  for (auto [scheme, name] : {std::pair{ColorScheme::light, "sample-light.png"},
                              std::pair{ColorScheme::dark, "sample-dark.png"}}) {
    const QImage image = renderView(page, {400.0, {}}, schemed(scheme));
    EXPECT_TRUE(image.save(QString::fromStdString((dir / name).string())));
    EXPECT_GT(image.height(), 300);
  }
}

}  // namespace
}  // namespace ui::qt
