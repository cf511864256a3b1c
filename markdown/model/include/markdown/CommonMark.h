#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "markdown/Block.h"
#include "markdown/Inline.h"

struct cmark_node;

namespace markdown {

// The name of a cmark-gfm syntax extension.
struct CommonMarkExtension {
  std::string rawValue;

  // autolink, strikethrough, table, tagfilter, tasklist: the order they attach in.
  static const std::vector<CommonMarkExtension>& defaultExtensions();

  bool operator==(const CommonMarkExtension&) const = default;
};

// Containers (blocks, list items, table rows and cells, inline containers) nest at most this
// deep in a parsed document. A container that would sit deeper is kept as its plain text: a
// block as a paragraph of that text, an inline as one text. Parsed input comes from a remote
// service, and every walk of the tree recurses.
inline constexpr int kMaxNestingDepth = 256;

class ParseArena;

// The blocks of `markdown` as parseMarkdown gives them, with the lines each top-level node of the
// document spans: a node whose first line is complete, and which no node before it reaches,
// closed every node before it for good.
struct ParsedTopLevel {
  struct Node {
    int line = 0, endLine = 0;     // from 1
    std::size_t blocksBefore = 0;  // of `blocks`, from the nodes before it
  };
  std::vector<Block> blocks;
  std::vector<Node> nodes;
};
ParsedTopLevel parseMarkdownTopLevel(std::string_view markdown);

// A handle to one cmark-gfm node. It owns (and frees) its node only when that node is a
// document; handles to inner nodes are views that live for one conversion step.
class CommonMarkNode {
 public:
  explicit CommonMarkNode(cmark_node* pointer) : pointer_(pointer) {}
  CommonMarkNode(CommonMarkNode&& other) noexcept
      : pointer_(std::exchange(other.pointer_, nullptr)), arena_(std::move(other.arena_)) {}
  CommonMarkNode& operator=(CommonMarkNode&& other) noexcept;
  CommonMarkNode(const CommonMarkNode&) = delete;
  CommonMarkNode& operator=(const CommonMarkNode&) = delete;
  ~CommonMarkNode();

  // The document of `markdown`; extensions the library lacks are skipped. Invalid UTF-8 is
  // repaired first, each invalid sequence becoming U+FFFD.
  static std::optional<CommonMarkNode> parse(std::string_view markdown,
                                             const std::vector<CommonMarkExtension>& extensions,
                                             std::int32_t options);

  cmark_node* pointer() const { return pointer_; }

  // For a list: whether any of its items is a task item.
  bool isTaskList() const;
  // For a table: one one-character text per column, "l", "c", "r" or "\0".
  std::vector<std::string> tableColumnAlignments() const;

 private:
  friend std::vector<Block> makeBlocks(const CommonMarkNode& document);
  friend ParsedTopLevel parseMarkdownTopLevel(std::string_view markdown);

  void release();

  cmark_node* pointer_;
  std::shared_ptr<ParseArena> arena_;  // the memory of a parsed document, freed after it
};

// The blocks of `markdown`, parsed with the default extensions and options 0.
std::vector<Block> parseMarkdown(std::string_view markdown);

// The children of a document node, converted; children without a mapping are dropped.
std::vector<Block> makeBlocks(const CommonMarkNode& document);
// The block for one child of a document, or absent when its kind has no mapping.
std::optional<Block> makeBlock(const CommonMarkNode& node);
// The inline for one node inside a paragraph, or absent when its kind has no mapping.
std::optional<Inline> makeInline(const CommonMarkNode& node);

}  // namespace markdown

template <>
struct std::hash<markdown::CommonMarkExtension> {
  std::size_t operator()(const markdown::CommonMarkExtension& value) const {
    return std::hash<std::string>{}(value.rawValue);
  }
};
