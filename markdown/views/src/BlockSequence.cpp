#include "markdown/BlockSequence.h"

#include <algorithm>
#include <optional>

#include "markdown/BlockMargin.h"
#include "markdown/BlockView.h"
#include "markdown/EnvironmentKeys.h"
#include "markdown/Indexed.h"
#include "ui/Stacks.h"
#include "ui/State.h"
#include "ui/SystemEnvironment.h"

namespace markdown {
namespace {

// The margins last reported at each position. Keyed by position, so two elements never share
// an entry, and cut to the sequence's length, so a streamed answer does not grow it. When a
// new element takes a position (the growing last block of a streamed answer) the entry left
// there is only a first guess for this frame: the new element's own report replaces it before
// anything is drawn, and the sequence is laid out again only when the margins differ.
template <class Element>
struct MarginTable {
  std::vector<std::optional<BlockMargin>> entries;

  const BlockMargin* find(std::size_t index) const {
    if (index >= entries.size() || !entries[index]) return nullptr;
    return &*entries[index];
  }
};

std::optional<double> larger(std::optional<double> a, std::optional<double> b) {
  if (a && b) return std::max(*a, *b);
  return a ? a : b;
}

ui::HAlign columnAlignment(ui::TextAlignment alignment) {
  switch (alignment) {
    case ui::TextAlignment::center:
      return ui::HAlign::center;
    case ui::TextAlignment::trailing:
      return ui::HAlign::trailing;
    default:
      return ui::HAlign::leading;
  }
}

}  // namespace

template <class Element>
ui::AnyView BlockSequenceView<Element>::body(ui::BuildContext& context) const {
  using Table = MarginTable<Element>;
  const ui::Environment& env = context.environment();
  const bool tight = env.get<TightSpacingEnabledKey>();
  const auto alignment = columnAlignment(env.get<ui::MultilineTextAlignmentKey>());
  // The table is edited in place; `revision` rebuilds the sequence when spacing must change.
  const std::shared_ptr<Table> margins =
      *context.state<std::shared_ptr<Table>>(std::make_shared<Table>());
  auto revision = context.state<std::uint64_t>(0);
  const auto& data = *data_;
  if (margins->entries.size() > data.size()) margins->entries.resize(data.size());

  std::vector<ui::AnyView> children;
  children.reserve(data.size());
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::optional<double> spacing = 0.0;
    if (i > 0) {
      const BlockMargin* mine = margins->find(i);
      const BlockMargin* previous = margins->find(i - 1);
      std::optional<double> top = mine ? mine->top : std::nullopt;
      std::optional<double> bottom =
          tight ? std::optional<double>(0.0) : (previous ? previous->bottom : std::nullopt);
      spacing = larger(top, bottom);
    }
    const auto index = static_cast<std::int64_t>(i);
    ui::AnyView element = ui::AnyView(content_(index, data[i]))
                              .onPreferenceChange<BlockMarginsPreference>(
                                  [margins, revision, i](const BlockMargin& reported) {
                                    auto& entries = margins->entries;
                                    if (entries.size() <= i) entries.resize(i + 1);
                                    const bool changed = !entries[i] || !(*entries[i] == reported);
                                    entries[i] = reported;
                                    if (changed) revision.set(revision.get() + 1);
                                  })
                              .padding(ui::EdgeSet(ui::Edge::top), spacing)
                              .id(ui::Identity::of(Indexed<Element>{index, data[i]}));
    children.push_back(std::move(element));
  }
  return ui::VStack(alignment, 0.0, std::move(children));
}

template class BlockSequenceView<Block>;
template class BlockSequenceView<ListItem>;
template class BlockSequenceView<TaskListItem>;

ui::AnyView BlockSequence(std::vector<Block> blocks) {
  return BlockSequence<Block>(std::move(blocks),
                              [](std::int64_t, const Block& block) { return BlockView(block); });
}

}  // namespace markdown
