#include <benchmark/benchmark.h>
#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <sys/resource.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "markdown/CommonMark.h"

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

// The library alone: parse with the same extensions and options, then free the tree.
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
  benchmark::DoNotOptimize(document);
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

long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Page faults per iteration: fresh memory from the system costs one per page touched.
void countFaults(benchmark::State& state, long before) {
  state.counters["faults"] = benchmark::Counter(static_cast<double>(minorFaults() - before),
                                                benchmark::Counter::kAvgIterations);
}

// The heap of a program that has run for a while: grown by many small blocks and shrunk again
// when they were freed.
void useTheHeap() {
  std::vector<void*> small(200'000);
  for (auto& block : small) {
    block = std::malloc(200);
    benchmark::DoNotOptimize(block);
  }
  for (void* block : small) std::free(block);
}

void BM_MarkdownParseUsedHeap(benchmark::State& state) {
  const std::string text = chatAnswer(static_cast<std::size_t>(state.range(0)) * 1024);
  useTheHeap();
  const long faults = minorFaults();
  for (auto _ : state) benchmark::DoNotOptimize(markdown::parseMarkdown(text));
  countFaults(state, faults);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_MarkdownParseUsedHeap)->Arg(20)->Unit(benchmark::kMicrosecond);

void BM_CmarkOnlyUsedHeap(benchmark::State& state) {
  const std::string text = chatAnswer(static_cast<std::size_t>(state.range(0)) * 1024);
  useTheHeap();
  const long faults = minorFaults();
  for (auto _ : state) parseWithCmarkOnly(text);
  countFaults(state, faults);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CmarkOnlyUsedHeap)->Arg(20)->Unit(benchmark::kMicrosecond);

}  // namespace
