#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchEnvironment.h"
#include "FeedSession.h"
#include "core/DataModel.h"
#include "foundation/DispatchQueue.h"
#include "foundation/UserDefaults.h"
#include "panel/FloatingViewController.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/QtTextMeasurer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

// The panel while an answer streams in: each token is appended to the model as the stream
// does, then the panel is rebuilt, laid out with Qt's text shaping, drawn into a display list
// and painted offscreen.
namespace {

using bench::benchHome;

QGuiApplication& application() {
  return bench::offscreenApplication("bench_panel_stream");
}

constexpr std::size_t kAnswerBytes = 20 * 1024;

// Markdown-like text with paragraphs, a list and a code block, cut into tokens of 4 bytes.
std::string answerText(std::size_t bytes) {
  const std::string unit =
      "Here is a paragraph about streams, with **bold** words and `code`.\n\n"
      "- one item\n- another item\n\n```swift\nlet x = compute(1, 2)\nprint(x)\n```\n\n";
  std::string text;
  while (text.size() < bytes) text += unit;
  text.resize(bytes);
  return text;
}

struct StreamingPanel {
  StreamingPanel() {
    application();
    benchHome();
    model = std::make_shared<core::DataModel>();
    panel::FloatingViewOptions options;
    measurer = std::make_shared<ui::qt::QtTextMeasurer>();
    options.measurer = measurer;
    controller = std::make_unique<panel::FloatingViewController>(model, options);
    controller->setSize({612, 600});
    model->messages = {core::ChatMessage::make("system", "You are a helpful assistant."),
                       core::ChatMessage::make("user", "Explain streams"),
                       core::ChatMessage::make("assistant", "")};
    model->isLoading = true;
  }
  // One token as the stream applies it.
  void append(const std::string& token) {
    model->responseValue.modify([&](std::string& s) { s += token; });
    model->messages.modify([&](auto& list) { list.back().content += token; });
  }
  void fill(const std::string& text) {
    model->responseValue = text;
    model->messages.modify([&](auto& list) { list.back().content = text; });
    controller->update();
  }

  // What the text-layout cache holds after the run, in KiB.
  void reportCache(benchmark::State& state) const {
    state.counters["cachedKiB"] = double(measurer->stats().cachedBytes) / 1024;
    state.counters["cachedLayouts"] = double(measurer->stats().cachedLayouts);
  }

  std::shared_ptr<ui::qt::QtTextMeasurer> measurer;
  std::shared_ptr<core::DataModel> model;
  std::unique_ptr<panel::FloatingViewController> controller;
};

// Model delta, rebuild, layout, display list and paint, at an answer of 20 to 24 KiB. The
// tokens are the answer's own, so some end a block, and twice in the 4 KiB the part shown as
// Markdown is prepared anew, as while a real answer streams.
void BM_TokenAt20KiB(benchmark::State& state) {
  StreamingPanel panel;
  constexpr std::size_t kToken = 4;
  const std::string text = answerText(kAnswerBytes + 4096);
  const std::string start = text.substr(0, kAnswerBytes);
  panel.fill(start);
  QImage frame(612, 600, QImage::Format_ARGB32_Premultiplied);
  std::size_t at = kAnswerBytes;
  for (auto _ : state) {
    panel.append(text.substr(at, kToken));
    at += kToken;
    panel.controller->update();
    const ui::DisplayList list = panel.controller->host().render();
    QPainter painter(&frame);
    ui::qt::paintDisplayList(list, painter);
    if (at >= text.size()) {
      state.PauseTiming();
      panel.fill(start);
      at = kAnswerBytes;
      state.ResumeTiming();
    }
  }
  panel.reportCache(state);
}
BENCHMARK(BM_TokenAt20KiB)->Unit(benchmark::kMillisecond);

// The share of rebuild and layout alone.
void BM_TokenLayoutOnlyAt20KiB(benchmark::State& state) {
  StreamingPanel panel;
  const std::string text = answerText(kAnswerBytes);
  panel.fill(text);
  std::size_t appended = 0;
  for (auto _ : state) {
    panel.append("abc ");
    panel.controller->update();
    if (++appended == 256) {
      state.PauseTiming();
      panel.fill(text);
      appended = 0;
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_TokenLayoutOnlyAt20KiB)->Unit(benchmark::kMillisecond);

// Drawing the settled panel into a display list.
void BM_DisplayListAt20KiB(benchmark::State& state) {
  StreamingPanel panel;
  panel.fill(answerText(kAnswerBytes));
  for (auto _ : state) benchmark::DoNotOptimize(panel.controller->host().render());
}
BENCHMARK(BM_DisplayListAt20KiB)->Unit(benchmark::kMillisecond);

// Painting the settled panel's display list offscreen.
void BM_PaintAt20KiB(benchmark::State& state) {
  StreamingPanel panel;
  panel.fill(answerText(kAnswerBytes));
  const ui::DisplayList list = panel.controller->host().render();
  QImage frame(612, 600, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter painter(&frame);
    ui::qt::paintDisplayList(list, painter);
  }
}
BENCHMARK(BM_PaintAt20KiB)->Unit(benchmark::kMillisecond);

// The same answer once finished: the whole text parsed and laid out as Markdown, each time it
// changes (what a token would cost if the answer were Markdown while it streams).
void BM_MarkdownAnswerAt20KiB(benchmark::State& state) {
  StreamingPanel panel;
  const std::string text = answerText(kAnswerBytes);
  panel.model->isLoading = false;
  panel.fill(text);
  std::size_t appended = 0;
  for (auto _ : state) {
    panel.append("abc ");
    panel.controller->update();
    benchmark::DoNotOptimize(panel.controller->host().render());
    if (++appended == 64) {
      state.PauseTiming();
      panel.fill(text);
      appended = 0;
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_MarkdownAnswerAt20KiB)->Unit(benchmark::kMillisecond);

// One event of the stream carrying `content` (JSON-escaped already), as the service sends it.
std::string deltaEvent(const std::string& escapedContent) {
  return "data: {\"id\":\"c\",\"object\":\"chat.completion.chunk\",\"choices\":[{\"index\":0,"
         "\"delta\":{\"content\":\"" +
         escapedContent + "\"}}]}\n\n";
}

// A flood: an answer of 20,000 pieces that the stream's thread feeds to the parser as fast as
// it takes them. Each iteration is one frame of the main thread: everything the main queue
// holds, then the panel's rebuild, layout, display list and paint. So the time per iteration
// is the main thread's time per frame while the flood lasts, and `piecesPerFrame` how much of
// the flood one frame took in.
void BM_FloodFrame(benchmark::State& state) {
  constexpr int kPieces = 20000;
  auto chunks = std::make_shared<std::vector<std::string>>();
  std::string chunk;
  for (int i = 0; i < kPieces; ++i) {
    chunk += deltaEvent(i % 23 == 22 ? "end\\n" : "word");
    if (chunk.size() >= 16 * 1024) chunks->push_back(std::exchange(chunk, {}));
  }
  chunks->push_back(chunk + "data: [DONE]\n\n");

  application();
  benchHome();
  core::DataModelEnvironment environment;
  environment.chatServiceBaseURL = "http://127.0.0.1:1";
  environment.streamSessionFactory = FeedSession::factory(chunks, true);
  auto model = std::make_shared<core::DataModel>(std::move(environment));
  panel::FloatingViewOptions options;
  options.measurer = std::make_shared<ui::qt::QtTextMeasurer>();
  panel::FloatingViewController controller(model, options);
  controller.setSize({612, 600});
  QImage frame(612, 600, QImage::Format_ARGB32_Premultiplied);

  auto& mainQueue = foundation::DispatchQueue::main();
  auto startStream = [&] {
    model->messages = std::vector<core::ChatMessage>{};
    model->streamChat("Flood me");
  };
  startStream();
  double pieces = 0, longest = 0, deepestQueue = 0;
  std::size_t streams = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    deepestQueue = std::max(deepestQueue, double(mainQueue.pendingCount()));
    const std::size_t before = model->responseValue->size();
    mainQueue.drain();
    controller.update();
    const ui::DisplayList list = controller.host().render(ui::Rect{0, 0, 612, 600});
    QPainter painter(&frame);
    ui::qt::paintDisplayList(list, painter);
    painter.end();
    longest = std::max(
        longest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
    pieces +=
        double(model->responseValue->size() - std::min(before, model->responseValue->size())) / 4;
    if (!model->isLoading) {
      state.PauseTiming();
      ++streams;
      startStream();
      state.ResumeTiming();
    }
  }
  state.counters["piecesPerFrame"] = benchmark::Counter(pieces, benchmark::Counter::kAvgIterations);
  state.counters["longestFrameMs"] = longest;
  state.counters["deepestMainQueue"] = deepestQueue;
  state.counters["streams"] = double(streams);
  mainQueue.drain();
}
BENCHMARK(BM_FloodFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The end of a streamed answer of 20 KiB: its last 2 KiB in pieces of 256 bytes, each a frame
// (model change, rebuild, layout, the window's display list, paint), then the frame in which
// the plain text it streamed as gives way to the answer as Markdown. The stream before, up to
// 18 KiB, is not timed; `endFrameMs` is the last frame alone.
void BM_AnswerEndsAt20KiB(benchmark::State& state) {
  StreamingPanel panel;
  constexpr std::size_t kPiece = 256, kTimed = 2048;
  const std::string text = answerText(kAnswerBytes);
  QImage frame(612, 600, QImage::Format_ARGB32_Premultiplied);
  auto drawFrame = [&] {
    panel.controller->update();
    const ui::DisplayList list = panel.controller->host().render(ui::Rect{0, 0, 612, 600});
    QPainter painter(&frame);
    ui::qt::paintDisplayList(list, painter);
    painter.end();
  };
  double measured = 0, created = 0, endFrame = 0;
  for (auto _ : state) {
    state.PauseTiming();
    panel.model->isLoading = true;
    panel.fill("");
    std::size_t at = 0;
    for (; at < text.size() - kTimed; at += kPiece) {
      panel.append(text.substr(at, kPiece));
      panel.controller->update();
    }
    panel.controller->host().resetStats();
    state.ResumeTiming();
    for (; at < text.size(); at += kPiece) {
      panel.append(text.substr(at, kPiece));
      drawFrame();
    }
    const auto endStart = std::chrono::steady_clock::now();
    panel.model->isLoading = false;
    drawFrame();
    endFrame +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - endStart)
            .count();
    measured += double(panel.controller->host().stats().nodesMeasured);
    created += double(panel.controller->host().stats().nodesCreated);
  }
  state.counters["endFrameMs"] = endFrame / double(state.iterations());
  state.counters["measured"] = measured / double(state.iterations());
  state.counters["created"] = created / double(state.iterations());
  state.counters["nodes"] = double(panel.controller->host().nodeCount());
}
BENCHMARK(BM_AnswerEndsAt20KiB)->Unit(benchmark::kMillisecond);

}  // namespace
