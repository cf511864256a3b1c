#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "BenchEnvironment.h"
#include "ResidentMemory.h"
#include "core/DataModel.h"
#include "foundation/DispatchQueue.h"
#include "foundation/FreedMemory.h"
#include "panel/FloatingViewController.h"
#include "ui/SystemEnvironment.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/QtTextMeasurer.h"
#include "ui/qt/ShapedTextCache.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

// Long answers in the panel, as a user meets them: a token of a streamed answer at 20, 100 and
// 500 KiB (the view on the answer's start, and on its end); the end of a stream of 20 KiB to
// 1 MB (its last 2 KiB of tokens, then the frame in which the answer becomes Markdown); scrolling
// a finished answer of 1 MB at its top, middle and end; and the memory an answer takes while it
// is shown and leaves behind after "New chat". Every frame is the model's change, the panel's
// rebuild and layout with Qt's text shaping, the display list of the window and the paint into
// an image through the glyph cache a window keeps. Times are the main thread's CPU time (the
// machine is shared); each case gives its ratio to the smallest case of its kind in the same run.
namespace {

constexpr double kWidth = 612, kHeight = 600;

QGuiApplication& application() {
  return bench::offscreenApplication("bench_panel_long_answer", {.pinFonts = true});
}

double threadMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

std::string section(int n) {
  const std::string i = std::to_string(n);
  return "## Part " + i + "\n\nThis paragraph explains step " + i +
         " with *emphasis*, **strong words**, `inline code` and a [link](https://example.com/" + i +
         "). It runs on long enough to wrap across a few lines at the panel's width, as answers "
         "do.\n\n- first point about " +
         i +
         "\n- second point, a little longer than the first\n- third point\n\n1. one\n2. two\n"
         "3. three\n\n";
}

std::string codeBlock(int n) {
  std::string s = "```swift\n";
  for (int line = 0; line < 12; ++line)
    s += "let value" + std::to_string(line) + " = compute(" + std::to_string(n * line) + ")\n";
  return s + "```\n\n";
}

// Headings, paragraphs, lists, a table every so often and code blocks, `bytes` long.
std::string answerText(std::size_t bytes) {
  std::string text = "# Answer\n\n";
  for (int n = 0; text.size() < bytes; ++n) {
    text += section(n);
    if (n % 11 == 2)
      text +=
          "| Name | Kind | Size |\n|:-----|:----:|-----:|\n| alpha | file | 12 |\n"
          "| beta | folder | 3 |\n\n";
    if (n % 7 == 3) text += codeBlock(n);
  }
  text.resize(bytes);
  return text;
}

using bench::ResidentMemory;
using bench::residentMemory;

struct Panel {
  Panel() {
    application();
    bench::benchHome();
    model = std::make_shared<core::DataModel>();
    panel::FloatingViewOptions options;
    measurer = std::make_shared<ui::qt::QtTextMeasurer>();
    options.measurer = measurer;
    controller = std::make_unique<panel::FloatingViewController>(model, options);
    // What a window does when a conversation is put away.
    controller->host().setEnvironment(ui::Environment().with<ui::ReleaseCachesKey>(
        std::make_shared<const std::function<void()>>([this] {
          foundation::DispatchQueue::main().async([this] {
            shapedText.clear();
            measurer->clearCache();
            foundation::returnFreedMemory();
          });
        })));
    controller->setSize({kWidth, kHeight});
  }
  void start() {
    model->isLoading = false;
    model->messages = {core::ChatMessage::make("system", "You are a helpful assistant."),
                       core::ChatMessage::make("user", "Explain it at length"),
                       core::ChatMessage::make("assistant", "")};
    model->responseValue = "";
    model->isLoading = true;
    frame();
  }
  // One piece of the stream, as the model takes it.
  void append(std::string_view piece) {
    model->responseValue.modify([&](std::string& s) { s += piece; });
    model->messages.modify([&](auto& list) { list.back().content += piece; });
  }
  // Streams `text` from where the answer stands up to `end`, in pieces of `piece` bytes with a
  // frame each, but drawing nothing: the stream before what is timed.
  void streamTo(const std::string& text, std::size_t end, std::size_t piece) {
    for (std::size_t at = model->responseValue->size(); at < end; at += piece) {
      append(std::string_view(text).substr(at, std::min(piece, end - at)));
      controller->update();
    }
    frame();
  }
  void frame() {
    const double t0 = threadMs();
    controller->update();
    const double t1 = threadMs();
    const ui::DisplayList list = controller->host().render(ui::Rect{0, 0, kWidth, kHeight});
    const double t2 = threadMs();
    QPainter painter(&image);
    ui::qt::paintDisplayList(list, painter, &shapedText);
    painter.end();
    const double t3 = threadMs();
    phases[0] += t1 - t0;
    phases[1] += t2 - t1;
    phases[2] += t3 - t2;
  }
  double phases[3] = {0, 0, 0};
  void finish() {
    model->isLoading = false;
    frame();
  }
  bool scroll(double dy) {
    const ui::Rect conversation =
        controller->host().frameOf("panel.conversation").value_or(ui::Rect{0, 100, kWidth, 400});
    return controller->host().scrolled({conversation.midX(), conversation.midY()}, 0, dy);
  }
  void newChat() {
    model->handleEscape();
    foundation::MainRunLoop::runFor(std::chrono::milliseconds(5));
    frame();
  }

  std::shared_ptr<ui::qt::QtTextMeasurer> measurer;
  std::shared_ptr<core::DataModel> model;
  std::unique_ptr<panel::FloatingViewController> controller;
  QImage image{int(kWidth), int(kHeight), QImage::Format_ARGB32_Premultiplied};
  // As the window keeps it.
  ui::qt::ShapedTextCache shapedText;
};

// The cost of the smallest case of each kind, for the ratios.
std::map<std::string, double>& baselines() {
  static std::map<std::string, double> values;
  return values;
}
void reportRatio(benchmark::State& state, const std::string& kind, bool isBaseline, double value) {
  if (isBaseline) baselines()[kind] = value;
  if (auto it = baselines().find(kind); it != baselines().end() && it->second > 0)
    state.counters["ratio"] = value / it->second;
}

// A token of 4 bytes at an answer of `range(0)` KiB, with the view on the answer's start (0) or
// its end (1). The tokens are the answer's own, so some end a block, and every 4 KiB the part
// laid out as Markdown behind the plain text is prepared anew, as while a real answer streams.
void BM_LongAnswerToken(benchmark::State& state) {
  const std::size_t size = std::size_t(state.range(0)) * 1024;
  const bool atEnd = state.range(1) == 1;
  constexpr std::size_t kToken = 4, kTimed = 8 * 1024;
  const std::string text = answerText(size + kTimed);
  Panel panel;
  auto prepare = [&] {
    panel.start();
    panel.streamTo(text, size, 1024);
    if (atEnd) {
      panel.scroll(1e9);
      panel.frame();
    }
  };
  prepare();
  double cpu = 0, longest = 0;
  std::size_t at = size, tokens = 0;
  for (auto _ : state) {
    const double before = threadMs();
    panel.append(std::string_view(text).substr(at, kToken));
    panel.frame();
    const double spent = threadMs() - before;
    cpu += spent;
    longest = std::max(longest, spent);
    ++tokens;
    at += kToken;
    if (at + kToken > text.size()) {
      state.PauseTiming();
      prepare();
      at = size;
      state.ResumeTiming();
    }
  }
  const double perToken = cpu / double(tokens);
  state.counters["updateMs"] = panel.phases[0] / double(tokens);
  state.counters["renderMs"] = panel.phases[1] / double(tokens);
  state.counters["paintMs"] = panel.phases[2] / double(tokens);
  state.counters["tokenCpuMs"] = perToken;
  state.counters["longestMs"] = longest;
  reportRatio(state, atEnd ? "token-end" : "token-start", state.range(0) == 20, perToken);
}
BENCHMARK(BM_LongAnswerToken)
    ->Args({20, 0})
    ->Args({100, 0})
    ->Args({500, 0})
    ->Args({20, 1})
    ->Args({100, 1})
    ->Args({500, 1})
    ->Iterations(2048)
    ->Unit(benchmark::kMillisecond);

// The end of a streamed answer of `range(0)` KiB: its last 2 KiB in tokens of 16 bytes, each
// a frame, then the frame in which it becomes Markdown (`endFrameMs`, goal <= 33 ms). The
// stream before is not timed.
void BM_LongAnswerEnd(benchmark::State& state) {
  const std::size_t size = std::size_t(state.range(0)) * 1024;
  constexpr std::size_t kTimed = 2048, kToken = 16;
  const std::string text = answerText(size);
  Panel panel;
  double tokensCpu = 0, endCpu = 0, endLongest = 0;
  for (auto _ : state) {
    state.PauseTiming();
    panel.start();
    panel.streamTo(text, size - kTimed, 1024);
    state.ResumeTiming();
    const double before = threadMs();
    for (std::size_t at = size - kTimed; at < size; at += kToken) {
      panel.append(std::string_view(text).substr(at, kToken));
      panel.frame();
    }
    const double ending = threadMs();
    panel.finish();
    const double end = threadMs() - ending;
    tokensCpu += ending - before;
    endCpu += end;
    endLongest = std::max(endLongest, end);
  }
  const double n = double(state.iterations());
  state.counters["lastTokensMs"] = tokensCpu / n;
  state.counters["endFrameMs"] = endCpu / n;
  state.counters["endFrameMaxMs"] = endLongest;
  state.counters["nodes"] = double(panel.controller->host().nodeCount());
  reportRatio(state, "end", state.range(0) == 20, endCpu / n);
}
BENCHMARK(BM_LongAnswerEnd)
    ->Arg(20)
    ->Arg(100)
    ->Arg(500)
    ->Arg(1024)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// A frame of scrolling a finished answer of 1 MB by 40 points, at its top (0), its middle (1) and
// its end (2), going down at the top and in the middle and up at the end.
void BM_LongAnswerScroll(benchmark::State& state) {
  const std::string text = answerText(1024 * 1024);
  Panel panel;
  panel.start();
  panel.streamTo(text, text.size(), 16 * 1024);
  panel.finish();
  const int where = int(state.range(0));
  auto place = [&] {
    panel.scroll(-1e9);
    panel.frame();
    if (where == 2) {
      panel.scroll(1e9);
    } else if (where == 1) {
      // Halfway down the scroll view's content.
      const std::string dump = panel.controller->host().dump();
      const auto at = dump.find("content=");
      const double height =
          at == std::string::npos ? 0 : std::stod(dump.substr(dump.find('x', at) + 1));
      panel.scroll(height / 2);
    }
    panel.frame();
    panel.frame();
  };
  place();
  const double step = where == 2 ? -40 : 40;
  double cpu = 0, longest = 0;
  int frames = 0;
  for (auto _ : state) {
    const double before = threadMs();
    panel.scroll(step);
    panel.frame();
    const double spent = threadMs() - before;
    cpu += spent;
    longest = std::max(longest, spent);
    if (++frames % 200 == 0) {
      state.PauseTiming();
      place();
      state.ResumeTiming();
    }
  }
  state.counters["frameCpuMs"] = cpu / double(frames);
  state.counters["longestMs"] = longest;
  reportRatio(state, "scroll", where == 0, cpu / double(frames));
}
BENCHMARK(BM_LongAnswerScroll)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(600)
    ->Unit(benchmark::kMillisecond);

// Resident memory of the process around answers of 20 KiB, each streamed in pieces of 64 bytes
// and shown as Markdown: after the first is shown (`shownMB`, above the panel without an answer,
// goal <= 5), after "New chat" (`afterNewChatMB`), and after 100 such answers, each followed
// by "New chat" (`after100MB`).
void BM_LongAnswerMemory(benchmark::State& state) {
  const std::string first = answerText(20 * 1024);
  Panel panel;
  panel.frame();
  // Warm up the fonts, the highlighter and the caches with an unrelated answer first.
  panel.start();
  panel.streamTo(answerText(4096), 4096, 64);
  panel.finish();
  panel.newChat();
  double shown = 0, afterNewChat = 0, after100 = 0;
  for (auto _ : state) {
    const ResidentMemory base = residentMemory();
    panel.start();
    panel.streamTo(first, first.size(), 64);
    panel.finish();
    const ResidentMemory withAnswer = residentMemory();
    state.counters["layoutCacheKiB"] = double(panel.measurer->stats().cachedBytes) / 1024;
    state.counters["layouts"] = double(panel.measurer->stats().cachedLayouts);
    state.counters["advanceKiB"] = double(panel.measurer->stats().cachedAdvanceBytes) / 1024;
    state.counters["shapedTexts"] = double(panel.shapedText.size());
    state.counters["nodesShown"] = double(panel.controller->host().nodeCount());
    panel.newChat();
    const ResidentMemory closed = residentMemory();
    for (int i = 0; i < 100; ++i) {
      // Each answer its own words, so none is drawn from what an earlier one left.
      std::string answer = answerText(20 * 1024);
      for (char& c : answer)
        if (c >= 'a' && c <= 'y' && (&c - answer.data()) % 7 == i % 7) c = char(c + 1);
      panel.start();
      panel.streamTo(answer, answer.size(), 1024);
      panel.finish();
      panel.newChat();
    }
    const ResidentMemory end = residentMemory();
    shown = withAnswer.rss - base.rss;
    afterNewChat = closed.rss - base.rss;
    after100 = end.rss - base.rss;
    state.counters["baseMB"] = base.rss;
  }
  state.counters["shownMB"] = shown;
  state.counters["afterNewChatMB"] = afterNewChat;
  state.counters["after100MB"] = after100;
}
BENCHMARK(BM_LongAnswerMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
