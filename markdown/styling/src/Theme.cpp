#include "markdown/Theme.h"

#include <algorithm>

#include "ui/Stacks.h"

namespace markdown {
namespace {

std::size_t index(TextSlot slot) {
  return static_cast<std::size_t>(slot);
}

// Shared by every theme, so that untouched slots of two themes are the same style.
const std::array<AnyTextStyle, 6>& defaultTextStyles() {
  static const std::array<AnyTextStyle, 6> styles{
      std::make_shared<const EmptyTextStyle>(),
      std::make_shared<const FontFamilyVariant>(FontProperties::FamilyVariant::monospaced),
      std::make_shared<const FontStyle>(FontProperties::Style::italic),
      std::make_shared<const FontWeight>(ui::Font::Weight::semibold),
      std::make_shared<const StrikethroughStyle>(ui::LineStyle::single()),
      std::make_shared<const EmptyTextStyle>()};
  return styles;
}

}  // namespace

Theme::Theme()
    : text_(defaultTextStyles()),
      taskMarker_(BlockStyle<TaskListMarkerConfiguration>::checkmarkSquare()),
      bulletMarker_(BlockStyle<ListMarkerConfiguration>::discCircleSquare()),
      numberMarker_(BlockStyle<ListMarkerConfiguration>::decimal()),
      tableCell_(),
      thematicBreak_([] { return ui::Divider(); }) {}

const AnyTextStyle& Theme::textStyle(TextSlot slot) const {
  return text_[index(slot)];
}
void Theme::setTextStyle(TextSlot slot, TextStyleArg style) {
  text_[index(slot)] = style.get();
}
Theme Theme::withTextStyle(TextSlot slot, TextStyleArg style) const {
  Theme copy = *this;
  copy.setTextStyle(slot, std::move(style));
  return copy;
}

std::optional<ui::Color> Theme::textBackgroundColor() const {
  return collectedAttributes(text()).backgroundColor;
}

BlockSlot Theme::headingSlot(int level) {
  return static_cast<BlockSlot>(std::clamp(level, 1, 6) - 1);
}

Theme::Style& Theme::blockSlot(BlockSlot slot) {
  switch (slot) {
    case BlockSlot::heading1:
    case BlockSlot::heading2:
    case BlockSlot::heading3:
    case BlockSlot::heading4:
    case BlockSlot::heading5:
    case BlockSlot::heading6:
      return headings_[static_cast<std::size_t>(slot)];
    case BlockSlot::paragraph:
      return paragraph_;
    case BlockSlot::blockquote:
      return blockquote_;
    case BlockSlot::codeBlock:
      return codeBlock_;
    case BlockSlot::image:
      return image_;
    case BlockSlot::list:
      return list_;
    case BlockSlot::listItem:
      return listItem_;
    case BlockSlot::table:
      return table_;
  }
  return paragraph_;
}

const Theme::Style& Theme::blockStyle(BlockSlot slot) const {
  return const_cast<Theme&>(*this).blockSlot(slot);
}
void Theme::setBlockStyle(BlockSlot slot, Style style) {
  blockSlot(slot) = std::move(style);
}
Theme Theme::withBlockStyle(BlockSlot slot, Style style) const {
  Theme copy = *this;
  copy.setBlockStyle(slot, std::move(style));
  return copy;
}

const Theme::Style& Theme::heading(int level) const {
  return blockStyle(headingSlot(level));
}
void Theme::setHeading(int level, Style style) {
  setBlockStyle(headingSlot(level), std::move(style));
}

Theme Theme::tableCell(Body<TableCellConfiguration> body) const {
  Theme copy = *this;
  copy.tableCell_ = BlockStyle<TableCellConfiguration>(std::move(body));
  return copy;
}
Theme Theme::thematicBreak(std::function<ui::AnyView()> body) const {
  Theme copy = *this;
  copy.thematicBreak_ = BlockStyle<EmptyConfiguration>(std::move(body));
  return copy;
}
Theme Theme::taskListMarker(BlockStyle<TaskListMarkerConfiguration> style) const {
  Theme copy = *this;
  copy.taskMarker_ = std::move(style);
  return copy;
}
Theme Theme::bulletedListMarker(BlockStyle<ListMarkerConfiguration> style) const {
  Theme copy = *this;
  copy.bulletMarker_ = std::move(style);
  return copy;
}
Theme Theme::numberedListMarker(BlockStyle<ListMarkerConfiguration> style) const {
  Theme copy = *this;
  copy.numberMarker_ = std::move(style);
  return copy;
}

}  // namespace markdown
