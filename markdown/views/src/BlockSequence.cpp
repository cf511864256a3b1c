#include "markdown/BlockSequence.h"

#include <algorithm>
#include <optional>

#include "markdown/BlockMargin.h"
#include "markdown/BlockView.h"
#include "markdown/EnvironmentKeys.h"
#include "markdown/Hasher.h"
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
struct MarginTable {
  std::vector<std::optional<BlockMargin>> entries;

  const BlockMargin* find(std::size_t index) const {
    if (index >= entries.size() || !entries[index]) return nullptr;
    return &*entries[index];
  }
};

// An element's identity: its position and its value, the value shared with the sequence's
// data rather than copied, and hashed once.
template <class Element>
struct ElementKey {
  std::int64_t index = 0;
  std::shared_ptr<const Element> value;
  std::size_t hash = 0;

  static ElementKey make(std::int64_t index, std::shared_ptr<const Element> value) {
    Hasher hasher;
    hasher.combine(static_cast<std::uint64_t>(index));
    hashInto(hasher, *value);
    return {index, std::move(value), hasher.finalize()};
  }
  bool operator==(const ElementKey& other) const {
    return index == other.index && hash == other.hash &&
           (value == other.value || *value == *other.value);
  }
};

// One element with its top spacing, reporting its margins. Equal when its content says it is
// and the spacing is the same, so an unchanged block costs no rebuild, layout or collection.
class SequenceElement final : public ui::EquatableView<SequenceElement> {
 public:
  SequenceElement(ui::AnyView content, std::optional<double> spacing,
                  std::function<void(const BlockMargin&)> report)
      : content_(std::move(content)), spacing_(spacing), report_(std::move(report)) {}
  ui::AnyView body(ui::BuildContext&) const override {
    return content_.onPreferenceChange<BlockMarginsPreference>(report_).padding(
        ui::EdgeSet(ui::Edge::top), spacing_);
  }
  bool operator==(const SequenceElement& other) const {
    return spacing_ == other.spacing_ && content_.get() && other.content_.get() &&
           content_.get()->equals(*other.content_.get());
  }

 private:
  ui::AnyView content_;
  std::optional<double> spacing_;
  std::function<void(const BlockMargin&)> report_;
};

// A run of consecutive blocks of a long document, stacked together. Its blocks are their own
// views, so equal identities and spacing mean an equal group: a streamed answer rebuilds and
// lays out only the group that holds its growing end, and the stack above has a sixteenth of
// the blocks to look at.
class ElementGroup final : public ui::EquatableView<ElementGroup> {
 public:
  struct Member {
    ui::Identity id;
    std::optional<double> spacing;
    ui::AnyView view;  // the element with its identity
  };
  ElementGroup(ui::HAlign alignment, std::vector<Member> members)
      : alignment_(alignment), members_(std::move(members)) {}
  ui::AnyView body(ui::BuildContext&) const override {
    std::vector<ui::AnyView> views;
    views.reserve(members_.size());
    for (const auto& m : members_) views.push_back(m.view);
    return ui::VStack(alignment_, 0.0, std::move(views));
  }
  bool operator==(const ElementGroup& other) const {
    if (alignment_ != other.alignment_ || members_.size() != other.members_.size()) return false;
    for (std::size_t i = 0; i < members_.size(); ++i)
      if (members_[i].spacing != other.members_[i].spacing ||
          !(members_[i].id == other.members_[i].id))
        return false;
    return true;
  }

 private:
  ui::HAlign alignment_;
  std::vector<Member> members_;
};

constexpr std::size_t kGroupSize = 16;

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
}  // namespace markdown

template <class Element>
struct std::hash<markdown::ElementKey<Element>> {
  std::size_t operator()(const markdown::ElementKey<Element>& key) const { return key.hash; }
};

namespace markdown {

template <class Element>
ui::AnyView BlockSequenceView<Element>::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  const bool tight = env.get<TightSpacingEnabledKey>();
  const auto alignment = columnAlignment(env.get<ui::MultilineTextAlignmentKey>());
  // The table is edited in place; `revision` rebuilds the sequence when spacing must change.
  const std::shared_ptr<MarginTable> margins =
      *context.state<std::shared_ptr<MarginTable>>(std::make_shared<MarginTable>());
  auto revision = context.state<std::uint64_t>(0);
  const auto& data = *data_;
  if (margins->entries.size() > data.size()) margins->entries.resize(data.size());

  // One element, as in most list items: no spacing to set and nothing to stack.
  if (data.size() == 1) {
    const std::shared_ptr<const Element> value(data_, &data[0]);
    ui::AnyView only;
    if constexpr (std::is_same_v<Element, Block>) {
      if (!content_) only = BlockView(value);
    }
    if (!only && content_) only = content_(0, data[0]);
    margins->entries.clear();
    return only.id(ui::Identity::of(ElementKey<Element>::make(0, value)));
  }

  // Long documents of blocks shown as themselves are stacked in groups (see ElementGroup).
  bool grouped = false;
  if constexpr (std::is_same_v<Element, Block>) grouped = !content_ && data.size() > 2 * kGroupSize;
  std::vector<ElementGroup::Member> members;
  std::vector<ui::AnyView> children;
  children.reserve(grouped ? data.size() / kGroupSize + 1 : data.size());
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
    const std::shared_ptr<const Element> value(data_, &data[i]);
    ui::AnyView content;
    if constexpr (std::is_same_v<Element, Block>) {
      if (!content_) content = BlockView(value);
    }
    if (!content && content_) content = content_(index, data[i]);
    auto report = [margins, revision, i](const BlockMargin& reported) {
      auto& entries = margins->entries;
      if (entries.size() <= i) entries.resize(i + 1);
      const bool changed = !entries[i] || !(*entries[i] == reported);
      entries[i] = reported;
      if (changed) revision.set(revision.get() + 1);
    };
    const ui::Identity id = ui::Identity::of(ElementKey<Element>::make(index, value));
    ui::AnyView element =
        ui::AnyView(SequenceElement(std::move(content), spacing, std::move(report))).id(id);
    if (!grouped) {
      children.push_back(std::move(element));
      continue;
    }
    members.push_back({id, spacing, std::move(element)});
    if (members.size() == kGroupSize || i + 1 == data.size())
      children.push_back(ui::AnyView(ElementGroup(alignment, std::exchange(members, {})))
                             .id(ui::Identity(children.size())));
  }
  return ui::VStack(alignment, 0.0, std::move(children));
}

template class BlockSequenceView<Block>;
template class BlockSequenceView<ListItem>;
template class BlockSequenceView<TaskListItem>;

ui::AnyView BlockSequence(std::vector<Block> blocks) {
  return BlockSequence<Block>(std::move(blocks), nullptr);
}

ui::AnyView BlockSequence(std::shared_ptr<const std::vector<Block>> blocks) {
  return BlockSequenceView<Block>(std::move(blocks), nullptr);
}

}  // namespace markdown
