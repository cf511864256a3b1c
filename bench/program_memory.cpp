// The whole program's resident memory around long answers, on a display (run it under xvfb-run):
// the program as it starts, its panel shown, then answers of 20 KiB (Markdown with headings,
// lists, code and a table, each with words of its own) asked for, streamed from a loopback chat
// service in small pieces, shown as Markdown and put away with "New chat". Printed: idle with
// the panel shown, with the first answer shown (goal: at most 5 MB above), after "New chat"
// (goal: back down), and every 25 answers up to 100 (goal: at most 60 MB in all). The service
// runs in a process of its own, so its threads and buffers are not counted.
#include <QApplication>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ResidentMemory.h"
#include "appkit/Application.h"
#include "foundation/UserDefaults.h"
#include "shell/QuillcastApp.h"
#include "testsupport/ChatServiceReplies.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/ScopedHome.h"

namespace {

using namespace std::chrono_literals;

using Resident = bench::ResidentMemory;
constexpr auto resident = bench::residentMemory;

// With QUILL_BENCH_SMAPS set, the mappings at each reading go to that folder, for a diff.
void keepMappings(const char* when) {
  const char* folder = std::getenv("QUILL_BENCH_SMAPS");
  if (!folder) return;
  std::string name = when;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '-';
  std::ifstream in("/proc/self/smaps");
  std::ofstream(std::string(folder) + "/" + name + ".smaps") << in.rdbuf();
}

void print(const char* when, const Resident& r, const char* goal = "") {
  keepMappings(when);
  std::printf("  %-44s rss %6.1f MB (anonymous %5.1f MB) %s\n", when, r.rss, r.anon, goal);
  std::fflush(stdout);
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(2ms);
  }
  return true;
}
void pumpFor(std::chrono::milliseconds time) {
  pumpUntil([] { return false; }, time);
}

// The n-th answer: about 20 KiB of sections, each with words of its own.
std::string answer(int n) {
  const std::string id = std::to_string(n);
  std::string text = "# Answer " + id + "\n\n";
  for (int s = 0; text.size() < 20 * 1024; ++s) {
    const std::string i = id + "." + std::to_string(s);
    text += "## Part " + i + "\n\nThis paragraph of answer " + id + " explains step " + i +
            " with *emphasis*, **strong words**, `inline" + i +
            "` and a [link](https://example.com/" + i +
            "). It runs on long enough to wrap across a few lines at the panel's width.\n\n"
            "- first point about " +
            i + "\n- second point about " + i + "\n\n";
    if (s % 6 == 2) {
      text += "```swift\n";
      for (int line = 0; line < 8; ++line)
        text += "let value" + i + "_" + std::to_string(line) + " = compute(" +
                std::to_string(line) + ")\n";
      text += "```\n\n";
    }
    if (s % 9 == 4) text += "| Name | Size |\n|---|--:|\n| item" + i + " | " + id + " |\n\n";
  }
  return text;
}

// The n-th streamed request gets the n-th answer in pieces of about 24 bytes.
void serveAnswers(testsupport::LoopbackServer& server, std::atomic<int>& streamed) {
  server.replyWith(testsupport::kChatPath, [&](const testsupport::RecordedRequest& request) {
    const auto json = nlohmann::json::parse(request.body, nullptr, false);
    if (!json.is_object() || !json.value("stream", false))
      return testsupport::LoopbackServer::Reply{
          200, testsupport::chatReply("🧪 Long answer"), "application/json", {}};
    const std::string text = answer(streamed++);
    std::string body;
    for (std::size_t at = 0; at < text.size(); at += 24)
      body += testsupport::deltaEvent(text.substr(at, 24));
    body += "data: [DONE]\n\n";
    return testsupport::LoopbackServer::Reply{200, body, "text/event-stream", {}};
  });
}

// The chat service in a child process. Returns its pid and sets the port.
pid_t startService(int& port) {
  int report[2];
  if (::pipe(report) != 0) return -1;
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(report[0]);
    testsupport::LoopbackServer server;
    std::atomic<int> streamed{0};
    serveAnswers(server, streamed);
    const int p = server.port();
    if (::write(report[1], &p, sizeof p) != sizeof p) std::_Exit(1);
    char nothing;
    while (::read(report[1], &nothing, 1) > 0) {
    }
    // Ends with the benchmark, which closes its end of the pipe.
    for (;;) std::this_thread::sleep_for(1h);
  }
  if (::read(report[0], &port, sizeof port) != sizeof port) return -1;
  return pid;
}

int run() {
  testsupport::ScopedHome home;
  int port = 0;
  // Under a heap profiler the service runs in this process instead: a forked child would write
  // into the profiler's pipe too.
  std::unique_ptr<testsupport::LoopbackServer> inProcess;
  std::atomic<int> streamed{0};
  pid_t service = 0;
  if (std::getenv("QUILL_BENCH_SERVICE_HERE")) {
    inProcess = std::make_unique<testsupport::LoopbackServer>();
    serveAnswers(*inProcess, streamed);
    port = inProcess->port();
  } else {
    service = startService(port);
  }
  if (service < 0 || port == 0) {
    std::fprintf(stderr, "bench_program_memory: the chat service did not start\n");
    return 1;
  }
  auto& defaults = foundation::UserDefaults::standard();
  defaults.set("openapikey", std::string("sk-bench"));
  defaults.set("firstTime", false);

  int argc = 1;
  char name[] = "quillcast";
  char* argv[] = {name, nullptr};
  auto application = appkit::Application::create(argc, argv);
  if (!application) return 1;
  std::printf("Quillcast with answers of 20 KiB (Xvfb, loopback chat service)\n");
  auto app = std::make_unique<shell::QuillcastApp>(
      shell::QuillcastAppOptions{"http://127.0.0.1:" + std::to_string(port), {}});
  app->delegate().applicationDidFinishLaunching();
  pumpFor(1s);
  print("idle after start", resident());

  auto& model = *app->delegate().coreAppModel;
  auto& panel = app->delegate().floatingPanel()->panel();
  app->delegate().toggleFloatingPanel();
  if (!pumpUntil([&] { return panel.isOpen(); })) {
    std::fprintf(stderr, "bench_program_memory: the panel did not open\n");
    return 1;
  }
  pumpFor(500ms);
  const Resident shown = resident();
  print("panel shown, no answer", shown);
  if (std::getenv("QUILL_BENCH_STOP_WHEN_OPEN")) std::exit(0);

  // For a heap profiler: fewer answers, or an end at once with the first answer shown (what
  // is live then is what it holds).
  const char* count = std::getenv("QUILL_BENCH_ANSWERS");
  const int kAnswers = count ? std::max(1, std::atoi(count)) : 100;
  const bool stopWhenShown = std::getenv("QUILL_BENCH_STOP_WHEN_SHOWN") != nullptr;
  int answered = 0;
  Resident beforeAnswer = shown;
  for (int i = 0; i < kAnswers; ++i) {
    if (i == 1) beforeAnswer = resident();
    model.command = "answer " + std::to_string(i);
    model.selectedIndex = -1;
    model.sendPrompt();
    const std::string expected = answer(i);
    if (!pumpUntil([&] { return !model.isLoading.get() && model.responseValue.get() == expected; }))
      break;
    pumpFor(300ms);  // drawn as Markdown, the title asked for and the chat saved
    ++answered;
    if (i == 0) {
      const Resident r = resident();
      char goal[64];
      std::snprintf(goal, sizeof goal, "+%.1f MB (goal <= +5 MB)", r.rss - shown.rss);
      print("the first answer shown", r, goal);
      if (std::getenv("QUILL_BENCH_TRIM")) {
        malloc_trim(0);
        print("  the same, trimmed", resident());
      }
      if (stopWhenShown) std::exit(0);
    }
    if (i == 1) {
      // The first answer also brought in code, fonts and libraries used the first time.
      const Resident r = resident();
      char goal[64];
      std::snprintf(goal, sizeof goal, "+%.1f MB (goal <= +5 MB)", r.rss - beforeAnswer.rss);
      print("the second answer shown", r, goal);
    }
    for (int press = 0; press < 3 && !model.messages.get().empty(); ++press) {
      model.handleEscape();
      pumpUntil([&] { return model.messages.get().empty(); }, 2s);
    }
    pumpFor(300ms);
    if (i == 0) {
      const Resident r = resident();
      char goal[64];
      std::snprintf(goal, sizeof goal, "+%.1f MB (goal: back down)", r.rss - shown.rss);
      print("after \"New chat\"", r, goal);
      if (std::getenv("QUILL_BENCH_STOP_WHEN_CLOSED")) std::exit(0);
    }
    if ((i + 1) % 25 == 0) {
      char when[64];
      std::snprintf(when, sizeof when, "after %d answers and \"New chat\"", i + 1);
      print(when, resident(), i + 1 == kAnswers ? "(goal <= 60 MB)" : "");
    }
  }
  if (answered < kAnswers) std::printf("only %d of %d answers arrived\n", answered, kAnswers);
  app.reset();
  if (service > 0) {
    ::kill(service, SIGTERM);
    ::waitpid(service, nullptr, 0);
  }
  return answered == kAnswers ? 0 : 1;
}

}  // namespace

int main() {
  return run();
}
