#include "markdown/CommonMark.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <cstring>
#include <mutex>

#include "ParseArena.h"
#include "foundation/UTF8.h"

// Node types that the extensions register at run time; exported, but not in any header.
extern "C" {
extern cmark_node_type CMARK_NODE_TABLE, CMARK_NODE_TABLE_ROW, CMARK_NODE_TABLE_CELL,
    CMARK_NODE_STRIKETHROUGH;
}

namespace markdown {
namespace {

struct ExtensionNodeTypes {
  cmark_node_type table, tableRow, tableCell, strikethrough;
};

// The library registers its extensions through an unguarded static flag, and registration
// assigns the extension node types, so both happen exactly once, here.
const ExtensionNodeTypes& extensionNodeTypes() {
  static const ExtensionNodeTypes types = [] {
    cmark_gfm_core_extensions_ensure_registered();
    return ExtensionNodeTypes{CMARK_NODE_TABLE, CMARK_NODE_TABLE_ROW, CMARK_NODE_TABLE_CELL,
                              CMARK_NODE_STRIKETHROUGH};
  }();
  return types;
}

std::string literal(cmark_node* node) {
  const char* text = cmark_node_get_literal(node);
  return text ? std::string(text) : std::string();
}

std::string url(cmark_node* node) {
  const char* text = cmark_node_get_url(node);
  return text ? std::string(text) : std::string();
}

bool isBlockNode(cmark_node* node) {
  return (cmark_node_get_type(node) & CMARK_NODE_TYPE_MASK) == CMARK_NODE_TYPE_BLOCK;
}

// The text of a whole subtree, without recursion: the subtree may be arbitrarily deep.
std::string flattenedText(cmark_node* root) {
  std::string out;
  cmark_iter* iter = cmark_iter_new(root);
  cmark_event_type event;
  while ((event = cmark_iter_next(iter)) != CMARK_EVENT_DONE) {
    if (event != CMARK_EVENT_ENTER) continue;
    cmark_node* node = cmark_iter_get_node(iter);
    if (node != root && isBlockNode(node) && !out.empty() && out.back() != '\n') out += '\n';
    switch (cmark_node_get_type(node)) {
      case CMARK_NODE_TEXT:
      case CMARK_NODE_CODE:
      case CMARK_NODE_HTML_INLINE:
      case CMARK_NODE_CODE_BLOCK:
      case CMARK_NODE_HTML_BLOCK:
        out += literal(node);
        break;
      case CMARK_NODE_SOFTBREAK:
        out += ' ';
        break;
      case CMARK_NODE_LINEBREAK:
        out += '\n';
        break;
      default:
        break;
    }
  }
  cmark_iter_free(iter);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

bool isTaskList(cmark_node* list) {
  for (cmark_node* child = cmark_node_first_child(list); child; child = cmark_node_next(child)) {
    if (cmark_node_get_type(child) == CMARK_NODE_ITEM &&
        std::strcmp(cmark_node_get_type_string(child), "tasklist") == 0) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> tableColumnAlignments(cmark_node* table) {
  const std::uint16_t columns = cmark_gfm_extensions_get_table_columns(table);
  const std::uint8_t* bytes = cmark_gfm_extensions_get_table_alignments(table);
  std::vector<std::string> alignments;
  alignments.reserve(columns);
  for (std::uint16_t i = 0; i < columns; ++i) {
    alignments.emplace_back(1, bytes ? static_cast<char>(bytes[i]) : '\0');
  }
  return alignments;
}

// Whether the node is one that the conversion maps and that has something below it.
bool isMappedContainer(cmark_node* node) {
  if (cmark_node_first_child(node) == nullptr) return false;
  const cmark_node_type type = cmark_node_get_type(node);
  const ExtensionNodeTypes& types = extensionNodeTypes();
  switch (type) {
    case CMARK_NODE_BLOCK_QUOTE:
    case CMARK_NODE_LIST:
    case CMARK_NODE_PARAGRAPH:
    case CMARK_NODE_HEADING:
    case CMARK_NODE_EMPH:
    case CMARK_NODE_STRONG:
    case CMARK_NODE_LINK:
    case CMARK_NODE_IMAGE:
      return true;
    default:
      return type == types.table || type == types.strikethrough;
  }
}

std::optional<Block> convertBlock(cmark_node* node, int depth);
std::optional<Inline> convertInline(cmark_node* node, int depth);

// Counting first lets each vector be allocated once, its elements never moved.
std::size_t childCount(cmark_node* parent) {
  std::size_t count = 0;
  for (cmark_node* child = cmark_node_first_child(parent); child; child = cmark_node_next(child))
    ++count;
  return count;
}

std::vector<Block> convertBlocks(cmark_node* parent, int depth) {
  std::vector<Block> blocks;
  blocks.reserve(childCount(parent));
  for (cmark_node* child = cmark_node_first_child(parent); child; child = cmark_node_next(child)) {
    if (auto block = convertBlock(child, depth)) blocks.push_back(std::move(*block));
  }
  return blocks;
}

std::vector<Inline> convertInlines(cmark_node* parent, int depth) {
  std::vector<Inline> inlines;
  inlines.reserve(childCount(parent));
  for (cmark_node* child = cmark_node_first_child(parent); child; child = cmark_node_next(child)) {
    if (auto inline_ = convertInline(child, depth)) inlines.push_back(std::move(*inline_));
  }
  return inlines;
}

template <class Item, class MakeItem>
std::vector<Item> convertItems(cmark_node* list, MakeItem makeItem) {
  std::vector<Item> items;
  items.reserve(childCount(list));
  for (cmark_node* child = cmark_node_first_child(list); child; child = cmark_node_next(child)) {
    if (cmark_node_get_type(child) == CMARK_NODE_ITEM) items.push_back(makeItem(child));
  }
  return items;
}

std::optional<TextTableColumnAlignment> columnAlignment(const std::string& text) {
  if (text == "l") return TextTableColumnAlignment::leading;
  if (text == "c") return TextTableColumnAlignment::center;
  if (text == "r") return TextTableColumnAlignment::trailing;
  return std::nullopt;
}

Block convertTable(cmark_node* table, int depth) {
  const ExtensionNodeTypes& types = extensionNodeTypes();
  std::vector<std::optional<TextTableColumnAlignment>> alignments;
  for (const std::string& text : tableColumnAlignments(table)) {
    alignments.push_back(columnAlignment(text));
  }
  std::vector<Block::Row> rows;
  rows.reserve(childCount(table));
  for (cmark_node* row = cmark_node_first_child(table); row; row = cmark_node_next(row)) {
    if (cmark_node_get_type(row) != types.tableRow) continue;
    Block::Row cells;
    cells.reserve(childCount(row));
    for (cmark_node* cell = cmark_node_first_child(row); cell; cell = cmark_node_next(cell)) {
      if (cmark_node_get_type(cell) == types.tableCell) {
        cells.push_back(convertInlines(cell, depth + 3));
      }
    }
    rows.push_back(std::move(cells));
  }
  return Block::table(std::move(alignments), std::move(rows));
}

std::optional<Block> convertBlock(cmark_node* node, int depth) {
  if (depth >= kMaxNestingDepth && isMappedContainer(node)) {
    std::string text = flattenedText(node);
    if (text.empty()) return std::nullopt;
    return Block::paragraph({Inline::text(std::move(text))});
  }
  const cmark_node_type type = cmark_node_get_type(node);
  switch (type) {
    case CMARK_NODE_BLOCK_QUOTE:
      return Block::blockquote(convertBlocks(node, depth + 1));
    case CMARK_NODE_LIST: {
      const bool tight = cmark_node_get_list_tight(node) != 0;
      const auto listItem = [depth](cmark_node* item) {
        return ListItem{convertBlocks(item, depth + 2)};
      };
      if (isTaskList(node)) {
        return Block::taskList(tight, convertItems<TaskListItem>(node, [depth](cmark_node* item) {
                                 return TaskListItem{
                                     cmark_gfm_extensions_get_tasklist_item_checked(item),
                                     convertBlocks(item, depth + 2)};
                               }));
      }
      switch (cmark_node_get_list_type(node)) {
        case CMARK_BULLET_LIST:
          return Block::bulletedList(tight, convertItems<ListItem>(node, listItem));
        case CMARK_ORDERED_LIST:
          return Block::numberedList(tight, cmark_node_get_list_start(node),
                                     convertItems<ListItem>(node, listItem));
        default:
          return std::nullopt;
      }
    }
    case CMARK_NODE_CODE_BLOCK: {
      const char* info = cmark_node_get_fence_info(node);
      return Block::codeBlock(info ? std::optional<std::string>(info) : std::nullopt,
                              literal(node));
    }
    case CMARK_NODE_HTML_BLOCK:
      return Block::htmlBlock(literal(node));
    case CMARK_NODE_PARAGRAPH:
      return Block::paragraph(convertInlines(node, depth + 1));
    case CMARK_NODE_HEADING:
      return Block::heading(cmark_node_get_heading_level(node), convertInlines(node, depth + 1));
    case CMARK_NODE_THEMATIC_BREAK:
      return Block::thematicBreak();
    default:
      if (type == extensionNodeTypes().table) return convertTable(node, depth);
      return std::nullopt;
  }
}

std::optional<Inline> convertInline(cmark_node* node, int depth) {
  if (depth >= kMaxNestingDepth && isMappedContainer(node)) {
    std::string text = flattenedText(node);
    if (text.empty()) return std::nullopt;
    return Inline::text(std::move(text));
  }
  const cmark_node_type type = cmark_node_get_type(node);
  switch (type) {
    case CMARK_NODE_TEXT:
      return Inline::text(literal(node));
    case CMARK_NODE_SOFTBREAK:
      return Inline::softBreak();
    case CMARK_NODE_LINEBREAK:
      return Inline::lineBreak();
    case CMARK_NODE_CODE:
      return Inline::code(literal(node));
    case CMARK_NODE_HTML_INLINE:
      return Inline::html(literal(node));
    case CMARK_NODE_EMPH:
      return Inline::emphasis(convertInlines(node, depth + 1));
    case CMARK_NODE_STRONG:
      return Inline::strong(convertInlines(node, depth + 1));
    case CMARK_NODE_IMAGE:
      return Inline::image(url(node), convertInlines(node, depth + 1));
    case CMARK_NODE_LINK:
      return Inline::link(url(node), convertInlines(node, depth + 1));
    default:
      if (type == extensionNodeTypes().strikethrough) {
        return Inline::strikethrough(convertInlines(node, depth + 1));
      }
      return std::nullopt;
  }
}

}  // namespace

const std::vector<CommonMarkExtension>& CommonMarkExtension::defaultExtensions() {
  static const std::vector<CommonMarkExtension> extensions = [] {
    extensionNodeTypes();
    return std::vector<CommonMarkExtension>{
        {"autolink"}, {"strikethrough"}, {"table"}, {"tagfilter"}, {"tasklist"}};
  }();
  return extensions;
}

CommonMarkNode& CommonMarkNode::operator=(CommonMarkNode&& other) noexcept {
  if (this != &other) {
    release();
    pointer_ = std::exchange(other.pointer_, nullptr);
    arena_ = std::move(other.arena_);
  }
  return *this;
}

CommonMarkNode::~CommonMarkNode() {
  release();
}

void CommonMarkNode::release() {
  // Only a document owns its tree; other nodes borrow from one.
  if (pointer_ && cmark_node_get_type(pointer_) == CMARK_NODE_DOCUMENT) cmark_node_free(pointer_);
  pointer_ = nullptr;
  arena_.reset();
}

std::optional<CommonMarkNode> CommonMarkNode::parse(
    std::string_view markdown, const std::vector<CommonMarkExtension>& extensions,
    std::int32_t options) {
  extensionNodeTypes();
  const std::optional<std::string> repaired = foundation::utf8::repairedIfInvalid(markdown);
  const std::string_view text = repaired ? std::string_view(*repaired) : markdown;

  // Finishing a parse adds the extensions' special characters to the library's global
  // inline tables and removes them again, so two parses at once corrupt each other.
  static std::mutex parsing;
  const std::lock_guard lock(parsing);
  auto arena = std::make_shared<ParseArena>();
  const ParseArena::Scope scope(*arena);
  cmark_parser* parser = cmark_parser_new_with_mem(options, ParseArena::allocator());
  for (const CommonMarkExtension& extension : extensions) {
    if (cmark_syntax_extension* syntax = cmark_find_syntax_extension(extension.rawValue.c_str())) {
      cmark_parser_attach_syntax_extension(parser, syntax);
    }
  }
  cmark_parser_feed(parser, text.data(), text.size());
  cmark_node* document = cmark_parser_finish(parser);
  cmark_parser_free(parser);
  if (!document) return std::nullopt;
  CommonMarkNode node(document);
  node.arena_ = std::move(arena);
  return node;
}

bool CommonMarkNode::isTaskList() const {
  return markdown::isTaskList(pointer_);
}

std::vector<std::string> CommonMarkNode::tableColumnAlignments() const {
  return markdown::tableColumnAlignments(pointer_);
}

std::vector<Block> parseMarkdown(std::string_view markdown) {
  const auto document =
      CommonMarkNode::parse(markdown, CommonMarkExtension::defaultExtensions(), 0);
  return document ? makeBlocks(*document) : std::vector<Block>{};
}

ParsedTopLevel parseMarkdownTopLevel(std::string_view markdown) {
  ParsedTopLevel parsed;
  const auto document =
      CommonMarkNode::parse(markdown, CommonMarkExtension::defaultExtensions(), 0);
  if (!document) return parsed;
  std::optional<ParseArena::Scope> scope;
  if (document->arena_) scope.emplace(*document->arena_);
  cmark_node* root = document->pointer();
  parsed.blocks.reserve(childCount(root));
  for (cmark_node* child = cmark_node_first_child(root); child; child = cmark_node_next(child)) {
    parsed.nodes.push_back(
        {cmark_node_get_start_line(child), cmark_node_get_end_line(child), parsed.blocks.size()});
    if (auto block = convertBlock(child, 1)) parsed.blocks.push_back(std::move(*block));
  }
  return parsed;
}

std::vector<Block> makeBlocks(const CommonMarkNode& document) {
  // Reading a literal copies it into the node's memory the first time.
  std::optional<ParseArena::Scope> scope;
  if (document.arena_) scope.emplace(*document.arena_);
  return convertBlocks(document.pointer(), 1);
}

std::optional<Block> makeBlock(const CommonMarkNode& node) {
  return convertBlock(node.pointer(), 1);
}

std::optional<Inline> makeInline(const CommonMarkNode& node) {
  return convertInline(node.pointer(), 2);
}

}  // namespace markdown
