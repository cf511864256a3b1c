#include "markdown/BlockSequence.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "markdown/BlockMargin.h"
#include "markdown/BlockView.h"
#include "markdown/EnvironmentKeys.h"
#include "markdown/FontProperties.h"
#include "markdown/Hasher.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/TextStyle.h"
#include "ui/LazyVStack.h"
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

// A document block's identity: its position and its value, hashed when the block was made.
struct DocumentKey {
  std::int64_t index = 0;
  DocumentBlocks::Shared block;
  std::size_t hash = 0;

  static DocumentKey make(std::int64_t index, DocumentBlocks::Shared block) {
    Hasher hasher;
    hasher.combine(static_cast<std::uint64_t>(index));
    hasher.combine(static_cast<std::uint64_t>(block->hash));
    return {index, std::move(block), hasher.finalize()};
  }
  bool operator==(const DocumentKey& other) const {
    return index == other.index && hash == other.hash &&
           (block == other.block || block->block == other.block->block);
  }
};

// The margins a document's blocks reported, by position, and the last reported by a block of
// each kind (headings by level): what a block not made yet is taken to report.
struct DocumentMargins {
  static constexpr std::size_t kKinds = 10 + 6;
  std::vector<std::optional<BlockMargin>> entries;
  std::array<std::optional<BlockMargin>, kKinds> byKind;

  static std::size_t kindOf(const Block& block) {
    if (const auto* h = block.as<Block::Heading>())
      return 10 + static_cast<std::size_t>(std::clamp<std::int64_t>(h->level, 1, 6) - 1);
    return static_cast<std::size_t>(block.kind());
  }
  std::optional<BlockMargin> of(std::size_t index, const Block& block) const {
    if (index < entries.size() && entries[index]) return entries[index];
    return byKind[kindOf(block)];
  }
};

// A rough height of a block not laid out yet, from its lines: in the basic theme's sizes, for
// its shape more than its scale, which the lazy stack takes from the blocks it made.
double estimatedHeight(const DocumentBlock& block, double width, double fontSize) {
  const Block& b = block.block;
  double size = fontSize, overhead = 0;
  bool wraps = true;
  if (const auto* h = b.as<Block::Heading>()) {
    static constexpr double kHeadingScale[] = {2.0, 1.5, 1.25, 1.0, 0.875, 0.85};
    size *= kHeadingScale[std::clamp<std::int64_t>(h->level, 1, 6) - 1];
  } else if (b.as<Block::CodeBlock>()) {
    size *= 0.85;
    wraps = false;
    overhead = 2 * ui::kDefaultPadding + 20;
  } else if (b.as<Block::Table>()) {
    overhead = 0.5 * fontSize * double(block.lineLengths.size());
  }
  const double characterWidth = 0.5 * size, lineHeight = 1.25 * size;
  const double room = std::max(width, 4 * characterWidth);
  double lines = 0;
  for (std::uint32_t length : block.lineLengths)
    lines += wraps ? std::max(1.0, std::ceil(double(length) * characterWidth / room)) : 1.0;
  return lines * lineHeight + overhead;
}

}  // namespace
}  // namespace markdown

template <class Element>
struct std::hash<markdown::ElementKey<Element>> {
  std::size_t operator()(const markdown::ElementKey<Element>& key) const { return key.hash; }
};
template <>
struct std::hash<markdown::DocumentKey> {
  std::size_t operator()(const markdown::DocumentKey& key) const { return key.hash; }
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

namespace {

class DocumentSequenceView final : public ui::View {
 public:
  explicit DocumentSequenceView(std::shared_ptr<const DocumentBlocks> blocks)
      : blocks_(std::move(blocks)) {}
  ui::AnyView body(ui::BuildContext& context) const override;

 private:
  std::shared_ptr<const DocumentBlocks> blocks_;
};

ui::AnyView DocumentSequenceView::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  const bool tight = env.get<TightSpacingEnabledKey>();
  const auto alignment = columnAlignment(env.get<ui::MultilineTextAlignmentKey>());
  const std::shared_ptr<DocumentMargins> margins =
      *context.state<std::shared_ptr<DocumentMargins>>(std::make_shared<DocumentMargins>());
  auto revision = context.state<std::uint64_t>(0);
  const auto blocks = blocks_;
  if (margins->entries.size() > blocks->size()) margins->entries.resize(blocks->size());
  // The blocks and margins of the last build: the rows of the blocks shared with it keep their
  // keys, and the stack need not ask for them again.
  struct LastBuild {
    std::shared_ptr<const DocumentBlocks> blocks;
    std::uint64_t revision = 0;
    bool tight = false;
  };
  const auto last = *context.state<std::shared_ptr<LastBuild>>(std::make_shared<LastBuild>());
  const std::size_t unchanged =
      last->blocks && last->revision == revision.get() && last->tight == tight
          ? blocks->sharedPrefix(*last->blocks)
          : 0;
  *last = {blocks, revision.get(), tight};
  const ui::AttributeContainer attributes = collectedAttributes(env.get<TextStyleKey>());
  const FontProperties* font = attributes.get<FontPropertiesAttribute>();
  const double fontSize = font ? font->size * font->scale : FontProperties::defaultSize;

  // Asked as the rows are made, so they read the margins reported by then.
  auto spacing = [margins, blocks, tight](std::size_t i) -> std::optional<double> {
    if (i == 0) return 0.0;
    const auto mine = margins->of(i, (*blocks)[i]->block);
    const auto previous = margins->of(i - 1, (*blocks)[i - 1]->block);
    return larger(
        mine ? mine->top : std::nullopt,
        tight ? std::optional<double>(0.0) : (previous ? previous->bottom : std::nullopt));
  };
  auto row = [margins, blocks, revision, spacing](std::size_t i) {
    const std::size_t kind = DocumentMargins::kindOf((*blocks)[i]->block);
    auto report = [margins, revision, i, kind](const BlockMargin& reported) {
      auto& entries = margins->entries;
      if (entries.size() <= i) entries.resize(i + 1);
      const bool changed = !entries[i] || !(*entries[i] == reported);
      entries[i] = reported;
      margins->byKind[kind] = reported;
      if (changed) revision.set(revision.get() + 1);
    };
    return ui::AnyView(SequenceElement(BlockView(blocks->block(i)), spacing(i), std::move(report)));
  };
  auto id = [blocks](std::size_t i) {
    return ui::Identity::of(DocumentKey::make(static_cast<std::int64_t>(i), (*blocks)[i]));
  };
  ui::LazyRowHints hints;
  hints.key = [blocks, spacing](std::size_t i) -> std::uint64_t {
    Hasher hasher;
    hasher.combine(static_cast<std::uint64_t>((*blocks)[i]->hash));
    const auto s = spacing(i);
    hasher.combineByte(s ? 1 : 0);
    if (s) hasher.combine(*s);
    return hasher.finalize();
  };
  hints.unchangedRows = unchanged;
  hints.firstRowsByEstimate = env.get<LeadingEdgeFixedKey>() && alignment == ui::HAlign::leading;
  hints.estimate = [blocks, spacing, fontSize](std::size_t i, double width) {
    return estimatedHeight(*(*blocks)[i], width, fontSize) +
           spacing(i).value_or(ui::kDefaultPadding);
  };
  return ui::LazyVStack(alignment, 0.0, blocks->size(), std::move(id), std::move(row),
                        std::move(hints));
}

}  // namespace

ui::AnyView DocumentSequence(std::shared_ptr<const DocumentBlocks> blocks) {
  return DocumentSequenceView(std::move(blocks));
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
