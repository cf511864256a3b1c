#include "markdown/BlockBuilders.h"

#include "markdown/CommonMark.h"

namespace markdown {
namespace {

MarkdownContent one(Block block) {
  return MarkdownContent({std::move(block)});
}

std::vector<Block> literalParagraph(std::string_view text) {
  return {Block::paragraph({Inline::text(std::string(text))})};
}

}  // namespace

MarkdownContent::MarkdownContent(std::string_view markdown) : blocks(parseMarkdown(markdown)) {}

MarkdownContent MarkdownContent::build(std::initializer_list<BlockComponent> content) {
  return MarkdownContentBuilder::buildBlock(content);
}

ListItem ListItem::build(std::initializer_list<BlockComponent> content) {
  return ListItem{MarkdownContent::build(content).blocks};
}

TaskListItem TaskListItem::build(bool isCompleted, std::initializer_list<BlockComponent> content) {
  return TaskListItem{isCompleted, MarkdownContent::build(content).blocks};
}

std::vector<ListItem> ListContentBuilder::buildExpression(std::string_view text) {
  return {ListItem{literalParagraph(text)}};
}

std::vector<TaskListItem> TaskListContentBuilder::buildExpression(std::string_view text) {
  return {TaskListItem{false, literalParagraph(text)}};
}

Blockquote::Blockquote(std::initializer_list<BlockComponent> content)
    : content(MarkdownContent::build(content)) {}
MarkdownContent Blockquote::_markdownContent() const {
  return one(Block::blockquote(content.blocks));
}

MarkdownContent BulletedList::_markdownContent() const {
  return one(Block::bulletedList(tight, items));
}

MarkdownContent NumberedList::_markdownContent() const {
  return one(Block::numberedList(tight, start, items));
}

MarkdownContent TaskList::_markdownContent() const {
  return one(Block::taskList(tight, items));
}

MarkdownContent CodeBlock::_markdownContent() const {
  return one(Block::codeBlock(language, content));
}

Heading::Heading(Level level, std::initializer_list<InlineComponent> content)
    : level(level), content(InlineContent::build(content)) {}

std::optional<Heading::Level> Heading::levelFromRawValue(std::int64_t rawValue) {
  if (rawValue < 1 || rawValue > 6) return std::nullopt;
  return static_cast<Level>(rawValue);
}

MarkdownContent Heading::_markdownContent() const {
  return one(Block::heading(rawValue(level), content.inlines));
}

void hashInto(Hasher& hasher, Heading::Level level) {
  hasher.combine(static_cast<std::uint64_t>(Heading::rawValue(level)));
}

Paragraph::Paragraph(std::initializer_list<InlineComponent> content)
    : content(InlineContent::build(content)) {}
MarkdownContent Paragraph::_markdownContent() const {
  return one(Block::paragraph(content.inlines));
}

MarkdownContent ThematicBreak::_markdownContent() const {
  return one(Block::thematicBreak());
}

}  // namespace markdown
