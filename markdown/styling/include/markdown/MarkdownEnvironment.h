#pragma once

#include <functional>
#include <memory>

#include "markdown/CodeSyntaxHighlighter.h"
#include "markdown/EnvironmentKeys.h"
#include "markdown/ImageProvider.h"
#include "markdown/TableStyles.h"
#include "markdown/Theme.h"
#include "ui/View.h"

namespace markdown {

struct CodeSyntaxHighlighterKey {
  using Value = std::shared_ptr<const CodeSyntaxHighlighter>;
  static Value defaultValue();
};
struct ImageProviderKey {
  using Value = AnyImageProvider;
  static Value defaultValue();
};
struct InlineImageProviderKey {
  using Value = std::shared_ptr<const InlineImageProvider>;
  static Value defaultValue();
};
// All borders, the secondary colour, 1 point.
struct TableBorderStyleKey {
  using Value = TableBorderStyle;
  static Value defaultValue();
};
struct TableBackgroundStyleKey {
  using Value = TableBackgroundStyle;
  static Value defaultValue();
};
struct ThemeKey {
  using Value = Theme;
  static Value defaultValue();
};

// A block-style slot of the theme, for reading and for replacing.
template <class C>
struct ThemeBlockSlot {
  std::function<const BlockStyle<C>&(const Theme&)> get;
  std::function<void(Theme&, BlockStyle<C>)> set;
};
ThemeBlockSlot<BlockConfiguration> themeSlot(BlockSlot slot);
// Levels outside 1...6 are clamped into it.
ThemeBlockSlot<BlockConfiguration> headingSlot(int level);
ThemeBlockSlot<TableCellConfiguration> tableCellSlot();
ThemeBlockSlot<EmptyConfiguration> thematicBreakSlot();
ThemeBlockSlot<TaskListMarkerConfiguration> taskListMarkerSlot();
ThemeBlockSlot<ListMarkerConfiguration> bulletedListMarkerSlot();
ThemeBlockSlot<ListMarkerConfiguration> numberedListMarkerSlot();

// Replace what is inherited; the nearest setting wins.
ui::AnyView markdownTheme(const ui::AnyView& view, Theme theme);
ui::AnyView markdownTextStyle(const ui::AnyView& view, TextSlot slot, TextStyleArg style);
ui::AnyView markdownBlockStyle(const ui::AnyView& view, BlockSlot slot, Theme::LabelBody body);
ui::AnyView markdownBlockStyle(const ui::AnyView& view, std::function<ui::AnyView()> thematicBreak);
template <class C>
ui::AnyView markdownBlockStyle(const ui::AnyView& view, ThemeBlockSlot<C> slot,
                               BlockStyle<C> style) {
  return view.transformEnvironment<ThemeKey>(
      [slot = std::move(slot), style = std::move(style)](Theme& theme) { slot.set(theme, style); });
}
ui::AnyView markdownTaskListMarker(const ui::AnyView& view,
                                   BlockStyle<TaskListMarkerConfiguration> style);
ui::AnyView markdownBulletedListMarker(const ui::AnyView& view,
                                       BlockStyle<ListMarkerConfiguration> style);
ui::AnyView markdownNumberedListMarker(const ui::AnyView& view,
                                       BlockStyle<ListMarkerConfiguration> style);
ui::AnyView markdownTableBorderStyle(const ui::AnyView& view, TableBorderStyle style);
ui::AnyView markdownTableBackgroundStyle(const ui::AnyView& view, TableBackgroundStyle style);
ui::AnyView markdownCodeSyntaxHighlighter(const ui::AnyView& view,
                                          std::shared_ptr<const CodeSyntaxHighlighter> highlighter);
template <class P>
requires std::derived_from<std::decay_t<P>, ImageProvider> ui::AnyView markdownImageProvider(
    const ui::AnyView& view, P&& provider) {
  return view.environment<ImageProviderKey>(AnyImageProvider(std::forward<P>(provider)));
}
ui::AnyView markdownInlineImageProvider(const ui::AnyView& view,
                                        std::shared_ptr<const InlineImageProvider> provider);

// The one modifier that composes: the inherited style is collected first, then `style`.
ui::AnyView markdownTextStyle(const ui::AnyView& view, TextStyleArg style);

// The theme's style for a block, read where the block is shown.
template <class C>
ui::AnyView ApplyBlockStyle(ThemeBlockSlot<C> slot, C configuration) {
  return ui::EnvironmentReader([slot = std::move(slot), configuration = std::move(configuration)](
                                   const ui::Environment& env) {
    return slot.get(env.get<ThemeKey>()).body(configuration);
  });
}

}  // namespace markdown
