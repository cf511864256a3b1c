#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchEnvironment.h"
#include "FeedSession.h"
#include "core/DataModel.h"
#include "core/DocumentsFiles.h"
#include "foundation/Files.h"
#include "foundation/UserDefaults.h"
#include "panel/FloatingViewController.h"
#include "panel/KeyCommands.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/QtTextMeasurer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

// The panel with huge texts: a selection of 1 MB or 10 MB sent as context (the argument in KiB;
// 0 is a plain question, the baseline), and a history of 20,000 saved chats. What is timed is what
// the main thread does before the user sees the panel: build, lay out with Qt's text shaping, draw
// into a display list and paint offscreen.
namespace {

using bench::benchHome;

QGuiApplication& application() {
  return bench::offscreenApplication("bench_panel_large");
}

constexpr double kWidth = 612, kHeight = 600;

// Prose in lines of varying length, as a selection from a document would be.
std::string selectionText(std::size_t bytes) {
  const std::string unit =
      "The committee met on Tuesday to review the quarterly figures and the plans for next "
      "year.\nSales rose in every region but one, where a new competitor took a share.\n\n";
  std::string text;
  text.reserve(bytes + unit.size());
  while (text.size() < bytes) text += unit;
  text.resize(bytes);
  return text;
}

std::shared_ptr<core::DataModel> makeModel() {
  application();
  benchHome();
  return std::make_shared<core::DataModel>();
}

std::unique_ptr<panel::FloatingViewController> makePanel(
    const std::shared_ptr<core::DataModel>& model,
    const std::shared_ptr<ui::qt::QtTextMeasurer>& measurer) {
  panel::FloatingViewOptions options;
  options.measurer = measurer;
  return std::make_unique<panel::FloatingViewController>(model, options);
}

void paint(panel::FloatingViewController& panel) {
  static QImage frame(int(kWidth), int(kHeight), QImage::Format_ARGB32_Premultiplied);
  const ui::DisplayList list = panel.host().render(ui::Rect{0, 0, kWidth, kHeight});
  QPainter painter(&frame);
  ui::qt::paintDisplayList(list, painter);
}

// A conversation whose question carries the selection, and a short answer.
void holdConversation(core::DataModel& model, const std::string& selection) {
  model.messages = {core::ChatMessage::make("system", "You are a helpful assistant."),
                    core::ChatMessage::make("user", "Summarise this\n###\n" + selection + "\n###"),
                    core::ChatMessage::make("assistant", "The committee reviewed the figures.")};
  model.responseValue = "The committee reviewed the figures.";
}

// The panel shown with the conversation in it for the first time: a new panel content, as
// after a send, with nothing cached.
void BM_OpenWithSelection(benchmark::State& state) {
  auto model = makeModel();
  holdConversation(*model, selectionText(std::size_t(state.range(0)) * 1024));
  for (auto _ : state) {
    auto measurer = std::make_shared<ui::qt::QtTextMeasurer>();
    auto panel = makePanel(model, measurer);
    panel->setSize({kWidth, kHeight});
    paint(*panel);
    state.PauseTiming();
    panel.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OpenWithSelection)
    ->Arg(0)
    ->Arg(1024)
    ->Arg(10240)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The panel shown again with the same conversation, at another height (a reopen lays out
// anew): the frame the user waits for.
void BM_ReopenWithSelection(benchmark::State& state) {
  auto model = makeModel();
  holdConversation(*model, selectionText(std::size_t(state.range(0)) * 1024));
  auto measurer = std::make_shared<ui::qt::QtTextMeasurer>();
  auto panel = makePanel(model, measurer);
  panel->setSize({kWidth, kHeight});
  double height = kHeight;
  for (auto _ : state) {
    height = height == kHeight ? kHeight + 40 : kHeight;
    panel->setSize({kWidth, height});
    paint(*panel);
  }
}
BENCHMARK(BM_ReopenWithSelection)
    ->Arg(0)
    ->Arg(1024)
    ->Arg(10240)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Return with the selection as context: the prompt is made, the request encoded and started
// (to a service that has not answered yet), and the panel shows the question.
void BM_SendWithSelection(benchmark::State& state) {
  application();
  benchHome();
  core::DataModelEnvironment environment;
  environment.chatServiceBaseURL = "http://127.0.0.1:1";
  environment.streamSessionFactory =
      FeedSession::factory(std::make_shared<std::vector<std::string>>(), false);
  auto model = std::make_shared<core::DataModel>(std::move(environment));
  auto measurer = std::make_shared<ui::qt::QtTextMeasurer>();
  auto panel = makePanel(model, measurer);
  panel->setSize({kWidth, kHeight});
  const std::string selection = selectionText(std::size_t(state.range(0)) * 1024);
  for (auto _ : state) {
    state.PauseTiming();
    model->isLoading = false;
    model->messages = std::vector<core::ChatMessage>{};
    model->responseValue = "";
    model->selectedValue = selection;
    model->isContext = true;
    model->selectedIndex = -1;
    model->command = "Summarise";
    panel->update();
    paint(*panel);
    state.ResumeTiming();
    model->sendPrompt();
    panel->update();
    paint(*panel);
  }
}
BENCHMARK(BM_SendWithSelection)
    ->Arg(0)
    ->Arg(1024)
    ->Arg(10240)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A history of saved chats of about 5 KB each (20,000 make a file of about 100 MB).
std::vector<core::oldMessagesStruct> savedChats(int count) {
  std::vector<core::oldMessagesStruct> chats;
  chats.reserve(std::size_t(count));
  const std::string question = selectionText(2500), answer = selectionText(2500);
  for (int i = 0; i < count; ++i) {
    core::oldMessagesStruct chat;
    chat.topic = "\U0001F4CA Quarterly figures, part " + std::to_string(i);
    chat.message = {core::ChatMessage::make("user", question),
                    core::ChatMessage::make("assistant", answer)};
    chat.created = 1.7e9 + i;
    chats.push_back(std::move(chat));
  }
  return chats;
}

// Ctrl+H with the saved chats: the list comes on screen.
void BM_OpenHistory(benchmark::State& state) {
  auto model = makeModel();
  model->oldMessages = savedChats(int(state.range(0)));
  auto measurer = std::make_shared<ui::qt::QtTextMeasurer>();
  auto panel = makePanel(model, measurer);
  panel->setSize({kWidth, kHeight});
  paint(*panel);
  double nodes = 0;
  for (auto _ : state) {
    panel->commands().run(panel::PanelCommand::toggleHistory);
    panel->update();
    paint(*panel);
    state.PauseTiming();
    nodes = double(panel->host().nodeCount());
    panel->commands().run(panel::PanelCommand::toggleHistory);
    panel->update();
    state.ResumeTiming();
  }
  state.counters["nodes"] = nodes;
}
BENCHMARK(BM_OpenHistory)->Arg(200)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Scrolling the open history by a page.
void BM_ScrollHistory(benchmark::State& state) {
  auto model = makeModel();
  model->oldMessages = savedChats(int(state.range(0)));
  auto measurer = std::make_shared<ui::qt::QtTextMeasurer>();
  auto panel = makePanel(model, measurer);
  panel->setSize({kWidth, kHeight});
  panel->commands().run(panel::PanelCommand::toggleHistory);
  panel->update();
  paint(*panel);
  double direction = 1;
  int steps = 0;
  for (auto _ : state) {
    panel->scrolled({kWidth / 2, kHeight / 2}, 0, direction * 400);
    panel->update();
    paint(*panel);
    if (++steps == 40) {
      steps = 0;
      direction = -direction;
    }
  }
}
BENCHMARK(BM_ScrollHistory)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

const std::filesystem::path& historyFile() {
  static const std::filesystem::path file =
      benchHome() / "Documents" / core::kDocumentsFolderName / core::kHistoryFileName;
  return file;
}

// Start with a history file of that many saved chats (20,000 make about 100 MB). The model is
// made on the main thread, which goes on at once: the file is read on the writer's thread. Real
// time runs until the chats are in the model; CPU time is the main thread's own.
void BM_LoadHistoryFile(benchmark::State& state) {
  application();
  benchHome();
  core::saveJSONToDocuments(savedChats(int(state.range(0))), core::kHistoryFileName);
  std::size_t chats = 0;
  for (auto _ : state) {
    auto model = std::make_shared<core::DataModel>();
    if (!model->finishLoadingHistory()) state.SkipWithError("the history was not read in time");
    chats = model->oldMessages->size();
    state.PauseTiming();
    model.reset();
    state.ResumeTiming();
  }
  state.counters["chats"] = double(chats);
  std::filesystem::remove(historyFile());
}
BENCHMARK(BM_LoadHistoryFile)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The main thread's part of that start: the model made, before anything shows.
void BM_StartWithHistoryFile(benchmark::State& state) {
  application();
  benchHome();
  core::saveJSONToDocuments(savedChats(int(state.range(0))), core::kHistoryFileName);
  for (auto _ : state) {
    auto model = std::make_shared<core::DataModel>();
    state.PauseTiming();
    model.reset();  // waits for the read
    state.ResumeTiming();
  }
  std::filesystem::remove(historyFile());
}
BENCHMARK(BM_StartWithHistoryFile)
    ->Arg(20000)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Writes `chats` as the history file at each iteration; the list's type picks its encoding.
template <class Chats>
void writeHistoryEachIteration(benchmark::State& state, const Chats& chats) {
  std::filesystem::create_directories(historyFile().parent_path());
  for (auto _ : state) {
    const auto error = foundation::files::writeAtomically(historyFile(), core::encodeJSON(chats));
    if (error) state.SkipWithError(error.message().c_str());
  }
  std::filesystem::remove(historyFile());
}

// The whole list encoded as one JSON tree and written at once: what each titled save cost the
// main thread while it wrote the file itself. The baseline of the one below.
void BM_WriteHistoryWhole(benchmark::State& state) {
  application();
  benchHome();
  writeHistoryEachIteration(state, savedChats(int(state.range(0))));
}
BENCHMARK(BM_WriteHistoryWhole)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the writer's thread does for each save now: the chats encoded one at a time and written.
void BM_WriteHistoryByChat(benchmark::State& state) {
  application();
  benchHome();
  writeHistoryEachIteration(state, core::SavedChatList(savedChats(int(state.range(0)))));
}
BENCHMARK(BM_WriteHistoryByChat)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A titled save with that many chats (a title arrived, or Escape at Quit), as the main thread
// sees it. Timed: the chat put at the front and the list handed to the writer. Beside it, in
// the same iteration and untimed, the save as it was before: the chat put at the front of a
// plain list that is encoded as one JSON tree and written there and then. "whole_write_ms" is
// that, "main_share" the main thread's time now as a share of it. The writer's own write is
// waited for untimed, so saves do not pile up behind it; the list grows by one chat a save.
void BM_SaveChat(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  auto model = makeModel();
  if (!model->finishLoadingHistory()) state.SkipWithError("the history was not read in time");
  auto before = savedChats(int(state.range(0)));
  model->oldMessages = before;
  const auto conversation = savedChats(1).front().message;
  const std::string title = "\U0001F4CA Quarterly figures";
  const auto oldFile = historyFile().parent_path() / "QuillcastHistory.before.json";
  Clock::duration now{}, whole{};
  for (auto _ : state) {
    const auto start = Clock::now();
    model->saveHistory(title, conversation, -1);
    const auto handedOver = Clock::now();
    if (!model->documents().waitForWrites()) state.SkipWithError("the history was not written");

    const auto wholeStart = Clock::now();
    before.insert(before.begin(), core::oldMessagesStruct{title, conversation, 1.7e9, {}});
    const auto error = foundation::files::writeAtomically(
        oldFile, core::encodeJSON(before),
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const auto wholeEnd = Clock::now();
    if (error) state.SkipWithError(error.message().c_str());

    state.SetIterationTime(std::chrono::duration<double>(handedOver - start).count());
    now += handedOver - start;
    whole += wholeEnd - wholeStart;
  }
  const auto ms = [&](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() / double(state.iterations());
  };
  state.counters["whole_write_ms"] = ms(whole);
  state.counters["main_share"] = ms(now) / ms(whole);
  std::filesystem::remove(historyFile());
  std::filesystem::remove(oldFile);
}
BENCHMARK(BM_SaveChat)->Arg(20000)->Iterations(10)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
