#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "BenchEnvironment.h"
#include "core/DataModel.h"
#include "core/DocumentsFiles.h"
#include "core/HistoryFile.h"
#include "foundation/Files.h"

// A long history as the user's own: the file scripts/make-history writes (20,000 chats of a few
// KiB each, about 104 MB; made once and kept in the build folder), read at start and written at
// every save. Beside each figure, in the same run, what the same work costs through the chat
// records (a JSON tree of the whole file, a std::string per message), as the history was kept
// before.
namespace {

namespace fs = std::filesystem;
using bench::benchHome;
using Clock = std::chrono::steady_clock;

fs::path historyOf(int chats) {
  const fs::path file =
      fs::path(QUILL_BENCH_HISTORY_DIR) / ("history-" + std::to_string(chats) + ".json");
  if (!fs::exists(file)) {
    fs::create_directories(file.parent_path());
    const fs::path part = file.string() + ".part";
    const std::string command = std::string(QUILL_SOURCE_DIR) + "/scripts/make-history '" +
                                part.string() + "' " + std::to_string(chats);
    if (std::system(command.c_str()) != 0) return {};
    fs::rename(part, file);
  }
  return file;
}

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

double fileMB(const fs::path& file) {
  return double(fs::file_size(file)) / 1e6;
}

// This process's resident memory in MB, as the kernel counts it.
double residentMB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) * 1024 / 1e6;
  return 0;
}

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

fs::path installedHistory() {
  return benchHome() / "Documents" / core::kDocumentsFolderName / core::kHistoryFileName;
}

// The program starts with the history file: the model is made on the main thread, the file is
// read on the files' thread. Real time runs until the chats are in; "main_cpu_ms" is what the
// main thread spent meanwhile, "resident_per_file_MB" the memory the loaded history keeps (the
// process's resident size with the model, less before the first start: later starts reuse
// what the first left), per MB of file.
void BM_StartWithHistory(benchmark::State& state) {
  benchHome();
  const fs::path history = historyOf(int(state.range(0)));
  if (history.empty()) return state.SkipWithError("scripts/make-history failed");
  fs::create_directories(installedHistory().parent_path());
  fs::copy_file(history, installedHistory(), fs::copy_options::overwrite_existing);
  double mainCpu = 0, kept = 0;
  std::size_t chats = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const double before = residentMB();
    state.ResumeTiming();
    const double cpuBefore = threadCpuMs();
    auto model = std::make_shared<core::DataModel>();
    mainCpu += threadCpuMs() - cpuBefore;
    if (!model->finishLoadingHistory()) state.SkipWithError("the history was not read in time");
    state.PauseTiming();
    chats = model->oldMessages->size();
    if (kept == 0) kept = residentMB() - before;
    model.reset();
    state.ResumeTiming();
  }
  state.counters["chats"] = double(chats);
  state.counters["file_MB"] = fileMB(history);
  state.counters["main_cpu_ms"] = mainCpu / double(state.iterations());
  state.counters["resident_per_file_MB"] = kept / fileMB(history);
  fs::remove(installedHistory());
}
// First of all, so that the memory is measured in a process that has read nothing yet.
BENCHMARK(BM_StartWithHistory)
    ->Arg(20000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The baseline: the same file decoded into chat records through a JSON tree (resident memory
// as the first decode leaves it).
void BM_DecodeHistoryAsRecords(benchmark::State& state) {
  const fs::path history = historyOf(int(state.range(0)));
  if (history.empty()) return state.SkipWithError("scripts/make-history failed");
  double kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string bytes = bytesOf(history);
    const double before = residentMB();
    state.ResumeTiming();
    auto records = core::decodeJSON<std::vector<core::oldMessagesStruct>>(bytes);
    state.PauseTiming();
    if (kept == 0) kept = residentMB() - before;
    records = {};
    state.ResumeTiming();
  }
  state.counters["resident_per_file_MB"] = kept / fileMB(history);
}
BENCHMARK(BM_DecodeHistoryAsRecords)
    ->Arg(20000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The files' thread's part of a save: the whole history encoded and written atomically.
// "records_ms" is the same list written as chat records (one JSON tree per chat, as saves were
// encoded before), in the same iterations; "ratio" this save's time over that one.
void BM_SaveHistory(benchmark::State& state) {
  benchHome();
  const fs::path history = historyOf(int(state.range(0)));
  if (history.empty()) return state.SkipWithError("scripts/make-history failed");
  const std::string bytes = bytesOf(history);
  const core::SavedChatList chats = core::decodeHistoryFile(bytes);
  const auto records = core::decodeJSON<std::vector<core::oldMessagesStruct>>(bytes);
  const fs::path file = installedHistory();
  fs::create_directories(file.parent_path());
  Clock::duration saves{}, recordSaves{};
  for (auto _ : state) {
    const auto start = Clock::now();
    if (foundation::files::writeAtomically(file, core::encodeJSON(chats)))
      state.SkipWithError("the history could not be written");
    const auto saved = Clock::now();
    state.PauseTiming();
    std::string written;
    for (const auto& record : records) written += core::encodeJSON(record);
    if (foundation::files::writeAtomically(file, written))
      state.SkipWithError("the history could not be written");
    recordSaves += Clock::now() - saved;
    state.ResumeTiming();
    saves += saved - start;
  }
  const double iterations = double(state.iterations());
  const auto ms = [](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
  };
  state.counters["records_ms"] = ms(recordSaves) / iterations;
  state.counters["ratio"] = ms(saves) / ms(recordSaves);
  fs::remove(file);
}
BENCHMARK(BM_SaveHistory)->Arg(20000)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// The main thread's part of a save with the history loaded: an answered chat of the file's kind
// put at the front and the list handed to the files' thread ("cpu_ms": the main thread's own
// time). The write itself is waited for untimed.
void BM_SaveChatOnTheMainThread(benchmark::State& state) {
  benchHome();
  const fs::path history = historyOf(int(state.range(0)));
  if (history.empty()) return state.SkipWithError("scripts/make-history failed");
  fs::create_directories(installedHistory().parent_path());
  fs::copy_file(history, installedHistory(), fs::copy_options::overwrite_existing);
  auto model = std::make_shared<core::DataModel>();
  if (!model->finishLoadingHistory()) return state.SkipWithError("the history was not read");
  const auto conversation = model->oldMessages->at(0).message();
  double cpu = 0;
  for (auto _ : state) {
    const double before = threadCpuMs();
    model->saveHistory("📊 Saved again", conversation, -1);
    cpu += threadCpuMs() - before;
    state.PauseTiming();
    if (!model->documents().waitForWrites()) state.SkipWithError("the history was not written");
    state.ResumeTiming();
  }
  state.counters["cpu_ms"] = cpu / double(state.iterations());
  model.reset();
  fs::remove(installedHistory());
}
BENCHMARK(BM_SaveChatOnTheMainThread)
    ->Arg(20000)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A saved chat reopened: its messages decoded from the packed form (a chat of the file, and one
// with a 1 MB answer).
void BM_ReopenChat(benchmark::State& state) {
  const fs::path history = historyOf(2000);
  if (history.empty()) return state.SkipWithError("scripts/make-history failed");
  core::SavedChatList chats = core::decodeHistoryFile(bytesOf(history));
  if (state.range(0) > 0) {
    std::string answer;
    while (answer.size() < std::size_t(state.range(0))) answer += chats[1].message()[2].content;
    chats.insert(0, core::SavedChat("📚 Long", {core::ChatMessage::make("assistant", answer)}, 1));
  }
  for (auto _ : state) {
    auto messages = chats[0].message();
    benchmark::DoNotOptimize(messages);
  }
  state.counters["bytes"] = double(chats[0].messagesSize());
}
BENCHMARK(BM_ReopenChat)->Arg(0)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

}  // namespace
