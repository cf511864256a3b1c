// The prompt editor drawn offscreen by the Qt backend, written as PNG files for a person to
// look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>

#include "core/DataModel.h"
#include "shell/PromptEditorView.h"
#include "testsupport/ScopedHome.h"
#include "ui/ReadableColor.h"
#include "ui/qt/Screenshot.h"

namespace shell {
namespace {

QApplication& application() {
  static int argc = 1;
  static char name[] = "quill_shell_prompt_editor_screenshots";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct NoOpener : URLOpener {
  bool open(std::string_view) override { return false; }
};

core::PromptData preset(std::string emoji, std::string name, std::string prompt,
                        std::optional<std::string> kind) {
  core::PromptData p;
  p.emoji = std::move(emoji);
  p.name = std::move(name);
  p.prompt = std::move(prompt);
  p.promptType = std::move(kind);
  return p;
}

void click(ui::ViewHost& host, std::string_view identifier) {
  const auto frame = host.frameOf(identifier);
  ASSERT_TRUE(frame.has_value()) << identifier;
  const ui::Point centre{frame->midX(), frame->midY()};
  host.pointerPressed(ui::PointerEvent::at(centre));
  host.pointerReleased(ui::PointerEvent::at(centre));
  host.update();
}

void shoot(std::shared_ptr<core::DataModel> model, const std::string& name,
           std::function<void(ui::ViewHost&)> prepare = {}, ui::Size size = {900, 620}) {
  NoOpener opener;
  const std::filesystem::path dir = QUILL_SCREENSHOT_DIR;
  std::filesystem::create_directories(dir);
  for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    ui::qt::ScreenshotOptions options;
    options.scheme = scheme;
    options.prepare = prepare;
    const auto path =
        (dir / (name + (scheme == ui::ColorScheme::light ? "-light.png" : "-dark.png"))).string();
    ASSERT_TRUE(ui::qt::renderViewToPNG(PromptEditorView(model, &opener),
                                        ui::ProposedSize::of(size), path, options));
    std::cout << "screenshot: " << path << "\n";
  }
}

// Both tabs with a chosen preset and its form, a label longer than a line, and a window
// whose list is empty.
TEST(PromptEditorScreenshots, TabsFormAndEmptyList) {
  application();
  testsupport::ScopedHome home;
  auto model = std::make_shared<core::DataModel>();
  model->PromptM.get()->prompts.set(
      {preset("📝", "Summarize", "Summarize this: {selected text}", "context"),
       preset("📧", "Write an email", "Write an email about [topic].", "nonContext"),
       preset("🌐", "Translate", "Translate into English: {selected text}", std::nullopt),
       preset("✅", "Fix grammar and spelling, keeping the author's tone and wording",
              "Fix the grammar of: {selected text}", "context")});
  shoot(model, "prompt-editor");
  shoot(model, "prompt-editor-long-label",
        [](ui::ViewHost& host) { click(host, "promptEditor.row.2"); });
  shoot(model, "prompt-editor-without-sidebar",
        [](ui::ViewHost& host) { click(host, "promptEditor.toggleSidebar"); });
  // Mid-drag: the line shows where the chosen row would land.
  shoot(model, "prompt-editor-dragging", [](ui::ViewHost& host) {
    click(host, "promptEditor.row.0");
    const auto row = host.frameOf("promptEditor.row.0").value();
    const auto target = host.frameOf("promptEditor.row.2").value();
    host.pointerPressed(ui::PointerEvent::at({row.midX(), row.midY()}));
    host.pointerMoved(ui::PointerEvent::at({row.midX(), target.y + 3}));
    host.update();
  });
  shoot(model, "prompt-editor-smallest", {}, {640, 420});  // the window's minimum size
  shoot(model, "prompt-editor-non-context", [](ui::ViewHost& host) {
    click(host, "promptEditor.tab.Non-context");
    click(host, "promptEditor.row.0");
  });

  model->PromptM.get()->prompts.set({});
  shoot(model, "prompt-editor-empty");
}

// The contrast of the strongest pixel of `area` against the pixel at its top-left corner, the
// field's own colour.
double strongestContrast(const QImage& image, const ui::Rect& area) {
  auto rgba = [&](int x, int y) {
    const QColor c = image.pixelColor(x, y);
    return ui::Rgba{c.redF(), c.greenF(), c.blueF(), 1};
  };
  const ui::Rgba field = rgba(int(area.x) + 2, int(area.y) + 2);
  double most = 1;
  for (int y = int(area.minY()) + 2; y < int(area.maxY()) - 2; ++y)
    for (int x = int(area.minX()) + 2; x < int(area.maxX()) - 2; ++x)
      most = std::max(most, ui::contrastRatio(rgba(x, y), field));
  return most;
}

// A preset whose name and emoji were cleared: the fields show their placeholders, which read as
// hints, lighter than typed text, yet readable.
TEST(PromptEditorScreenshots, ClearedFieldsShowReadablePlaceholders) {
  application();
  testsupport::ScopedHome home;
  auto model = std::make_shared<core::DataModel>();
  model->PromptM.get()->prompts.set({preset("", "", "Hi", "context")});
  NoOpener opener;
  for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    const std::string name = std::string("prompt-editor-placeholders-") +
                             (scheme == ui::ColorScheme::light ? "light" : "dark");
    ui::qt::ScreenshotOptions options;
    options.scheme = scheme;
    ui::Rect field, typed;
    options.prepare = [&](ui::ViewHost& host) {
      for (const auto& widget : host.render().itemsOf<ui::DisplayItem::PlaceWidget>()) {
        if (widget.id == ui::Identity("editor.name")) field = widget.frame;
        if (widget.id == ui::Identity("editor.prompt")) typed = widget.frame;
      }
    };
    const QImage image =
        ui::qt::renderView(PromptEditorView(model, &opener), {900.0, 620.0}, options);
    const auto path = std::filesystem::path(QUILL_SCREENSHOT_DIR) / (name + ".png");
    EXPECT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));
    std::cout << "screenshot: " << path.string() << "\n";
    ASSERT_GT(field.width, 0);
    ASSERT_GT(typed.width, 0);
    const double hint = strongestContrast(image, field);
    const double text = strongestContrast(image, {typed.x, typed.y, typed.width, 24});
    EXPECT_GE(hint, ui::kReadableContrast) << name;
    EXPECT_LT(hint, 0.75 * text) << name << ": the placeholder is lighter than typed text";
  }
}

}  // namespace
}  // namespace shell
