#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchEnvironment.h"
#include "core/DataModel.h"
#include "foundation/DispatchQueue.h"
#include "foundation/UserDefaults.h"
#include "panel/FloatingViewController.h"
#include "panel/FloatingViewState.h"
#include "ui/RepaintRegion.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/QtTextMeasurer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>

// A key typed into the input line while a finished answer is shown as Markdown. Each
// iteration is one whole key as the window runs it: the key offered to the view layer first
// (the focused input line and its ancestors, then the panel's key commands), the line's new
// text as its widget would set it, the model's reactions to the new command, the panel's
// rebuild and layout with Qt's text shaping, the display list of what the window shows, the
// region where it differs from the last key's, and the painting of that region offscreen (the
// painter clipped to it, as a window's paint is). The argument is the answer's size in KiB; 0
// is the panel with no answer.
namespace {

using bench::benchHome;

QGuiApplication& application() {
  return bench::offscreenApplication("bench_panel_typing",
                                     bench::OffscreenOptions{.pinFonts = true});
}

constexpr double kWidth = 600, kHeight = 600;

std::string section(int n) {
  const std::string i = std::to_string(n);
  return "## Part " + i + "\n\nThis paragraph explains step " + i +
         " with *emphasis*, **strong words**, `inline code` and a [link](https://example.com/" + i +
         "). It runs on long enough to wrap across a few lines at the panel's width, as answers "
         "do.\n\n- first point about " +
         i + "\n- second point, a little longer than the first\n- third point\n\n";
}

std::string codeBlock(int n) {
  std::string s = "```swift\n";
  for (int line = 0; line < 8; ++line)
    s += "let value" + std::to_string(line) + " = compute(" + std::to_string(n * line) + ")\n";
  return s + "```\n\n";
}

// Headings, paragraphs, lists, a table and code blocks, about `bytes` long.
std::string answer(std::size_t bytes) {
  std::string text = "# Answer\n\n";
  int n = 0;
  while (text.size() < bytes) {
    text += section(n);
    if (n == 2) text += "| Name | Kind |\n|:-----|-----:|\n| alpha | file |\n| beta | folder |\n\n";
    if (n % 5 == 3) text += codeBlock(n);
    ++n;
  }
  return text;
}

// Thread CPU time, for the shares of the frame's steps: on a shared machine wall time mostly
// measures the other programs.
std::chrono::nanoseconds threadTime() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// Runs what the main queue holds (the model's reactions, the frame request) until it is idle.
void drainMainQueue() {
  for (int round = 0; round < 16 && foundation::DispatchQueue::main().drain() > 0; ++round) {
  }
}

void BM_KeyTypedBesideAnswer(benchmark::State& state) {
  application();
  benchHome();
  auto model = std::make_shared<core::DataModel>();
  panel::FloatingViewOptions options;
  options.measurer = std::make_shared<ui::qt::QtTextMeasurer>();
  panel::FloatingViewController controller(model, options);
  controller.setSize({kWidth, kHeight});
  const std::size_t bytes = static_cast<std::size_t>(state.range(0)) * 1024;
  if (bytes > 0) {
    const std::string text = answer(bytes);
    model->messages = {core::ChatMessage::make("user", "Explain it in parts"),
                       core::ChatMessage::make("assistant", text)};
    model->responseValue = text;
  }
  model->isLoading = false;
  controller.requestFocus(panel::kInputLineFocus);
  drainMainQueue();
  controller.update();
  if (controller.focusedId() != ui::Identity(panel::kInputLineFocus)) {
    state.SkipWithError("the input line did not take the keyboard");
    return;
  }

  QImage frame(int(kWidth), int(kHeight), QImage::Format_ARGB32_Premultiplied);
  const ui::Rect window{0, 0, kWidth, kHeight};
  // What the window shows before a key, painted whole.
  ui::DisplayList shown;
  auto paintWhole = [&] {
    shown = controller.host().render(window);
    QPainter painter(&frame);
    ui::qt::paintDisplayList(shown, painter);
  };
  paintWhole();
  std::string command;
  std::chrono::nanoseconds update{}, render{}, region{}, paint{};
  double painted = 0;
  controller.host().resetStats();
  for (auto _ : state) {
    if (command.size() >= 40) {
      state.PauseTiming();
      command.clear();
      model->command = command;
      drainMainQueue();
      controller.update();
      paintWhole();
      state.ResumeTiming();
    }
    const auto t0 = threadTime();
    const char typed = static_cast<char>('a' + command.size() % 26);
    // The line edit takes what the view layer leaves, as in the window.
    if (!controller.keyPressed(ui::KeyEvent::typing(std::string(1, typed)))) {
      command += typed;
      model->command = command;
    }
    drainMainQueue();
    controller.update();
    const auto t1 = threadTime();
    ui::DisplayList list = controller.host().render(window);
    const auto t2 = threadTime();
    const auto changed = ui::RepaintRegion::between(shown, list);
    QRegion clip;
    for (const ui::Rect& r : changed.rects())
      clip += QRectF(r.x, r.y, r.width, r.height).toAlignedRect();
    clip &= frame.rect();
    const auto t3 = threadTime();
    if (!clip.isEmpty()) {
      QPainter painter(&frame);
      painter.setClipRegion(clip);
      ui::qt::paintDisplayList(list, painter, nullptr, &changed);
    }
    shown = std::move(list);
    const auto t4 = threadTime();
    update += t1 - t0;
    render += t2 - t1;
    region += t3 - t2;
    paint += t4 - t3;
    for (const QRect& r : clip) painted += double(r.width()) * r.height();
  }
  auto perKey = [&](std::chrono::nanoseconds d) {
    return std::chrono::duration<double, std::micro>(d).count() / double(state.iterations());
  };
  state.counters["rebuild_layout_us"] = perKey(update);
  state.counters["display_list_us"] = perKey(render);
  state.counters["region_us"] = perKey(region);
  state.counters["paint_us"] = perKey(paint);
  state.counters["painted_px/key"] = painted / double(state.iterations());
  const auto stats = controller.host().stats();
  const double n = double(state.iterations());
  state.counters["measured/key"] = double(stats.nodesMeasured) / n;
  state.counters["updated/key"] = double(stats.nodesUpdated) / n;
  state.counters["nodes"] = double(controller.host().nodeCount());
}
BENCHMARK(BM_KeyTypedBesideAnswer)
    ->Arg(0)
    ->Arg(2)
    ->Arg(20)
    ->Arg(100)
    ->Arg(500)
    ->Unit(benchmark::kMillisecond);

}  // namespace
