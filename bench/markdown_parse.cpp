#include <benchmark/benchmark.h>
#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "markdown/CommonMark.h"

// The Markdown bridge (parse with cmark-gfm, then build the blocks) beside cmark-gfm alone
// (parse, then the walk any reader of its tree makes). The "UsedHeap" case parses in a heap that
// other code uses between parses, as the panel's does while an answer streams and its views are
// built, and times both in the same run, alternately, so the ratio holds under any load.

namespace {

// A chat answer of about `bytes` bytes: prose, a list, code and a table, repeated.
std::string chatAnswer(std::size_t bytes) {
  const std::string section =
      "## Choosing a container\n\n"
      "Most of the time a **vector** is the right answer: it keeps its elements *contiguous*, "
      "so iteration is cache friendly, and `push_back` is amortised constant time. See "
      "[the reference](https://en.cppreference.com/w/cpp/container/vector) for details.\n\n"
      "- Use `std::vector` for sequences.\n"
      "- Use `std::deque` when you push at both ends.\n"
      "- [x] Measure before you optimise.\n"
      "- Prefer ~~linked lists~~ arrays.\n\n"
      "```cpp\n"
      "std::vector<int> values{1, 2, 3};\n"
      "for (int v : values) std::cout << v << '\\n';\n"
      "```\n\n"
      "| Container | Insert | Lookup |\n"
      "|:----------|:------:|-------:|\n"
      "| vector    | O(1)*  | O(n)   |\n"
      "| set       | O(log n) | O(log n) |\n\n";
  std::string text;
  while (text.size() < bytes) text += section;
  return text;
}

// The walk every reader of the tree makes: each node's type, and the texts it carries.
std::size_t walk(cmark_node* document) {
  std::size_t bytes = 0;
  cmark_iter* iter = cmark_iter_new(document);
  for (cmark_event_type event; (event = cmark_iter_next(iter)) != CMARK_EVENT_DONE;) {
    if (event != CMARK_EVENT_ENTER) continue;
    cmark_node* node = cmark_iter_get_node(iter);
    switch (cmark_node_get_type(node)) {
      case CMARK_NODE_TEXT:
      case CMARK_NODE_CODE:
      case CMARK_NODE_HTML_INLINE:
      case CMARK_NODE_CODE_BLOCK:
      case CMARK_NODE_HTML_BLOCK:
        bytes += std::strlen(cmark_node_get_literal(node));
        break;
      case CMARK_NODE_LINK:
      case CMARK_NODE_IMAGE:
        if (const char* url = cmark_node_get_url(node)) bytes += std::strlen(url);
        break;
      default:
        break;
    }
  }
  cmark_iter_free(iter);
  return bytes;
}

// The library alone, with the bridge's extensions and options: parse, walk, free the tree.
void parseWithCmarkOnly(const std::string& text) {
  cmark_gfm_core_extensions_ensure_registered();
  cmark_parser* parser = cmark_parser_new(0);
  for (const char* name : {"autolink", "strikethrough", "table", "tagfilter", "tasklist"}) {
    if (cmark_syntax_extension* extension = cmark_find_syntax_extension(name)) {
      cmark_parser_attach_syntax_extension(parser, extension);
    }
  }
  cmark_parser_feed(parser, text.data(), text.size());
  cmark_node* document = cmark_parser_finish(parser);
  cmark_parser_free(parser);
  benchmark::DoNotOptimize(walk(document));
  cmark_node_free(document);
}

void BM_MarkdownParse(benchmark::State& state) {
  const std::string text = chatAnswer(static_cast<std::size_t>(state.range(0)) * 1024);
  for (auto _ : state) benchmark::DoNotOptimize(markdown::parseMarkdown(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_MarkdownParse)->Arg(20)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_CmarkOnly(benchmark::State& state) {
  const std::string text = chatAnswer(static_cast<std::size_t>(state.range(0)) * 1024);
  for (auto _ : state) parseWithCmarkOnly(text);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CmarkOnly)->Arg(20)->Arg(200)->Unit(benchmark::kMicrosecond);

// CPU time of this thread, page faults included (they are its system time): the machine may be
// shared, and a parse is single-threaded.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}

// How other code uses the heap between two parses.
enum class HeapUse {
  // The panel while an answer streams, round after round: the views of the answer are built anew
  // (many small nodes and texts, some text layouts) and the previous round's are freed; the
  // temporaries of building them (decoded deltas, the grown answer, measuring, a paint buffer)
  // are freed at the end of the round. The heap is left full of holes.
  streaming,
  // A burst of small blocks, made and freed (a history file decoded, a long layout pass): the
  // heap grows by twenty megabytes and gives them back.
  burst,
};

// Other code's blocks, for an answer of `answerBytes`. Every block is written, as its user would.
class UsedHeap {
 public:
  UsedHeap(HeapUse use, std::size_t answerBytes)
      : use_(use), kib_(std::max<std::size_t>(answerBytes / 1024, 1)) {}
  UsedHeap(const UsedHeap&) = delete;
  UsedHeap& operator=(const UsedHeap&) = delete;
  ~UsedHeap() {
    for (void* block : views_) std::free(block);
  }

  void round() {
    if (use_ == HeapUse::burst) {
      std::vector<void*> blocks(100'000);
      for (auto& block : blocks) block = made(200);
      for (void* block : blocks) std::free(block);
      return;
    }
    std::vector<void*> views;
    std::vector<void*> temporaries;
    std::string answer;
    for (std::size_t i = 0; i < kib_ * 100; ++i) {
      views.push_back(made(16 + next() % 496));
      temporaries.push_back(made(16 + next() % 240));
      temporaries.push_back(made(16 + next() % 240));
      if (i % 50 == 0) views.push_back(made(512 + next() % (16 * 1024)));
      if (i % 10 == 0) answer.append(96, 'x');
    }
    temporaries.push_back(made(1280 * 800 * 4));
    benchmark::DoNotOptimize(answer.data());

    for (std::size_t i = views_.size(); i > 1; --i) std::swap(views_[i - 1], views_[next() % i]);
    for (void* block : views_) std::free(block);
    views_ = std::move(views);
    for (void* block : temporaries) std::free(block);
  }

 private:
  static void* made(std::size_t size) {
    void* block = std::malloc(size);
    std::memset(block, 0x5a, size);
    return block;
  }

  std::uint32_t next() {
    seed_ = seed_ * 1664525u + 1013904223u;
    return seed_ >> 8;
  }

  HeapUse use_;
  std::size_t kib_;
  std::uint32_t seed_ = 12345;
  std::vector<void*> views_;  // shown until the next round's replace them
};

struct Measured {
  double seconds = 0;
  long faults = 0;
  // The seconds since `startSeconds`, added with the faults since `startFaults`.
  double add(double startSeconds, long startFaults) {
    const double elapsed = threadSeconds() - startSeconds;
    seconds += elapsed;
    faults += minorFaults() - startFaults;
    return elapsed;
  }
};

// Arguments: the answer's size in KiB, and how other code uses the heap (HeapUse). Time: the
// bridge's parse (CPU time of the thread). Counters: cmark-gfm alone in the same heap, the ratio
// of the two, and minor page faults per parse of each.
void BM_MarkdownParseUsedHeap(benchmark::State& state) {
  const std::string text = chatAnswer(static_cast<std::size_t>(state.range(0)) * 1024);
  UsedHeap heap(static_cast<HeapUse>(state.range(1)), text.size());
  std::optional<std::vector<markdown::Block>> shown;  // what the views show until the next parse
  Measured bridge;
  Measured cmark;
  for (auto _ : state) {
    heap.round();
    double start = threadSeconds();
    long faults = minorFaults();
    std::vector<markdown::Block> blocks = markdown::parseMarkdown(text);
    state.SetIterationTime(bridge.add(start, faults));
    shown = std::move(blocks);

    heap.round();
    start = threadSeconds();
    faults = minorFaults();
    parseWithCmarkOnly(text);
    cmark.add(start, faults);
  }
  const auto perParse = [&](double total) {
    return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
  };
  state.counters["cmark_us"] = perParse(cmark.seconds * 1e6);
  state.counters["ratio"] = bridge.seconds / cmark.seconds;
  state.counters["faults"] = perParse(static_cast<double>(bridge.faults));
  state.counters["cmark_faults"] = perParse(static_cast<double>(cmark.faults));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_MarkdownParseUsedHeap)
    ->ArgNames({"KiB", "heap"})
    ->ArgsProduct({{20, 200},
                   {static_cast<int>(HeapUse::streaming), static_cast<int>(HeapUse::burst)}})
    ->UseManualTime()
    ->MinTime(0.25)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
