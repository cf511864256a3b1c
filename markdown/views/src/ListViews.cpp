#include "markdown/ListViews.h"

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
  return list.environment<ListLevelKey>(nextListLevel(level))
      .environment<TightSpacingEnabledKey>(tight);
}

ui::AnyView inStyleFont(ui::AnyView marker) {
  return TextStyleAttributesReader([marker = std::move(marker)](const ui::AttributeContainer& a) {
    const FontProperties* p = a.get<FontPropertiesAttribute>();
    return marker.font(p ? std::optional<ui::Font>(fontWithProperties(*p)) : std::nullopt);
  });
}

ui::AnyView styledItem(ui::AnyView item) {
  return ApplyBlockStyle(themeSlot(BlockSlot::listItem), BlockConfiguration{{std::move(item)}});
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
      items_,
      [](std::int64_t, const TaskListItem& item) { return styledItem(TaskListItemView(item)); });
  return listEnvironment(items.labelStyle(ui::LabelStyle::titleAndIcon), env.get<ListLevelKey>(),
                         tight_);
}

ui::AnyView ListItemSequence(std::vector<ListItem> items, std::int64_t start,
                             BlockStyle<ListMarkerConfiguration> markerStyle,
                             std::optional<double> markerWidth) {
  return BlockSequence<ListItem>(std::move(items),
                                 [start, markerStyle = std::move(markerStyle), markerWidth](
                                     std::int64_t index, const ListItem& item) {
                                   return styledItem(ListItemView(
                                       item, ListMarkerConfiguration::itemNumberFor(start, index),
                                       markerStyle, markerWidth));
                                 })
      .labelStyle(ui::LabelStyle::titleAndIcon);
}

ui::AnyView ListItemView::body(ui::BuildContext& context) const {
  const ListMarkerConfiguration configuration{context.environment().get<ListLevelKey>(), number_};
  // Measured before the column frame, so the report is the marker's own width.
  ui::AnyView marker =
      inStyleFont(markerStyle_.body(configuration))
          .transformPreferencesWith([](ui::PreferenceValues& values, const ui::Anchor& bounds) {
            values.transform<ColumnWidthPreference>([&](ColumnWidthPreference::Value& widths) {
              ColumnWidthPreference::reduce(widths, {{0, bounds.localRect().width}});
            });
          });
  return ui::Label(BlockSequence(item_.blocks),
                   marker.frame(markerWidth_, std::nullopt, ui::Alignment::trailing));
}

ui::AnyView TaskListItemView::body(ui::BuildContext&) const {
  return ui::Label(BlockSequence(item_.blocks),
                   inStyleFont(ApplyBlockStyle(taskListMarkerSlot(),
                                               TaskListMarkerConfiguration{item_.isCompleted})));
}

}  // namespace markdown
