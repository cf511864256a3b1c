#include "markdown/ListViews.h"

#include "StyleFont.h"

#include <algorithm>
#include <limits>

#include "markdown/BlockSequence.h"
#include "markdown/EnvironmentKeys.h"
#include "markdown/FontProperties.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/TextStyleAttributesReader.h"
#include "ui/Controls.h"
#include "ui/State.h"
#include "ui/SystemEnvironment.h"

namespace markdown {
namespace {

ui::AnyView listEnvironment(ui::AnyView list, int level, bool tight) {
  return list.accessibilityRole(ui::AccessibilityRole::list)
      .environment<ListLevelKey>(nextListLevel(level))
      .environment<TightSpacingEnabledKey>(tight);
}

// The item in the theme's list-item style (what ApplyBlockStyle would show, without a node of
// its own: answers hold many list items).
ui::AnyView styledItem(ui::AnyView item, const ui::Environment& env) {
  return env.get<ThemeKey>()
      .listItem()
      .body(BlockConfiguration{{std::move(item)}})
      .accessibilityRole(ui::AccessibilityRole::listItem);
}

}  // namespace

void ColumnWidthPreference::reduce(Value& value, const Value& next) {
  for (const auto& [column, width] : next) {
    auto [it, inserted] = value.emplace(column, width);
    if (!inserted) it->second = std::max(it->second, width);
  }
}

int nextListLevel(int level) {
  return level == std::numeric_limits<int>::max() ? level : level + 1;
}

ui::AnyView BulletedListView::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  return listEnvironment(
      ListItemSequence(items_, 1, env.get<ThemeKey>().bulletedListMarker(), std::nullopt),
      env.get<ListLevelKey>(), tight_);
}

ui::AnyView NumberedListView::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  auto markerWidth = context.state<std::optional<double>>(std::nullopt);
  return listEnvironment(ListItemSequence(items_, start_, env.get<ThemeKey>().numberedListMarker(),
                                          *markerWidth),
                         env.get<ListLevelKey>(), tight_)
      .onPreferenceChange<ColumnWidthPreference>(
          [markerWidth](const ColumnWidthPreference::Value& widths) {
            auto column = widths.find(0);
            markerWidth.set(column == widths.end() ? std::nullopt
                                                   : std::optional<double>(column->second));
          });
}

ui::AnyView TaskListView::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  ui::AnyView items = BlockSequence<TaskListItem>(
      items_, [](std::int64_t, const TaskListItem& item) { return TaskListItemView(item); });
  return listEnvironment(items.labelStyle(ui::LabelStyle::titleAndIcon), env.get<ListLevelKey>(),
                         tight_);
}

ui::AnyView ListItemSequence(std::vector<ListItem> items, std::int64_t start,
                             BlockStyle<ListMarkerConfiguration> markerStyle,
                             std::optional<double> markerWidth) {
  return BlockSequence<ListItem>(std::move(items),
                                 [start, markerStyle = std::move(markerStyle), markerWidth](
                                     std::int64_t index, const ListItem& item) {
                                   return ListItemView(
                                       item, ListMarkerConfiguration::itemNumberFor(start, index),
                                       markerStyle, markerWidth);
                                 })
      .labelStyle(ui::LabelStyle::titleAndIcon);
}

ui::AnyView ListItemView::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  const ListMarkerConfiguration configuration{env.get<ListLevelKey>(), number_};
  // Measured before the column frame, so the report is the marker's own width.
  ui::AnyView marker =
      inStyleFont(markerStyle_.body(configuration), env)
          .transformPreferencesWith([](ui::PreferenceValues& values, const ui::Anchor& bounds) {
            values.transform<ColumnWidthPreference>([&](ColumnWidthPreference::Value& widths) {
              ColumnWidthPreference::reduce(widths, {{0, bounds.localRect().width}});
            });
          });
  return styledItem(ui::Label(BlockSequence(item_.blocks),
                              marker.frame(markerWidth_, std::nullopt, ui::Alignment::trailing)),
                    env);
}

ui::AnyView TaskListItemView::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  const ui::AnyView marker =
      env.get<ThemeKey>().taskListMarker().body(TaskListMarkerConfiguration{item_.isCompleted});
  return styledItem(ui::Label(BlockSequence(item_.blocks), inStyleFont(marker, env)), env);
}

}  // namespace markdown
