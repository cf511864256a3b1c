#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include "markdown/GrowingMarkdown.h"
#include "markdown/Markdown.h"
#include "markdown/MarkdownEnvironment.h"
#include "ui/FakeTextMeasurer.h"
#include "ui/ScrollView.h"
#include "ui/ViewHost.h"

#if __has_include("ui/qt/QtTextMeasurer.h")
#include <QGuiApplication>
#include <cstdlib>

#include "ui/qt/QtTextMeasurer.h"
#define QUILL_BENCH_QT 1
#endif

// An answer streamed into the Markdown view one ~4-byte token at a time: per token, parse what
// the text needs parsed again (from its last open block, as the panel does with GrowingMarkdown),
// rebuild and lay out at 600 points, draw the display list. Reported per token, with each step's
// share, and as a ratio to the 20 KiB case of the same kind. The second argument picks the text
// measurer: 0 the fixed metrics, 1 Qt's (when the Qt backend is built). The third: 0 lays out
// the whole answer with every block made (no scroll view around it); 1 shows it in a scroll view
// 600 points high that follows its end, as the panel does, with the blocks out of view not made.

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

ui::AnyView view(markdown::DocumentBlocks blocks, bool scrolled) {
  ui::AnyView document =
      markdown::markdownTextStyle(markdown::Markdown(std::move(blocks)), markdown::FontSize(14));
  return scrolled ? ui::ScrollView(std::move(document)) : document;
}

std::map<std::string, double>& baselines() {
  static std::map<std::string, double> values;
  return values;
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
  const bool scrolled = state.range(2) == 1;
  markdown::GrowingMarkdown growing;
  ui::ViewHost host(view(growing.parse(std::string_view(full).substr(0, start)), scrolled),
                    measurer);
  host.setProposal(scrolled ? ui::ProposedSize{600.0, 600.0}
                            : ui::ProposedSize{600.0, std::nullopt});
  host.update();
  auto followEnd = [&] {
    if (!scrolled) return;
    host.scrolled({300, 300}, 0, 1e9);
    host.update();
  };
  followEnd();
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
      growing = markdown::GrowingMarkdown();
      host.setRoot(view(growing.parse(std::string_view(full).substr(0, end)), scrolled));
      host.update();
      followEnd();
      state.ResumeTiming();
    }
    end += 4;
    const auto t0 = Clock::now();
    markdown::DocumentBlocks blocks = growing.parse(std::string_view(full).substr(0, end), true);
    const auto t1 = Clock::now();
    host.setRoot(view(std::move(blocks), scrolled));
    host.resetStats();
    host.update();
    bodies += double(host.stats().bodiesEvaluated);
    created += double(host.stats().nodesCreated);
    measured += double(host.stats().nodesMeasured);
    const auto t2 = Clock::now();
    benchmark::DoNotOptimize(host.render());
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
  const double total = perToken(parse + update + render);
  const std::string kind = std::to_string(state.range(1)) + "/" + std::to_string(state.range(2));
  if (state.range(0) == 20 * 1024) baselines()[kind] = total;
  if (auto it = baselines().find(kind); it != baselines().end() && it->second > 0)
    state.counters["ratio"] = total / it->second;
}

}  // namespace

BENCHMARK(streamTokens)
    ->Args({20 * 1024, 0, 0})
    ->Args({100 * 1024, 0, 0})
    ->Args({500 * 1024, 0, 0})
    ->Args({20 * 1024, 1, 1})
    ->Args({100 * 1024, 1, 1})
    ->Args({500 * 1024, 1, 1})
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
