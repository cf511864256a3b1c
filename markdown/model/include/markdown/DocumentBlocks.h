#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "markdown/Block.h"
#include "markdown/ColorScheme.h"

namespace markdown {

// One top-level block of a document, with what a view wants to know of it without walking it:
// its hash, the lengths of its lines and whether it has images for one appearance only.
struct DocumentBlock {
  Block block;
  std::size_t hash = 0;
  // The length in bytes of each line of the block's text as written, before any wrapping: each
  // line of a paragraph (between hard breaks), heading, code or HTML block, each table row (its
  // widest cell times its columns), and those of the blocks inside lists and quotes. Images
  // and empty lines count as lines of no length.
  std::vector<std::uint32_t> lineLengths;
  bool hasImagesHiddenInLight = false;
  bool hasImagesHiddenInDark = false;

  explicit DocumentBlock(Block block);
  bool hidesImagesIn(ColorScheme scheme) const {
    return scheme == ColorScheme::light ? hasImagesHiddenInLight : hasImagesHiddenInDark;
  }
};

// The top-level blocks of a document, each shared. A document made from a longer text shares the
// blocks it has in common with the document before, and the list of them: an answer that grows
// at its end is not copied for every piece that arrives.
class DocumentBlocks {
 public:
  using Shared = std::shared_ptr<const DocumentBlock>;

  DocumentBlocks() = default;
  explicit DocumentBlocks(std::vector<Block> blocks);
  explicit DocumentBlocks(std::vector<Shared> blocks);
  // Which appearances hide an image of some blocks.
  struct HiddenImages {
    bool inLight = false, inDark = false;
    void add(const DocumentBlock& block) {
      inLight = inLight || block.hasImagesHiddenInLight;
      inDark = inDark || block.hasImagesHiddenInDark;
    }
  };
  // The first `count` of `settled` (which only ever grows at its end), then `rest`;
  // `settledImages` tells of the images of those first `count` (looked for when absent).
  DocumentBlocks(std::shared_ptr<const std::vector<Shared>> settled, std::size_t count,
                 std::vector<Shared> rest, std::optional<HiddenImages> settledImages = {});

  std::size_t size() const { return settledCount_ + rest_.size(); }
  bool empty() const { return size() == 0; }
  const Shared& operator[](std::size_t i) const {
    return i < settledCount_ ? (*settled_)[i] : rest_[i - settledCount_];
  }
  // The block itself, sharing the document block's ownership.
  std::shared_ptr<const Block> block(std::size_t i) const;
  // Whether a block has an image that does not show in `scheme`.
  bool hidesImagesIn(ColorScheme scheme) const {
    return scheme == ColorScheme::light ? hidden_.inLight : hidden_.inDark;
  }

  // Equal blocks in the same order; shared blocks are not compared again.
  bool operator==(const DocumentBlocks& other) const;
  // How many leading blocks the two share (the same objects): for documents of one growing text,
  // at once.
  std::size_t sharedPrefix(const DocumentBlocks& other) const;

 private:
  std::shared_ptr<const std::vector<Shared>> settled_;
  std::size_t settledCount_ = 0;
  std::vector<Shared> rest_;
  HiddenImages hidden_;
};

}  // namespace markdown
