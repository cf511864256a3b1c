// Presets arriving through links: one hand-over of a thousand links, onto an empty list and
// onto one that nine earlier hand-overs filled.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "BenchEnvironment.h"
#include "core/DataModel.h"
#include "shell/PresetImport.h"

namespace {

struct CountingOpener : shell::URLOpener {
  int opened = 0;
  bool open(std::string_view) override {
    ++opened;
    return true;
  }
};

std::vector<std::string> importLinks(int count) {
  std::vector<std::string> links;
  for (int i = 0; i < count; ++i)
    links.push_back("quillcast://import?data=%7B%22emoji%22%3A%22a%22%2C%22name%22%3A%22n" +
                    std::to_string(i) +
                    "%22%2C%22prompt%22%3A%22Sum%20up%20%7Bselected%20text%7D%22%7D");
  return links;
}

void BM_ImportThousandLinksInOneHandOver(benchmark::State& state) {
  bench::benchHome();
  const auto links = importLinks(1000);
  const auto earlier = static_cast<std::size_t>(state.range(0));
  core::DataModel model;
  const auto presets = model.PromptM.get();
  std::vector<core::PromptData> filled(earlier);
  for (auto& preset : filled) {
    preset.emoji = "a";
    preset.name = "earlier";
    preset.prompt = "p";
  }
  CountingOpener opener;
  for (auto _ : state) {
    state.PauseTiming();
    presets->prompts.set(filled);
    state.ResumeTiming();
    shell::handleOpenURLs(links, model, opener);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
  state.counters["windows"] = static_cast<double>(opener.opened) / state.iterations();
}
BENCHMARK(BM_ImportThousandLinksInOneHandOver)->Arg(0)->Arg(9000)->Unit(benchmark::kMillisecond);

}  // namespace
