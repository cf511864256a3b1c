#pragma once

#include <array>
#include <functional>
#include <optional>

#include "markdown/BlockStyle.h"
#include "markdown/TextStyle.h"
#include "ui/Color.h"

namespace markdown {

enum class TextSlot { text, code, emphasis, strong, strikethrough, link };
enum class BlockSlot {
  heading1,
  heading2,
  heading3,
  heading4,
  heading5,
  heading6,
  paragraph,
  blockquote,
  codeBlock,
  image,
  list,
  listItem,
  table,
};

// The complete look of rendered Markdown: a text style per inline slot and a block style per
// block kind. A value: copies are cheap (the styles are shared, immutable) and independent.
// Each slot has a getter, a setter and a builder of the same name that returns a changed copy.
class Theme {
 public:
  using Style = BlockStyle<BlockConfiguration>;
  using LabelBody = std::function<ui::AnyView(const BlockConfiguration::Label&)>;
  template <class C>
  using Body = std::function<ui::AnyView(const C&)>;

  Theme();

  // Built once, then handed out as copies.
  static Theme basic();
  static Theme documentation();
  static Theme forge();

  // Text slots.
  const AnyTextStyle& textStyle(TextSlot slot) const;
  void setTextStyle(TextSlot slot, TextStyleArg style);
  Theme withTextStyle(TextSlot slot, TextStyleArg style) const;

  const AnyTextStyle& text() const { return textStyle(TextSlot::text); }
  const AnyTextStyle& code() const { return textStyle(TextSlot::code); }
  const AnyTextStyle& emphasis() const { return textStyle(TextSlot::emphasis); }
  const AnyTextStyle& strong() const { return textStyle(TextSlot::strong); }
  const AnyTextStyle& strikethrough() const { return textStyle(TextSlot::strikethrough); }
  const AnyTextStyle& link() const { return textStyle(TextSlot::link); }
  Theme text(TextStyleArg s) const { return withTextStyle(TextSlot::text, std::move(s)); }
  Theme code(TextStyleArg s) const { return withTextStyle(TextSlot::code, std::move(s)); }
  Theme emphasis(TextStyleArg s) const { return withTextStyle(TextSlot::emphasis, std::move(s)); }
  Theme strong(TextStyleArg s) const { return withTextStyle(TextSlot::strong, std::move(s)); }
  Theme strikethrough(TextStyleArg s) const {
    return withTextStyle(TextSlot::strikethrough, std::move(s));
  }
  Theme link(TextStyleArg s) const { return withTextStyle(TextSlot::link, std::move(s)); }

  // The background colour the text slot sets, if any.
  std::optional<ui::Color> textBackgroundColor() const;

  // Block slots.
  const Style& blockStyle(BlockSlot slot) const;
  void setBlockStyle(BlockSlot slot, Style style);
  Theme withBlockStyle(BlockSlot slot, Style style) const;
  Theme withBlockStyle(BlockSlot slot, LabelBody body) const {
    return withBlockStyle(slot, Style(std::move(body)));
  }

  // Levels outside 1...6 are clamped into it.
  const Style& heading(int level) const;
  void setHeading(int level, Style style);
  static BlockSlot headingSlot(int level);

  const Style& heading1() const { return heading(1); }
  const Style& heading2() const { return heading(2); }
  const Style& heading3() const { return heading(3); }
  const Style& heading4() const { return heading(4); }
  const Style& heading5() const { return heading(5); }
  const Style& heading6() const { return heading(6); }
  const Style& paragraph() const { return blockStyle(BlockSlot::paragraph); }
  const Style& blockquote() const { return blockStyle(BlockSlot::blockquote); }
  const Style& codeBlock() const { return blockStyle(BlockSlot::codeBlock); }
  const Style& image() const { return blockStyle(BlockSlot::image); }
  const Style& list() const { return blockStyle(BlockSlot::list); }
  const Style& listItem() const { return blockStyle(BlockSlot::listItem); }
  const Style& table() const { return blockStyle(BlockSlot::table); }

  Theme heading1(LabelBody b) const { return withBlockStyle(BlockSlot::heading1, std::move(b)); }
  Theme heading2(LabelBody b) const { return withBlockStyle(BlockSlot::heading2, std::move(b)); }
  Theme heading3(LabelBody b) const { return withBlockStyle(BlockSlot::heading3, std::move(b)); }
  Theme heading4(LabelBody b) const { return withBlockStyle(BlockSlot::heading4, std::move(b)); }
  Theme heading5(LabelBody b) const { return withBlockStyle(BlockSlot::heading5, std::move(b)); }
  Theme heading6(LabelBody b) const { return withBlockStyle(BlockSlot::heading6, std::move(b)); }
  Theme paragraph(LabelBody b) const { return withBlockStyle(BlockSlot::paragraph, std::move(b)); }
  Theme blockquote(LabelBody b) const {
    return withBlockStyle(BlockSlot::blockquote, std::move(b));
  }
  Theme codeBlock(LabelBody b) const { return withBlockStyle(BlockSlot::codeBlock, std::move(b)); }
  Theme image(LabelBody b) const { return withBlockStyle(BlockSlot::image, std::move(b)); }
  Theme list(LabelBody b) const { return withBlockStyle(BlockSlot::list, std::move(b)); }
  Theme listItem(LabelBody b) const { return withBlockStyle(BlockSlot::listItem, std::move(b)); }
  Theme table(LabelBody b) const { return withBlockStyle(BlockSlot::table, std::move(b)); }

  const BlockStyle<TableCellConfiguration>& tableCell() const { return tableCell_; }
  void setTableCell(BlockStyle<TableCellConfiguration> s) { tableCell_ = std::move(s); }
  Theme tableCell(Body<TableCellConfiguration> body) const;

  const BlockStyle<EmptyConfiguration>& thematicBreak() const { return thematicBreak_; }
  void setThematicBreak(BlockStyle<EmptyConfiguration> s) { thematicBreak_ = std::move(s); }
  Theme thematicBreak(std::function<ui::AnyView()> body) const;

  const BlockStyle<TaskListMarkerConfiguration>& taskListMarker() const { return taskMarker_; }
  void setTaskListMarker(BlockStyle<TaskListMarkerConfiguration> s) { taskMarker_ = std::move(s); }
  Theme taskListMarker(BlockStyle<TaskListMarkerConfiguration> style) const;
  Theme taskListMarker(Body<TaskListMarkerConfiguration> body) const {
    return taskListMarker(BlockStyle<TaskListMarkerConfiguration>(std::move(body)));
  }

  const BlockStyle<ListMarkerConfiguration>& bulletedListMarker() const { return bulletMarker_; }
  void setBulletedListMarker(BlockStyle<ListMarkerConfiguration> s) {
    bulletMarker_ = std::move(s);
  }
  Theme bulletedListMarker(BlockStyle<ListMarkerConfiguration> style) const;
  Theme bulletedListMarker(Body<ListMarkerConfiguration> body) const {
    return bulletedListMarker(BlockStyle<ListMarkerConfiguration>(std::move(body)));
  }

  const BlockStyle<ListMarkerConfiguration>& numberedListMarker() const { return numberMarker_; }
  void setNumberedListMarker(BlockStyle<ListMarkerConfiguration> s) {
    numberMarker_ = std::move(s);
  }
  Theme numberedListMarker(BlockStyle<ListMarkerConfiguration> style) const;
  Theme numberedListMarker(Body<ListMarkerConfiguration> body) const {
    return numberedListMarker(BlockStyle<ListMarkerConfiguration>(std::move(body)));
  }

 private:
  Style& blockSlot(BlockSlot slot);

  std::array<AnyTextStyle, 6> text_;
  std::array<Style, 6> headings_;
  Style paragraph_, blockquote_, codeBlock_, image_, list_, listItem_;
  BlockStyle<TaskListMarkerConfiguration> taskMarker_;
  BlockStyle<ListMarkerConfiguration> bulletMarker_, numberMarker_;
  Style table_;
  BlockStyle<TableCellConfiguration> tableCell_;
  BlockStyle<EmptyConfiguration> thematicBreak_;
};

}  // namespace markdown
