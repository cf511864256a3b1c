#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>

#include "markdown/Markdown.h"
#include "markdown/MarkdownEnvironment.h"
#include "ui/FakeTextMeasurer.h"
#include "ui/ViewHost.h"

#if __has_include("ui/qt/QtTextMeasurer.h")
#include <QGuiApplication>
#include <cstdlib>

#include "ui/qt/QtTextMeasurer.h"
#define QUILL_BENCH_QT 1
#endif

// An answer streamed into the Markdown view one ~4-byte token at a time, as the panel shows
// it: per token, parse the whole text, rebuild and lay out at 600 points, draw the display
// list. Reported per token, with each step's share. The second argument picks the text
// measurer: 0 the fixed metrics, 1 Qt's (when the Qt backend is built). The third, when 1,
// draws only what a 600-point-high window on the answer's end shows, as a scrolled panel does.

namespace {

std::string section(int n) {
  const std::string i = std::to_string(n);
  return "## Part " + i + "\n\n" + "This paragraph explains step " + i +
         " with *emphasis*, **strong words**, `inline code` and a [link](https://example.com/" + i +
         "). It runs on long enough to wrap across a few lines at the panel's width, as "
         "answers do.\n\n"
         "- first point about " +
         i +
         "\n- second point, a little longer than the first\n"
         "- third point\n\n"
         "1. one\n2. two\n3. three\n\n";
}

std::string codeBlock(int n) {
  std::string s = "```swift\n";
  for (int line = 0; line < 12; ++line)
    s += "let value" + std::to_string(line) + " = compute(" + std::to_string(n * line) + ")\n";
  return s + "```\n\n";
}

const char* kTable =
    "| Name | Kind | Size |\n|:-----|:----:|-----:|\n| alpha | file | 12 |\n"
    "| beta | folder | 3 |\n| gamma | link | 7 |\n\n";

// Headings, paragraphs, lists, one table and three code blocks, about `bytes` long.
std::string answer(std::size_t bytes) {
  std::string text = "# Answer\n\n";
  int n = 0;
  while (text.size() < bytes) {
    text += section(n);
    if (n == 2) text += kTable;
    if (n % 7 == 3) text += codeBlock(n);
    ++n;
  }
  return text;
}

ui::AnyView view(std::string_view text) {
  return markdown::markdownTextStyle(markdown::Markdown(text), markdown::FontSize(14));
}

void streamTokens(benchmark::State& state) {
  const std::string full = answer(static_cast<std::size_t>(state.range(0)));
  // Tokens are appended over the last stretch, so every one lands on an answer of full size.
  const std::size_t start = full.size() - 2048;
  std::shared_ptr<const ui::TextMeasurer> measurer = std::make_shared<ui::FakeTextMeasurer>();
#ifdef QUILL_BENCH_QT
  if (state.range(1) == 1) measurer = std::make_shared<ui::qt::QtTextMeasurer>();
#else
  if (state.range(1) == 1) return state.SkipWithError("built without the Qt backend");
#endif
  ui::ViewHost host(view(std::string_view(full).substr(0, start)), measurer);
  host.setProposal({600.0, std::nullopt});
  host.update();
  std::size_t end = start;
  // Thread CPU time: on a shared, busy machine wall time mostly measures the other programs.
  struct Clock {
    using duration = std::chrono::nanoseconds;
    static std::chrono::nanoseconds now() {
      timespec t{};
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
      return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    }
  };
  Clock::duration parse{}, update{}, render{};
  state.SetLabel("per token, thread CPU time");
  std::int64_t tokens = 0;
  double bodies = 0, created = 0, measured = 0;
  for (auto _ : state) {
    if (end + 4 > full.size()) {
      state.PauseTiming();
      end = start;
      host.setRoot(view(std::string_view(full).substr(0, end)));
      host.update();
      state.ResumeTiming();
    }
    end += 4;
    const auto t0 = Clock::now();
    markdown::Markdown markdown(std::string_view(full).substr(0, end));
    const auto t1 = Clock::now();
    host.setRoot(markdown::markdownTextStyle(markdown, markdown::FontSize(14)));
    host.resetStats();
    host.update();
    bodies += double(host.stats().bodiesEvaluated);
    created += double(host.stats().nodesCreated);
    measured += double(host.stats().nodesMeasured);
    const auto t2 = Clock::now();
    if (state.range(2) == 1) {
      const double height = host.rootSize().height;
      benchmark::DoNotOptimize(host.render(ui::Rect{0, std::max(0.0, height - 600), 600, 600}));
    } else {
      benchmark::DoNotOptimize(host.render());
    }
    const auto t3 = Clock::now();
    parse += t1 - t0;
    update += t2 - t1;
    render += t3 - t2;
    ++tokens;
  }
  auto perToken = [&](Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count() / double(tokens);
  };
  state.counters["parse_us"] = perToken(parse);
  state.counters["rebuild_layout_us"] = perToken(update);
  state.counters["display_list_us"] = perToken(render);
  state.counters["bytes"] = double(full.size());
  state.counters["bodies"] = bodies / double(tokens);
  state.counters["nodes_created"] = created / double(tokens);
  state.counters["nodes_measured"] = measured / double(tokens);
  state.counters["nodes"] = double(host.nodeCount());
}

}  // namespace

BENCHMARK(streamTokens)
    ->Args({20 * 1024, 0, 0})
    ->Args({20 * 1024, 1, 0})
    ->Args({20 * 1024, 1, 1})
    ->Args({100 * 1024, 0, 0})
    ->Args({100 * 1024, 1, 0})
    ->Args({100 * 1024, 1, 1})
    ->Unit(benchmark::kMicrosecond);

#ifdef QUILL_BENCH_QT
// Qt's fonts need an application object; offscreen, with the test fonts unless told otherwise.
int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QUILL_PIN_FONTS", "DejaVu", 0);
  QGuiApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
#endif
