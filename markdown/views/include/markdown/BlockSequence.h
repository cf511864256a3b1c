#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "markdown/Block.h"
#include "markdown/DocumentBlocks.h"
#include "ui/View.h"

namespace markdown {

// Blocks one under the other, spaced by the margins they report: between two neighbours the
// larger of the upper one's bottom and the lower one's top (only the lower one's top inside a
// tight list), the platform's default padding when neither reports one, nothing above the
// first. Each element is identified by its position together with its value.
template <class Element>
class BlockSequenceView final : public ui::View {
 public:
  // Without a content function each block is its own view (Block elements only).
  using Content = std::function<ui::AnyView(std::int64_t index, const Element& element)>;

  BlockSequenceView(std::vector<Element> data, Content content)
      : data_(std::make_shared<const std::vector<Element>>(std::move(data))),
        content_(std::move(content)) {}
  BlockSequenceView(std::shared_ptr<const std::vector<Element>> data, Content content)
      : data_(std::move(data)), content_(std::move(content)) {}

  ui::AnyView body(ui::BuildContext& context) const override;

  const std::vector<Element>& data() const { return *data_; }

 private:
  std::shared_ptr<const std::vector<Element>> data_;
  Content content_;
};

extern template class BlockSequenceView<Block>;
extern template class BlockSequenceView<ListItem>;
extern template class BlockSequenceView<TaskListItem>;

template <class Element>
ui::AnyView BlockSequence(std::vector<Element> data,
                          typename BlockSequenceView<Element>::Content content) {
  return BlockSequenceView<Element>(std::move(data), std::move(content));
}

// A document or a blockquote: each block shown by its own view.
ui::AnyView BlockSequence(std::vector<Block> blocks);
ui::AnyView BlockSequence(std::shared_ptr<const std::vector<Block>> blocks);

// A whole document, spaced as BlockSequence spaces its blocks, whose blocks are made, laid out
// and drawn only while they show in the scroll view around it, or are near doing so (every
// block outside one): an answer of a megabyte costs what a screenful of it costs. The blocks
// not made count with heights estimated from their lines, scaled by what the blocks made
// measured, and margins as the blocks of their kind last reported.
ui::AnyView DocumentSequence(std::shared_ptr<const DocumentBlocks> blocks);

}  // namespace markdown
