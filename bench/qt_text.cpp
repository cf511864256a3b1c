// Lays out and paints a 20 KiB mixed-style attributed text at 600 points, with a cold
// measurer (nothing cached) and with a warm one (the paragraph's layout cached).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <memory>

#include "ui/Views.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/QtTextMeasurer.h"

namespace {

void ensureApp() {
  static int argc = 1;
  static char name[] = "bench_qt_text";
  static char* argv[] = {name, nullptr};
  if (!QGuiApplication::instance()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
  }
}

ui::Text mixedText() {
  using ui::AttributeContainer;
  using ui::AttributedString;
  AttributeContainer bold, italic, code, link;
  bold.font = ui::Font::body().bold();
  italic.font = ui::Font::body().italic();
  code.font = ui::Font::body().monospaced();
  link.link = foundation::URL::parse("https://example.com/docs");
  AttributedString s;
  int i = 0;
  while (s.characters().size() < 20 * 1024) {
    s += AttributedString("The assistant streams its answer into the panel, ");
    s += AttributedString("word after word", bold);
    s += AttributedString(", and the reader follows ");
    s += AttributedString("every change", italic);
    s += AttributedString(" with ");
    s += AttributedString("let value = compute(" + std::to_string(i++) + ")", code);
    s += AttributedString(" and a ");
    s += AttributedString("link to the documentation", link);
    s += AttributedString(". ");
  }
  return ui::Text::attributed(s);
}

void layOutAndPaint(benchmark::State& state, bool cached, bool paint = true) {
  ensureApp();
  const ui::Text text = mixedText();
  auto warm = std::make_shared<ui::qt::QtTextMeasurer>();
  QImage image(600, 100, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    auto measurer = cached ? warm : std::make_shared<ui::qt::QtTextMeasurer>();
    ui::ViewHost host(ui::AnyView(text).font(ui::Font::body()), measurer);
    host.setProposal({600.0, std::nullopt});
    host.update();
    const ui::DisplayList list = host.render();
    if (paint) {
      QPainter painter(&image);
      ui::qt::paintDisplayList(list, painter);
      painter.end();
    }
    benchmark::DoNotOptimize(list.items().size());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.plainText().size()));
}

void BM_QtText_Cold(benchmark::State& state) {
  layOutAndPaint(state, false);
}
void BM_QtText_Cached(benchmark::State& state) {
  layOutAndPaint(state, true);
}
// The same without painting: what the cache saves of the layout itself.
void BM_QtTextLayout_Cold(benchmark::State& state) {
  layOutAndPaint(state, false, false);
}
void BM_QtTextLayout_Cached(benchmark::State& state) {
  layOutAndPaint(state, true, false);
}
BENCHMARK(BM_QtText_Cold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtText_Cached)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtTextLayout_Cold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtTextLayout_Cached)->Unit(benchmark::kMillisecond);

}  // namespace
