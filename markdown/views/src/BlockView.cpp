#include "markdown/BlockView.h"

#include <algorithm>
#include <limits>

#include "markdown/BlockSequence.h"
#include "markdown/CodeBlockView.h"
#include "markdown/ImageViews.h"
#include "markdown/InlineText.h"
#include "markdown/KebabCase.h"
#include "markdown/ListViews.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/TableView.h"
#include "ui/State.h"

namespace markdown {
namespace {

// The theme's style for the block, read where the block stands (as ApplyBlockStyle does, without
// a node of its own: a long answer has thousands of blocks).
struct Styler {
  const Theme& theme;
  ui::AnyView operator()(BlockSlot slot, ui::AnyView label) const {
    return theme.blockStyle(slot).body(BlockConfiguration{{std::move(label)}});
  }
};

// Levels outside 1...6 only come from content built in code; they take the nearest style.
int clampedLevel(std::int64_t level) {
  return static_cast<int>(std::clamp<std::int64_t>(level, 1, 6));
}

}  // namespace

std::string withoutFinalLineFeed(const std::string& content) {
  if (!content.empty() && content.back() == '\n') return content.substr(0, content.size() - 1);
  return content;
}

ui::AnyView ParagraphContent(const std::vector<Inline>& inlines) {
  if (auto image = ImageView::make(inlines)) return *image;
  if (auto flow = ImageFlow::make(inlines)) return *flow;
  return InlineText(inlines);
}

ui::AnyView BlockView::body(ui::BuildContext& context) const {
  const Block& b = *block_;
  const Theme& theme = context.environment().get<ThemeKey>();
  const Styler styled{theme};
  if (auto* q = b.as<Block::Blockquote>())
    return styled(BlockSlot::blockquote, BlockSequence(q->blocks));
  if (auto* t = b.as<Block::TaskList>())
    return styled(BlockSlot::list, TaskListView(t->tight, t->items));
  if (auto* l = b.as<Block::BulletedList>())
    return styled(BlockSlot::list, BulletedListView(l->tight, l->items));
  if (auto* n = b.as<Block::NumberedList>())
    return styled(BlockSlot::list, NumberedListView(n->tight, n->start, n->items));
  if (auto* c = b.as<Block::CodeBlock>())
    return CodeBlock(c->info, withoutFinalLineFeed(c->content),
                     [&](ui::AnyView code) { return styled(BlockSlot::codeBlock, code); });
  if (auto* h = b.as<Block::HTMLBlock>())
    return styled(BlockSlot::paragraph, HTMLBlockView(withoutFinalLineFeed(h->text)));
  if (auto* p = b.as<Block::Paragraph>())
    return styled(BlockSlot::paragraph, ParagraphContent(p->inlines));
  if (auto* h = b.as<Block::Heading>())
    return theme.heading(clampedLevel(h->level))
        .body(BlockConfiguration{{InlineText(h->text)}})
        .accessibilityHeading(clampedLevel(h->level))
        .id(kebabCased(plainText(h->text)));
  if (auto* t = b.as<Block::Table>())
    return styled(BlockSlot::table, TableView(t->columnAlignments, t->rows));
  return theme.thematicBreak().body();
}

}  // namespace markdown
