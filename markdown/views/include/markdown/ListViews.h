#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "markdown/Block.h"
#include "markdown/BlockStyle.h"
#include "ui/View.h"

namespace markdown {

// Widths of list markers by column, combined by taking the widest.
struct ColumnWidthPreference {
  using Value = std::map<int, double>;
  static Value defaultValue() { return {}; }
  static void reduce(Value& value, const Value& next);
};

// The level below a list: one more than `level`, saturated.
int nextListLevel(int level);

class BulletedListView final : public ui::View {
 public:
  BulletedListView(bool tight, std::vector<ListItem> items)
      : tight_(tight), items_(std::move(items)) {}
  ui::AnyView body(ui::BuildContext& context) const override;

 private:
  bool tight_;
  std::vector<ListItem> items_;
};

// Numbers in a column as wide as the widest marker below the list, right-aligned.
class NumberedListView final : public ui::View {
 public:
  NumberedListView(bool tight, std::int64_t start, std::vector<ListItem> items)
      : tight_(tight), start_(start), items_(std::move(items)) {}
  ui::AnyView body(ui::BuildContext& context) const override;

 private:
  bool tight_;
  std::int64_t start_;
  std::vector<ListItem> items_;
};

class TaskListView final : public ui::View {
 public:
  TaskListView(bool tight, std::vector<TaskListItem> items)
      : tight_(tight), items_(std::move(items)) {}
  ui::AnyView body(ui::BuildContext& context) const override;

 private:
  bool tight_;
  std::vector<TaskListItem> items_;
};

// The items of a bulleted or numbered list, numbered from `start`.
ui::AnyView ListItemSequence(std::vector<ListItem> items, std::int64_t start,
                             BlockStyle<ListMarkerConfiguration> markerStyle,
                             std::optional<double> markerWidth);

// One item: its marker, then its blocks. The marker reports its own width and, given a
// width, sits right-aligned in a box of that width.
class ListItemView final : public ui::EquatableView<ListItemView> {
 public:
  ListItemView(ListItem item, std::int64_t number, BlockStyle<ListMarkerConfiguration> markerStyle,
               std::optional<double> markerWidth)
      : item_(std::move(item)),
        number_(number),
        markerStyle_(std::move(markerStyle)),
        markerWidth_(markerWidth) {}
  ui::AnyView body(ui::BuildContext& context) const override;
  bool operator==(const ListItemView& other) const {
    return number_ == other.number_ && markerWidth_ == other.markerWidth_ &&
           markerStyle_.sharesBody(other.markerStyle_) && item_ == other.item_;
  }

 private:
  ListItem item_;
  std::int64_t number_;
  BlockStyle<ListMarkerConfiguration> markerStyle_;
  std::optional<double> markerWidth_;
};

class TaskListItemView final : public ui::EquatableView<TaskListItemView> {
 public:
  explicit TaskListItemView(TaskListItem item) : item_(std::move(item)) {}
  ui::AnyView body(ui::BuildContext& context) const override;
  bool operator==(const TaskListItemView& other) const { return item_ == other.item_; }

 private:
  TaskListItem item_;
};

}  // namespace markdown
