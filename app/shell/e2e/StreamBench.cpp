// The whole program streaming long Markdown answers on a real desktop (run by scripts/bench-stream
// under Xvfb): the program runs in a process of its own, as its entry point runs it, against a
// loopback chat service in this one, which sends answers of 20, 100 and 500 KiB (headings,
// paragraphs, lists, tables, code) a word at a time, a word every 2 ms and as fast as it can.
// This process presses the hot key, types the request and Escape as a user does. For every
// answer it prints the UI thread's CPU time per KiB (from /proc, for the main thread of the
// program), its longest busy spell while the answer streams and after it ended (the switch to
// Markdown), and whether the answer arrived whole, was kept whole in the history, and said so
// when it did not. What the probe itself does on the main thread (it decodes the chat kept, to
// compare it) is left out of every figure.
//
//   bench_stream [--sizes 20,100,500] [--rates 2,0] [--runs 3] [--impatient MS]
//   bench_stream --screenshots DIR
// A rate is milliseconds a word, 0 as fast as the service can. --impatient serves the answers as
// some services do: a body whose end is the connection's end, given up (the connection closed)
// once the program has taken nothing of it for MS. QUILL_BENCH_VERBOSE=1 shows what the program
// prints, and the answer's size at each busy spell over 16 ms (over QUILL_BENCH_SPELL_MS, when
// set). --screenshots keeps pictures of the screen instead: the panel with the request typed, an
// answer halfway (its stream paused there) and the answer finished.
#include <glib.h>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "EndToEndSupport.h"
#include "appkit/Application.h"
#include "markdown/ImageLoader.h"
#include "panel/FloatingPanel.h"
#include "shell/QuillcastApp.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/StartedPrograms.h"
#include "ui/qt/ImageDecoding.h"
#include "ui/qt/ViewWidget.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kReportPrefix = "bench-stream: ";
constexpr const char* kRequestWord = "stream";
constexpr const char* kTitle = "\U0001F9EA Bench chat";

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The CPU time the kernel counts for one thread, in ms: nanoseconds from schedstat where the
// kernel keeps them, else the clock ticks of stat.
double procThreadCpuMs(pid_t pid, pid_t tid) {
  const std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid);
  std::ifstream schedstat(task + "/schedstat");
  unsigned long long ns = 0;
  if (schedstat >> ns && ns > 0) return double(ns) / 1e6;
  std::ifstream stat(task + "/stat");
  std::string line;
  std::getline(stat, line);
  const auto close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  // Fields 3 to 13 come before utime (14) and stime (15).
  for (int i = 3; i <= 13 && fields >> field; ++i) {
  }
  fields >> utime >> stime;
  return double(utime + stime) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

std::uint64_t fnv1a(std::string_view text) {
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

// ---------------------------------------------------------------------------------------------
// The answers.

// About `kib` KiB of Markdown as a model writes it: sections with a heading, paragraphs with
// inline styles and links, bulleted and numbered lists, a table now and then and code blocks.
// Words of its own in every section, so nothing is laid out from what an earlier one left.
std::string answerText(int kib) {
  const std::size_t size = static_cast<std::size_t>(kib) * 1024;
  std::string text;
  for (int n = 0; text.size() < size; ++n) {
    const std::string i = std::to_string(n);
    text += "## Section " + i + "\n\nThis paragraph explains step " + i +
            " with *emphasis*, **strong words**, `inline" + i +
            "` and a [link](https://example.com/" + i +
            "). It runs on long enough to wrap across a few lines at the panel's width, as "
            "answers do, and names word" +
            i + " so that its lines are new.\n\n";
    text += "- first point about " + i + "\n- second point, a little longer than the first\n" +
            "- third point with `value" + i + "`\n\n";
    if (n % 3 == 1) text += "1. open the file\n2. change line " + i + "\n3. save it again\n\n";
    if (n % 4 == 2)
      text += "| Name | Kind | Size |\n|:-----|:----:|-----:|\n| alpha" + i +
              " | file | 12 |\n| beta | folder | " + i + " |\n\n";
    if (n % 3 == 0) {
      text += "```cpp\nint step" + i + "() {\n";
      for (int line = 0; line < 6; ++line)
        text += "  auto v" + std::to_string(line) + " = compute(" + i + ", " +
                std::to_string(line) + ");\n";
      text += "  return v5;\n}\n```\n\n";
    }
  }
  return text;
}

// The pieces a service streams: a word with the blanks after it.
std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of(" \n", start);
    if (end == std::string::npos) end = text.size();
    end = text.find_first_not_of(" \n", end);
    if (end == std::string::npos) end = text.size();
    pieces.push_back(text.substr(start, end - start));
    start = end;
  }
  return pieces;
}

std::string finishEvent() {
  const nlohmann::json chunk = {
      {"id", "c"},
      {"object", "chat.completion.chunk"},
      {"choices",
       {{{"delta", nlohmann::json::object()}, {"finish_reason", "stop"}, {"index", 0}}}}};
  return "data: " + chunk.dump() + "\n\n";
}

std::string roleEvent() {
  const nlohmann::json chunk = {
      {"id", "c"},
      {"object", "chat.completion.chunk"},
      {"choices", {{{"delta", {{"role", "assistant"}, {"content", ""}}}, {"index", 0}}}}};
  return "data: " + chunk.dump() + "\n\n";
}

// "stream <kib> <ms>", as typed into the panel.
std::string requestCommand(int kib, int rateMs) {
  return std::string(kRequestWord) + " " + std::to_string(kib) + " " + std::to_string(rateMs);
}

// ---------------------------------------------------------------------------------------------
// The program's side: the program as its entry point runs it, and a probe that reports what the
// main thread did, on standard output.

void report(const std::string& line) {
  std::printf("%s%s\n", kReportPrefix, line.c_str());
  std::fflush(stdout);
}

std::string jsonText(const std::string& text) {
  return nlohmann::json(text).dump();
}

// Watches the main thread: a busy spell runs from its waking up in the event loop's poll to its
// next going to sleep there (the poll of the loop's GLib context, which Qt's loop turns). Looks
// at the model whenever the loop is about to wait.
class Probe : public QObject {
 public:
  explicit Probe(shell::QuillcastApp& app)
      : app_(app), pid_(::getpid()), tid_(static_cast<pid_t>(::syscall(SYS_gettid))) {
    active_ = this;
    poll_ = g_main_context_get_poll_func(g_main_context_default());
    g_main_context_set_poll_func(g_main_context_default(), &Probe::timedPoll);
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { look(); });
    qApp->installEventFilter(this);
  }
  ~Probe() override {
    g_main_context_set_poll_func(g_main_context_default(), poll_);
    active_ = nullptr;
  }

  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint && dynamic_cast<ui::qt::ViewWidget*>(object)) ++paints_;
    return false;
  }

 private:
  enum class Phase { idle, asked, streaming, ending };

  struct Spells {
    double longestCpu = 0, longestWall = 0;
    int over16 = 0, count = 0;
    void add(double cpu, double wall) {
      longestCpu = std::max(longestCpu, cpu);
      longestWall = std::max(longestWall, wall);
      over16 += cpu > 16.7 ? 1 : 0;
      ++count;
    }
  };

  // A poll that may wait ends a spell and begins the next when it returns.
  static gint timedPoll(GPollFD* fds, guint count, gint timeout) {
    Probe* probe = active_;
    if (timeout != 0 && probe) probe->sleeping();
    const gint ready = probe ? probe->poll_(fds, count, timeout) : g_poll(fds, count, timeout);
    if (timeout != 0 && probe) probe->woke();
    return ready;
  }

  void woke() {
    wokeAt_ = Clock::now();
    wokeCpu_ = threadCpuMs();
    wokeIn_ = phase_;
    ownInSpell_ = {};
  }

  // A spell counts where it began: the one that ends the answer is the answer's.
  void sleeping() {
    if (wokeCpu_ == 0) return;
    const double cpu = threadCpuMs() - wokeCpu_ - ownInSpell_.cpu;
    const double wall = msBetween(wokeAt_, Clock::now()) - ownInSpell_.wall;
    if (wokeIn_ == Phase::streaming) streaming_.add(cpu, wall);
    static const char* const listed = std::getenv("QUILL_BENCH_SPELL_MS");
    static const double listedMs = listed ? std::atof(listed) : 16.7;
    if (cpu > listedMs && std::getenv("QUILL_BENCH_VERBOSE"))
      report("long spell cpu=" + std::to_string(cpu) + " wall=" + std::to_string(wall) +
             " answer=" + std::to_string(app_.delegate().coreAppModel->responseValue->size()));
    if (wokeIn_ == Phase::ending) ending_.add(cpu, wall);
  }

  // The main thread's time spent in the probe.
  struct Own {
    double cpu = 0, wall = 0;
  };
  class Timing {
   public:
    explicit Timing(Probe& probe) : probe_(probe), cpu_(threadCpuMs()), wall_(Clock::now()) {}
    ~Timing() {
      const Own spent{threadCpuMs() - cpu_, msBetween(wall_, Clock::now())};
      for (Own* own : {&probe_.ownInSpell_, &probe_.ownTotal_}) {
        own->cpu += spent.cpu;
        own->wall += spent.wall;
      }
    }

   private:
    Probe& probe_;
    const double cpu_;
    const Clock::time_point wall_;
  };
  // The program's CPU time so far, the probe's left out.
  double programCpuMs() const { return procThreadCpuMs(pid_, tid_) - ownTotal_.cpu; }

  void look() {
    const Timing timing(*this);
    auto& delegate = app_.delegate();
    const bool open = delegate.floatingPanel() && delegate.floatingPanel()->panel().isOpen();
    if (open != panelOpen_) {
      panelOpen_ = open;
      report(open ? "panel open" : "panel closed");
    }
    const auto& model = *delegate.coreAppModel;
    const auto& saved = model.oldMessages.get();
    if (saved.size() != savedCount_ || (saved.size() > 0 && saved[0].topic != savedTopic_)) {
      savedCount_ = saved.size();
      savedTopic_ = saved.size() > 0 ? saved[0].topic : "";
      std::string answer;
      if (saved.size() > 0)
        for (const auto& message : saved[0].message())
          if (message.role == "assistant") answer = message.content;
      char line[256];
      std::snprintf(line, sizeof line,
                    "kept count=%zu bytes=%zu hash=%016" PRIx64 " topic=", saved.size(),
                    answer.size(), fnv1a(answer));
      report(std::string(line) + jsonText(savedTopic_));
    }
    const std::string& answer = model.responseValue.get();
    switch (phase_) {
      case Phase::idle:
        if (model.isLoading) {
          phase_ = Phase::asked;
          report("asked");
        }
        break;
      case Phase::asked:
        if (!answer.empty() && answer != " ") {
          phase_ = Phase::streaming;
          streaming_ = {};
          paintsAtStart_ = paints_;
          startedAt_ = Clock::now();
          startCpu_ = programCpuMs();
        } else if (!model.isLoading) {
          phase_ = Phase::idle;
          report("failed error=" + jsonText(model.error.get()));
        }
        break;
      case Phase::streaming:
        if (!model.isLoading) {
          phase_ = Phase::ending;
          endedAt_ = Clock::now();
          endCpu_ = programCpuMs();
          paintsAtEnd_ = paints_;
          ending_ = {};
          // What the end causes (the answer drawn as Markdown) is over well within this.
          QTimer::singleShot(1500, this, [this] { finish(); });
        }
        break;
      case Phase::ending:
        break;
    }
  }

  void finish() {
    const Timing timing(*this);
    const auto& model = *app_.delegate().coreAppModel;
    const std::string& answer = model.responseValue.get();
    const double settledCpu = programCpuMs();
    char line[768];
    std::snprintf(line, sizeof line,
                  "done bytes=%zu hash=%016" PRIx64
                  " streamMs=%.1f streamCpuMs=%.1f longestCpu=%.2f longestWall=%.2f over16=%d "
                  "spells=%d frames=%d endCpuMs=%.1f endLongestCpu=%.2f endLongestWall=%.2f "
                  "endFrames=%d error=",
                  answer.size(), fnv1a(answer), msBetween(startedAt_, endedAt_),
                  endCpu_ - startCpu_, streaming_.longestCpu, streaming_.longestWall,
                  streaming_.over16, streaming_.count, paintsAtEnd_ - paintsAtStart_,
                  settledCpu - endCpu_, ending_.longestCpu, ending_.longestWall,
                  paints_ - paintsAtEnd_);
    report(std::string(line) + jsonText(model.error.get()));
    phase_ = Phase::idle;
  }

  static inline Probe* active_ = nullptr;
  shell::QuillcastApp& app_;
  const pid_t pid_, tid_;
  GPollFunc poll_ = nullptr;
  Clock::time_point wokeAt_;
  double wokeCpu_ = 0;
  Own ownInSpell_, ownTotal_;
  Phase phase_ = Phase::idle, wokeIn_ = Phase::idle;
  Spells streaming_, ending_;
  Clock::time_point startedAt_, endedAt_;
  double startCpu_ = 0, endCpu_ = 0;
  int paints_ = 0, paintsAtStart_ = 0, paintsAtEnd_ = 0;
  bool panelOpen_ = false;
  std::size_t savedCount_ = 0;
  std::string savedTopic_;
};

int runProgram(const std::string& chatURL) {
  int argc = 1;
  char name[] = "quillcast";
  char* argv[] = {name, nullptr};
  auto application = appkit::Application::create(argc, argv);
  if (!application) return 1;
  QCoreApplication::setApplicationName("Quillcast");
  markdown::DefaultImageLoader::shared().setDecoder(
      [](std::string_view bytes, std::size_t maxPixels) {
        return ui::qt::decodeImage(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
            maxPixels * 4);
      });
  shell::QuillcastApp quillcast({chatURL, {}});
  Probe probe(quillcast);
  QTimer::singleShot(0, [] { report("running"); });
  return quillcast.run(*application);
}

// ---------------------------------------------------------------------------------------------
// The desktop's side.

struct Options {
  std::vector<int> sizes{20, 100, 500};
  std::vector<int> rates{2, 0};
  int runs = 3;
  std::optional<std::chrono::milliseconds> impatience;
  std::string screenshots;  // a folder: pictures of the panel mid-stream and after, no figures
};

std::vector<int> numbers(const std::string& list) {
  std::vector<int> out;
  std::istringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(std::stoi(item));
  return out;
}

// The fields of a report line, "key=value" separated by blanks; a quoted value runs to the end.
std::map<std::string, std::string> fieldsOf(const std::string& line) {
  std::map<std::string, std::string> fields;
  std::istringstream in(line);
  std::string word;
  while (in >> word) {
    const auto eq = word.find('=');
    if (eq == std::string::npos) continue;
    std::string value = word.substr(eq + 1);
    if (!value.empty() && value.front() == '"') {
      std::string rest;
      std::getline(in, rest);
      value += rest;
      value = nlohmann::json::parse(value, nullptr, false).get<std::string>();
    }
    fields[word.substr(0, eq)] = value;
  }
  return fields;
}

class Program {
 public:
  Program(const std::string& chatURL, const std::vector<std::string>& environment)
      : process_(std::vector<std::string>{"/proc/self/exe", "--program", chatURL},
                 testsupport::StartedProgram::Output::read, environment) {}

  bool started() const { return process_.started(); }
  pid_t pid() const { return process_.pid(); }

  // The next report that begins with `word`; none after `timeout`.
  std::optional<std::string> waitFor(const std::string& word, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      auto line = process_.readLine(std::max(left, 1ms));
      if (!line) {
        if (process_.readingEnded()) {
          if (!ended_) {
            ended_ = true;
            const auto status = process_.waitForExit(5s);
            std::fprintf(stderr, "bench_stream: the program ended (wait status %d)\n",
                         status ? *status : -1);
          }
          return std::nullopt;
        }
        continue;
      }
      if (line->rfind(kReportPrefix, 0) != 0) {
        if (std::getenv("QUILL_BENCH_VERBOSE"))
          std::fprintf(stderr, "program: %s\n", line->c_str());
        continue;
      }
      if (std::getenv("QUILL_BENCH_VERBOSE")) std::fprintf(stderr, "report: %s\n", line->c_str());
      std::string body = line->substr(std::strlen(kReportPrefix));
      last_[body.substr(0, body.find(' '))] = body;
      if (body.rfind(word, 0) == 0) return body;
    }
    return std::nullopt;
  }
  // The last report that began with `word`, read so far.
  std::string last(const std::string& word) const {
    const auto found = last_.find(word);
    return found == last_.end() ? "" : found->second;
  }

  std::optional<int> stop() { return process_.stop(); }

 private:
  testsupport::StartedProgram process_;
  std::map<std::string, std::string> last_;
  bool ended_ = false;
};

using Chunk = testsupport::LoopbackServer::Chunk;

// Where the program's chat requests go: the next streamed request gets `chunks`, every other
// request the title.
class ChatService {
 public:
  virtual ~ChatService() = default;
  virtual int port() const = 0;
  virtual void streamNext(const std::vector<Chunk>& chunks) = 0;
  // How the last stream ended on the service's side, when it did not send it all.
  virtual std::string lastStreamNote() const { return {}; }
};

// The loopback server of the tests: a chunked stream, sent whole.
class LoopbackChatService final : public ChatService {
 public:
  LoopbackChatService() { titles(); }
  int port() const override { return server_.port(); }
  void streamNext(const std::vector<Chunk>& chunks) override {
    server_.stream(testsupport::kChatPath, chunks);
  }
  // For the requests after the stream: the title request is a plain one.
  void titles() {
    server_.replyWith(testsupport::kChatPath, [](const testsupport::RecordedRequest&) {
      return testsupport::LoopbackServer::Reply{
          200, testsupport::chatReply(kTitle), "application/json", {}};
    });
  }

 private:
  testsupport::LoopbackServer server_;
};

// A service as some are written: the stream has neither a length nor chunks, its end is the
// connection's end; and a reader that takes nothing for `patience` is given up, the connection
// closed, which the reader cannot tell from the end of the body.
class ImpatientChatService final : public ChatService {
 public:
  explicit ImpatientChatService(std::chrono::milliseconds patience) : patience_(patience) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("impatient service: cannot listen");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { accept(); });
  }
  ~ImpatientChatService() override {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    for (auto& t : connections_) t.join();
    ::close(listener_);
  }
  int port() const override { return port_; }
  void streamNext(const std::vector<Chunk>& chunks) override {
    std::lock_guard lock(mutex_);
    next_ = chunks;
  }
  std::string lastStreamNote() const override {
    std::lock_guard lock(mutex_);
    return note_;
  }

 private:
  void accept() {
    while (!stopping_) {
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      connections_.emplace_back([this, fd] {
        serve(fd);
        ::close(fd);
      });
    }
  }

  static bool sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
      const auto n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  void serve(int fd) {
    std::string request;
    char buffer[65536];
    std::size_t headEnd = std::string::npos, bodyLength = 0;
    while (headEnd == std::string::npos || request.size() < headEnd + 4 + bodyLength) {
      const auto n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      request.append(buffer, static_cast<std::size_t>(n));
      if (headEnd == std::string::npos &&
          (headEnd = request.find("\r\n\r\n")) != std::string::npos) {
        std::string head = request.substr(0, headEnd);
        for (auto& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto field = head.find("content-length:");
        if (field != std::string::npos) bodyLength = std::stoul(head.substr(field + 15));
      }
    }
    const auto body = nlohmann::json::parse(request.substr(headEnd + 4), nullptr, false);
    if (!body.is_object() || !body.value("stream", false)) {
      const std::string reply = testsupport::chatReply(kTitle);
      sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                      std::to_string(reply.size()) + "\r\nConnection: close\r\n\r\n" + reply);
      return;
    }
    std::vector<Chunk> chunks;
    {
      std::lock_guard lock(mutex_);
      chunks = next_;
      note_.clear();
    }
    timeval patience{static_cast<time_t>(patience_.count() / 1000),
                     static_cast<suseconds_t>(patience_.count() % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    if (!sendAll(fd,
                 "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: "
                 "no-cache\r\nConnection: close\r\n\r\n"))
      return;
    std::size_t sent = 0;
    for (std::size_t i = 0; i < chunks.size() && !stopping_; ++i) {
      if (chunks[i].delay.count() > 0) std::this_thread::sleep_for(chunks[i].delay);
      if (!sendAll(fd, chunks[i].bytes)) {
        std::lock_guard lock(mutex_);
        note_ = "the service gave up after " + std::to_string(i) + " of " +
                std::to_string(chunks.size()) + " events (" + std::to_string(sent) +
                " bytes): nothing was taken for " + std::to_string(patience_.count()) + " ms";
        break;
      }
      sent += chunks[i].bytes.size();
    }
    ::shutdown(fd, SHUT_WR);
  }

  const std::chrono::milliseconds patience_;
  int listener_ = -1, port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::vector<std::thread> connections_;
  mutable std::mutex mutex_;
  std::vector<Chunk> next_;
  std::string note_;
};

struct Figures {
  int kib = 0, rateMs = 0;
  bool whole = false, kept = false;
  double cpuPerKiB = 0, longestCpu = 0, longestWall = 0, endLongestCpu = 0, endLongestWall = 0;
  double streamMs = 0, endCpu = 0;
  int over16 = 0, frames = 0;
  std::string note;
};

// Streams one answer: opens the panel when it is closed, types the request, waits for the end
// and puts the answer away with Escape, as a user does; the chat is then titled and kept.
Figures streamOne(Program& program, shelltest::Keyboard& keys, ChatService& service,
                  const std::vector<Chunk>& chunks, int kib, int rateMs) {
  Figures figures;
  figures.kib = kib;
  figures.rateMs = rateMs;
  const std::string expected = answerText(kib);
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016" PRIx64, fnv1a(expected));
  if (!program.last("panel").starts_with("panel open")) {
    keys.hotKey();
    if (!program.waitFor("panel open", 15s)) {
      figures.note = "the panel did not open";
      return figures;
    }
    std::this_thread::sleep_for(500ms);  // the input line takes the keyboard
  }
  service.streamNext(chunks);
  keys.type(requestCommand(kib, rateMs));
  keys.stroke(shelltest::Keyboard::kReturn);
  if (!program.waitFor("asked", 15s)) {
    figures.note = "the request was not sent";
    return figures;
  }
  const auto done = program.waitFor("done", 30min);
  // The title request that Escape sends is a plain one.
  if (auto* loopback = dynamic_cast<LoopbackChatService*>(&service)) loopback->titles();
  if (!done) {
    figures.note =
        program.last("failed").empty() ? "the answer did not end" : program.last("failed");
    return figures;
  }
  auto f = fieldsOf(*done);
  const std::size_t bytes = std::stoul(f["bytes"]);
  figures.whole = bytes == expected.size() && f["hash"] == hash;
  figures.streamMs = std::stod(f["streamMs"]);
  figures.cpuPerKiB = std::stod(f["streamCpuMs"]) / kib;
  figures.longestCpu = std::stod(f["longestCpu"]);
  figures.longestWall = std::stod(f["longestWall"]);
  figures.over16 = std::stoi(f["over16"]);
  figures.frames = std::stoi(f["frames"]);
  figures.endCpu = std::stod(f["endCpuMs"]);
  figures.endLongestCpu = std::stod(f["endLongestCpu"]);
  figures.endLongestWall = std::stod(f["endLongestWall"]);
  if (!figures.whole) {
    figures.note = "CUT: " + std::to_string(bytes) + " of " + std::to_string(expected.size()) +
                   " bytes, error line " + jsonText(f["error"]);
  } else if (!f["error"].empty()) {
    figures.note = "error line " + jsonText(f["error"]);
  }
  if (const std::string note = service.lastStreamNote(); !note.empty())
    figures.note += " (" + note + ")";
  keys.stroke(shelltest::Keyboard::kEscape);
  // Kept as it ended, then renamed once the title came.
  const auto deadline = Clock::now() + 30s;
  while (Clock::now() < deadline) {
    const auto kept = program.waitFor("kept", 1s);
    const std::string line = kept ? *kept : program.last("kept");
    if (line.empty()) continue;
    auto k = fieldsOf(line);
    figures.kept = k["bytes"] == std::to_string(expected.size()) && k["hash"] == hash;
    if (figures.kept && k["topic"] == kTitle) break;
  }
  if (!figures.kept)
    figures.note += (figures.note.empty() ? "" : "; ") + std::string("not kept whole");
  return figures;
}

void print(const Figures& f) {
  const std::string pace =
      f.rateMs > 0 ? "a word every " + std::to_string(f.rateMs) + " ms" : "as fast as it can ";
  const double busy = f.streamMs > 0 ? 100 * f.cpuPerKiB * f.kib / f.streamMs : 0;
  std::printf(
      "%4d KiB, %s: UI CPU %6.1f ms/KiB, busy %3.0f%% of %6.1f s; longest spell %6.2f ms CPU "
      "(%6.2f wall), %4d over 16 ms; %5d paints | end: longest %6.2f ms CPU (%6.2f wall), "
      "%6.1f ms CPU | %s%s%s\n",
      f.kib, pace.c_str(), f.cpuPerKiB, busy, f.streamMs / 1000, f.longestCpu, f.longestWall,
      f.over16, f.frames, f.endLongestCpu, f.endLongestWall, f.endCpu,
      f.whole ? "whole" : "NOT WHOLE", f.kept ? ", kept" : "",
      f.note.empty() ? "" : (", " + f.note).c_str());
  std::fflush(stdout);
}

// The answers kept in the history file, by their size, once the program has ended.
std::vector<std::size_t> keptAnswerSizes(const std::filesystem::path& documents) {
  std::vector<std::size_t> sizes;
  std::ifstream in(documents / "Quillcast" / "QuillcastHistory.json");
  const auto json = nlohmann::json::parse(in, nullptr, false);
  if (!json.is_array()) return sizes;
  for (const auto& chat : json)
    for (const auto& message : chat.value("message", nlohmann::json::array()))
      if (message.value("role", "") == "assistant")
        sizes.push_back(message.value("content", "").size());
  return sizes;
}

// The screen into `folder`/`name`.png.
void screenshot(const std::string& folder, const std::string& name) {
  [[maybe_unused]] const int status =
      testsupport::runCommand("import -window root '" + folder + "/" + name + ".png'");
}

// The panel as a user sees it: the request typed, the answer halfway while its stream waits,
// the answer finished. The same pictures before and after a change of how answers arrive.
int takeScreenshots(Program& program, shelltest::Keyboard& keys, ChatService& service,
                    const std::string& folder) {
  std::filesystem::create_directories(folder);
  const std::string answer = answerText(2);
  const auto pieces = words(answer);
  std::vector<Chunk> chunks{{0ms, roleEvent()}};
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    // Halfway the stream waits long enough for a picture.
    const auto delay = i == pieces.size() / 2 ? 4000ms : 0ms;
    chunks.push_back({delay, testsupport::deltaEvent(pieces[i])});
  }
  chunks.push_back({0ms, finishEvent() + "data: [DONE]\n\n"});
  keys.hotKey();
  if (!program.waitFor("panel open", 15s)) return 1;
  std::this_thread::sleep_for(1s);
  service.streamNext(chunks);
  keys.type(requestCommand(2, 0));
  std::this_thread::sleep_for(500ms);
  screenshot(folder, "stream-typed");
  keys.stroke(shelltest::Keyboard::kReturn);
  if (!program.waitFor("asked", 15s)) return 1;
  std::this_thread::sleep_for(2s);
  screenshot(folder, "stream-halfway");
  if (!program.waitFor("done", 60s)) return 1;
  if (auto* loopback = dynamic_cast<LoopbackChatService*>(&service)) loopback->titles();
  screenshot(folder, "stream-finished");
  std::printf("screenshots in %s\n", folder.c_str());
  return 0;
}

int runDesktop(const Options& options) {
  testsupport::ScopedHome home;
  shelltest::storeUserSettings();
  foundation::UserDefaults::standard().synchronize();
  // Private, so that no other Quillcast on this machine takes the start over.
  const auto runtime = home.path() / "runtime";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);

  testx11::DisplaySession session;
  if (!session.ok()) {
    std::fprintf(stderr, "bench_stream: no X display\n");
    return 1;
  }
  testx11::Connection x;
  desktoptest::Helper openbox({"openbox", "--replace", "--sm-disable"});
  desktoptest::Helper trayer({"trayer", "--edge", "top", "--align", "right", "--widthtype",
                              "request", "--height", "24", "--SetDockType", "true"});
  if (!desktoptest::Desktop::waitFor([&] {
        return x.selectionOwner("_NET_SYSTEM_TRAY_S0") != XCB_NONE &&
               !desktoptest::windowList(x, x.root(), "_NET_SUPPORTING_WM_CHECK").empty();
      })) {
    std::fprintf(stderr, "bench_stream: openbox or trayer did not start\n");
    return 1;
  }

  std::map<std::pair<int, int>, std::vector<Chunk>> streams;
  for (int kib : options.sizes) {
    for (int rate : options.rates) {
      auto& chunks = streams[{kib, rate}];
      chunks.push_back({0ms, roleEvent()});
      for (const auto& word : words(answerText(kib)))
        chunks.push_back({std::chrono::milliseconds(rate), testsupport::deltaEvent(word)});
      chunks.push_back({0ms, finishEvent()});
      chunks.push_back({0ms, "data: [DONE]\n\n"});
    }
  }

  std::unique_ptr<ChatService> service;
  if (options.impatience) {
    service = std::make_unique<ImpatientChatService>(*options.impatience);
  } else {
    service = std::make_unique<LoopbackChatService>();
  }
  Program program("http://127.0.0.1:" + std::to_string(service->port()),
                  {"XDG_RUNTIME_DIR=" + runtime.string()});
  if (!program.started() || !program.waitFor("running", 60s)) {
    std::fprintf(stderr, "bench_stream: the program did not start\n");
    return 1;
  }
  std::this_thread::sleep_for(1s);
  shelltest::Keyboard keys(x);
  if (!options.screenshots.empty()) {
    const int status = takeScreenshots(program, keys, *service, options.screenshots);
    program.stop();
    return status;
  }

  std::printf(
      "Quillcast streaming benchmark: the program on Xvfb with openbox, a loopback chat "
      "service%s\n",
      options.impatience ? " that gives up on a reader that takes nothing for a while" : "");
  std::printf(
      "goals: no spell over 16 ms while an answer streams, the end's under 33 ms, the "
      "same UI CPU per KiB at every pace\n");
  int answers = 0, whole = 0;
  for (int run = 1; run <= options.runs; ++run) {
    std::printf("run %d of %d (load %s)\n", run, options.runs, loadAverage().c_str());
    for (int kib : options.sizes) {
      for (int rate : options.rates) {
        const Figures figures = streamOne(program, keys, *service, streams[{kib, rate}], kib, rate);
        print(figures);
        ++answers;
        whole += figures.whole && figures.kept ? 1 : 0;
      }
    }
  }
  program.stop();
  const auto kept = keptAnswerSizes(home.documents());
  std::printf(
      "%d of %d answers whole and kept; the history file holds %zu answers after the "
      "program ended\n",
      whole, answers, kept.size());
  return whole == answers ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--program") return runProgram(argv[2]);
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--sizes") options.sizes = numbers(argv[i + 1]);
    if (name == "--rates") options.rates = numbers(argv[i + 1]);
    if (name == "--runs") options.runs = std::stoi(argv[i + 1]);
    if (name == "--screenshots") options.screenshots = argv[i + 1];
    if (name == "--impatient")
      options.impatience = std::chrono::milliseconds(std::stoi(argv[i + 1]));
  }
  return runDesktop(options);
}
