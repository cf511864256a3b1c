#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/FakeTextMeasurer.h"
#include "ui/Views.h"

namespace {

constexpr int kSections = 100;
constexpr int kLeavesPerSection = 16;

using Probe = std::shared_ptr<std::optional<ui::StateRef<int>>>;

// One leaf: a counter in state shown as text; the probed leaf hands its state out.
class Leaf final : public ui::EquatableView<Leaf> {
 public:
  Leaf(int value, Probe probe) : value_(value), probe_(std::move(probe)) {}
  ui::AnyView body(ui::BuildContext& ctx) const override {
    auto count = ctx.state<int>(0);
    if (probe_) *probe_ = count;
    return ui::AnyView(ui::Text::verbatim(std::to_string(value_) + ":" + std::to_string(*count)))
        .padding(1);
  }
  bool operator==(const Leaf& o) const { return value_ == o.value_ && probe_ == o.probe_; }

 private:
  int value_;
  Probe probe_;
};

class Section final : public ui::EquatableView<Section> {
 public:
  Section(std::vector<int> values, Probe probe)
      : values_(std::move(values)), probe_(std::move(probe)) {}
  ui::AnyView body(ui::BuildContext&) const override {
    std::vector<ui::AnyView> leaves;
    for (std::size_t i = 0; i < values_.size(); ++i)
      leaves.push_back(Leaf(values_[i], i == 0 ? probe_ : nullptr));
    return ui::VStack(ui::HAlign::leading, 0, std::move(leaves));
  }
  bool operator==(const Section& o) const { return values_ == o.values_ && probe_ == o.probe_; }

 private:
  std::vector<int> values_;
  Probe probe_;
};

ui::AnyView tree(const std::vector<std::vector<int>>& data, const Probe& probe) {
  std::vector<ui::AnyView> sections;
  for (std::size_t s = 0; s < data.size(); ++s)
    sections.push_back(Section(data[s], s == data.size() / 2 ? probe : nullptr));
  return ui::VStack(ui::HAlign::leading, 0, std::move(sections));
}

std::vector<std::vector<int>> data() {
  std::vector<std::vector<int>> d(kSections);
  int v = 0;
  for (auto& section : d)
    for (int i = 0; i < kLeavesPerSection; ++i) section.push_back(v++);
  return d;
}

void report(benchmark::State& state, const ui::ViewHost& host, std::size_t iterations) {
  const auto stats = host.stats();
  state.counters["nodes"] = double(host.nodeCount());
  state.counters["updated/iter"] = double(stats.nodesUpdated) / double(iterations);
  state.counters["measured/iter"] = double(stats.nodesMeasured) / double(iterations);
}

// Everything from nothing: the cost a one-leaf change must stay far below.
void BM_FullBuild(benchmark::State& state) {
  const auto d = data();
  auto measurer = std::make_shared<ui::FakeTextMeasurer>();
  std::size_t n = 0;
  std::unique_ptr<ui::ViewHost> last;
  for (auto _ : state) {
    auto host = std::make_unique<ui::ViewHost>(tree(d, nullptr), measurer);
    host->setProposal({600, {}});
    host->update();
    benchmark::DoNotOptimize(host->rootSize());
    last = std::move(host);
    ++n;
  }
  report(state, *last, 1);
}
BENCHMARK(BM_FullBuild)->Unit(benchmark::kMicrosecond);

// A state write in one leaf: only that leaf rebuilds; layout re-measures along its path.
void BM_OneLeafStateChange(benchmark::State& state) {
  auto probe = std::make_shared<std::optional<ui::StateRef<int>>>();
  ui::ViewHost host(tree(data(), probe), std::make_shared<ui::FakeTextMeasurer>());
  host.setProposal({600, {}});
  host.update();
  host.resetStats();
  std::size_t n = 0;
  for (auto _ : state) {
    (*probe)->set(**(*probe) + 1);
    host.update();
    ++n;
  }
  report(state, host, n);
}
BENCHMARK(BM_OneLeafStateChange)->Unit(benchmark::kMicrosecond);

// A new root value with one leaf's data changed: equal sections and leaves are skipped.
void BM_OneLeafValueChange(benchmark::State& state) {
  auto d = data();
  ui::ViewHost host(tree(d, nullptr), std::make_shared<ui::FakeTextMeasurer>());
  host.setProposal({600, {}});
  host.update();
  host.resetStats();
  std::size_t n = 0;
  for (auto _ : state) {
    d[kSections / 3][kLeavesPerSection / 2] += 1;
    host.setRoot(tree(d, nullptr));
    host.update();
    ++n;
  }
  report(state, host, n);
}
BENCHMARK(BM_OneLeafValueChange)->Unit(benchmark::kMicrosecond);

}  // namespace
