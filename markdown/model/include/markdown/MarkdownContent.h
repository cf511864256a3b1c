#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

#include "markdown/Block.h"

namespace markdown {

// The content a Markdown view shows.
struct MarkdownContent {
  std::vector<Block> blocks;

  MarkdownContent() = default;
  explicit MarkdownContent(std::vector<Block> blocks) : blocks(std::move(blocks)) {}
  // The text parsed as Markdown.
  explicit MarkdownContent(std::string_view markdown);

  // The content of a block content body.
  static MarkdownContent build(std::initializer_list<BlockComponent> content);

  const MarkdownContent& _markdownContent() const { return *this; }

  bool operator==(const MarkdownContent&) const = default;
};

}  // namespace markdown
