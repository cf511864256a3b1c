#pragma once

#include <string>
#include <vector>

#include "markdown/Block.h"
#include "ui/View.h"

namespace markdown {

// One block as its view, wrapped in the theme's style for its kind. Compared by its block, so
// an unchanged block is not built again when the document around it changes.
class BlockView final : public ui::EquatableView<BlockView> {
 public:
  explicit BlockView(Block block) : block_(std::make_shared<const Block>(std::move(block))) {}
  explicit BlockView(std::shared_ptr<const Block> block) : block_(std::move(block)) {}
  ui::AnyView body(ui::BuildContext& context) const override;
  const Block& block() const { return *block_; }
  bool operator==(const BlockView& other) const {
    return block_ == other.block_ || *block_ == *other.block_;
  }

 private:
  std::shared_ptr<const Block> block_;
};

// The content of a code or HTML block without its one final line feed.
std::string withoutFinalLineFeed(const std::string& content);

// A paragraph's view: one image, a flow of images and breaks, or running text.
ui::AnyView ParagraphContent(const std::vector<Inline>& inlines);

}  // namespace markdown
