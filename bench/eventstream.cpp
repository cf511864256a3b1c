#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <vector>

#include "eventstream/EventStreamParser.h"

using eventstream::EventStreamParser;

namespace {

// The same chunk sizes on every run.
std::vector<std::string> cut(const std::string& stream, std::size_t smallest, std::size_t largest) {
  std::vector<std::string> chunks;
  std::uint32_t seed = 12345;
  for (std::size_t at = 0; at < stream.size();) {
    seed = seed * 1664525u + 1013904223u;
    const std::size_t size = smallest + (seed >> 8) % (largest - smallest + 1);
    chunks.push_back(stream.substr(at, size));
    at += size;
  }
  return chunks;
}

std::string chatDeltas(std::size_t totalBytes) {
  const char* pieces[] = {"Hello", " there", ",", " how",    " can", " I", " help",
                          " you",  " today", "?", " \\n\\n", "Sure", "!"};
  std::string stream;
  for (std::size_t i = 0; stream.size() < totalBytes; ++i) {
    stream +=
        "data: {\"id\":\"chatcmpl-8xQf2VYt3kR\",\"object\":\"chat.completion.chunk\","
        "\"created\":1700000000,\"model\":\"gpt-3.5-turbo\",\"choices\":[{\"index\":0,"
        "\"delta\":{\"content\":\"";
    stream += pieces[i % std::size(pieces)];
    stream += "\"},\"finish_reason\":null}]}\n\n";
  }
  return stream;
}

std::string oneLargeEvent(std::size_t totalBytes) {
  std::string stream = "data: {\"content\":\"";
  const std::string words = "lorem ipsum dolor sit amet, consectetur adipiscing elit ";
  while (stream.size() < totalBytes - 4) stream += words;
  stream.resize(totalBytes - 4);
  stream += "\"}\n\n";
  return stream;
}

// Minor page faults of this thread so far.
long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}

// Each iteration is a new connection's parser, starting in a heap that holds no free memory:
// glibc moves its mmap and trim thresholds up to the largest block freed so far, so without the
// trim a case would run on pages that an earlier case left behind, and its figure would depend
// on the order the cases run in. Reports page faults per iteration.
void parse(benchmark::State& state, const std::vector<std::string>& chunks,
           std::size_t totalBytes) {
  std::size_t events = 0;
  const long faults = minorFaults();
  for (auto _ : state) {
    state.PauseTiming();
    malloc_trim(0);
    state.ResumeTiming();
    EventStreamParser parser;
    for (const auto& chunk : chunks) events += parser.append(chunk).size();
    benchmark::DoNotOptimize(events);
  }
  state.counters["faults"] = benchmark::Counter(static_cast<double>(minorFaults() - faults),
                                                benchmark::Counter::kAvgIterations);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * totalBytes));
  state.counters["events"] =
      benchmark::Counter(static_cast<double>(events) / static_cast<double>(state.iterations()));
}

// (a) A long streamed answer: many small events in network-sized chunks.
void BM_ParseChatDeltas32MiB(benchmark::State& state) {
  static const std::string stream = chatDeltas(32 * 1024 * 1024);
  static const std::vector<std::string> chunks = cut(stream, 1024, 4096);
  parse(state, chunks, stream.size());
}
BENCHMARK(BM_ParseChatDeltas32MiB)->Unit(benchmark::kMillisecond);

// (b) One event arriving in many chunks: linear only if the block is not searched again from
// its start on every chunk.
void BM_ParseOneEvent4MiB(benchmark::State& state) {
  static const std::string stream = oneLargeEvent(4 * 1024 * 1024);
  static const std::vector<std::string> chunks = cut(stream, 1024, 1024);
  parse(state, chunks, stream.size());
}
BENCHMARK(BM_ParseOneEvent4MiB)->Unit(benchmark::kMillisecond);

}  // namespace
