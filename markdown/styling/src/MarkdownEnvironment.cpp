#include "markdown/MarkdownEnvironment.h"

namespace markdown {

CodeSyntaxHighlighterKey::Value CodeSyntaxHighlighterKey::defaultValue() {
  return PlainTextCodeSyntaxHighlighter::plainText();
}
ImageProviderKey::Value ImageProviderKey::defaultValue() {
  return DefaultImageProviders::shared().makeBlockProvider();
}
InlineImageProviderKey::Value InlineImageProviderKey::defaultValue() {
  return DefaultImageProviders::shared().makeInlineProvider();
}
TableBorderStyleKey::Value TableBorderStyleKey::defaultValue() {
  static const TableBorderStyle style(TableBorderSelector::allBorders(), ui::Color::secondary(), 1);
  return style;
}
TableBackgroundStyleKey::Value TableBackgroundStyleKey::defaultValue() {
  static const TableBackgroundStyle style = TableBackgroundStyle::clear();
  return style;
}
ThemeKey::Value ThemeKey::defaultValue() {
  return Theme::basic();
}

ThemeBlockSlot<BlockConfiguration> themeSlot(BlockSlot slot) {
  return {[slot](const Theme& t) -> const Theme::Style& { return t.blockStyle(slot); },
          [slot](Theme& t, Theme::Style s) { t.setBlockStyle(slot, std::move(s)); }};
}
ThemeBlockSlot<BlockConfiguration> headingSlot(int level) {
  return themeSlot(Theme::headingSlot(level));
}
ThemeBlockSlot<TableCellConfiguration> tableCellSlot() {
  return {[](const Theme& t) -> const BlockStyle<TableCellConfiguration>& { return t.tableCell(); },
          [](Theme& t, BlockStyle<TableCellConfiguration> s) { t.setTableCell(std::move(s)); }};
}
ThemeBlockSlot<EmptyConfiguration> thematicBreakSlot() {
  return {[](const Theme& t) -> const BlockStyle<EmptyConfiguration>& { return t.thematicBreak(); },
          [](Theme& t, BlockStyle<EmptyConfiguration> s) { t.setThematicBreak(std::move(s)); }};
}
ThemeBlockSlot<TaskListMarkerConfiguration> taskListMarkerSlot() {
  return {[](const Theme& t) -> const BlockStyle<TaskListMarkerConfiguration>& {
            return t.taskListMarker();
          },
          [](Theme& t, BlockStyle<TaskListMarkerConfiguration> s) {
            t.setTaskListMarker(std::move(s));
          }};
}
ThemeBlockSlot<ListMarkerConfiguration> bulletedListMarkerSlot() {
  return {[](const Theme& t) -> const BlockStyle<ListMarkerConfiguration>& {
            return t.bulletedListMarker();
          },
          [](Theme& t, BlockStyle<ListMarkerConfiguration> s) {
            t.setBulletedListMarker(std::move(s));
          }};
}
ThemeBlockSlot<ListMarkerConfiguration> numberedListMarkerSlot() {
  return {[](const Theme& t) -> const BlockStyle<ListMarkerConfiguration>& {
            return t.numberedListMarker();
          },
          [](Theme& t, BlockStyle<ListMarkerConfiguration> s) {
            t.setNumberedListMarker(std::move(s));
          }};
}

ui::AnyView markdownTheme(const ui::AnyView& view, Theme theme) {
  return view.environment<ThemeKey>(std::move(theme));
}
ui::AnyView markdownTextStyle(const ui::AnyView& view, TextSlot slot, TextStyleArg style) {
  return view.transformEnvironment<ThemeKey>(
      [slot, style = style.get()](Theme& theme) { theme.setTextStyle(slot, style); });
}
ui::AnyView markdownBlockStyle(const ui::AnyView& view, BlockSlot slot, Theme::LabelBody body) {
  return markdownBlockStyle(view, themeSlot(slot), Theme::Style(std::move(body)));
}
ui::AnyView markdownBlockStyle(const ui::AnyView& view,
                               std::function<ui::AnyView()> thematicBreak) {
  return markdownBlockStyle(view, thematicBreakSlot(),
                            BlockStyle<EmptyConfiguration>(std::move(thematicBreak)));
}
ui::AnyView markdownTaskListMarker(const ui::AnyView& view,
                                   BlockStyle<TaskListMarkerConfiguration> style) {
  return markdownBlockStyle(view, taskListMarkerSlot(), std::move(style));
}
ui::AnyView markdownBulletedListMarker(const ui::AnyView& view,
                                       BlockStyle<ListMarkerConfiguration> style) {
  return markdownBlockStyle(view, bulletedListMarkerSlot(), std::move(style));
}
ui::AnyView markdownNumberedListMarker(const ui::AnyView& view,
                                       BlockStyle<ListMarkerConfiguration> style) {
  return markdownBlockStyle(view, numberedListMarkerSlot(), std::move(style));
}
ui::AnyView markdownTableBorderStyle(const ui::AnyView& view, TableBorderStyle style) {
  return view.environment<TableBorderStyleKey>(std::move(style));
}
ui::AnyView markdownTableBackgroundStyle(const ui::AnyView& view, TableBackgroundStyle style) {
  return view.environment<TableBackgroundStyleKey>(std::move(style));
}
ui::AnyView markdownCodeSyntaxHighlighter(
    const ui::AnyView& view, std::shared_ptr<const CodeSyntaxHighlighter> highlighter) {
  return view.environment<CodeSyntaxHighlighterKey>(std::move(highlighter));
}
ui::AnyView markdownInlineImageProvider(const ui::AnyView& view,
                                        std::shared_ptr<const InlineImageProvider> provider) {
  return view.environment<InlineImageProviderKey>(std::move(provider));
}

ui::AnyView markdownTextStyle(const ui::AnyView& view, TextStyleArg style) {
  return view.transformEnvironment<TextStyleKey>([next = style.get()](AnyTextStyle& inherited) {
    inherited =
        TextStyleBuilder::buildPartialBlock(TextStyleBuilder::buildPartialBlock(inherited), next);
  });
}

}  // namespace markdown
