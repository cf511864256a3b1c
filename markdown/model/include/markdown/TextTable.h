#pragma once

#include <concepts>
#include <functional>
#include <initializer_list>
#include <optional>
#include <ranges>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "markdown/Block.h"
#include "markdown/BuilderComponent.h"
#include "markdown/CanonicalText.h"
#include "markdown/InlineBuilders.h"
#include "markdown/MarkdownContent.h"

namespace markdown {

// One column of a table built from row values: its header and its cell for a row value.
template <class RowValue>
struct TextTableColumn {
  std::optional<TextTableColumnAlignment> alignment;
  InlineContent title;
  std::function<InlineContent(const RowValue&)> content;

  // `content` returns anything that stands in an inline content body.
  template <class Content>
  requires std::invocable<const Content&, const RowValue&> TextTableColumn(
      std::optional<TextTableColumnAlignment> alignment,
      std::initializer_list<InlineComponent> title, Content content)
      : TextTableColumn(Parts{}, alignment, InlineContent::build(title), cell(std::move(content))) {
  }
  // The title is literal text.
  template <class Content>
  requires std::invocable<const Content&, const RowValue&> TextTableColumn(
      std::optional<TextTableColumnAlignment> alignment, std::string_view title, Content content)
      : TextTableColumn(Parts{}, alignment, literal(title), cell(std::move(content))) {}

  // The cell shows the canonical text of the property that `value` reads, literally.
  template <class Accessor>
  requires std::invocable<const Accessor&, const RowValue&>
  static TextTableColumn value(std::optional<TextTableColumnAlignment> alignment,
                               std::initializer_list<InlineComponent> title, Accessor value) {
    return TextTableColumn(Parts{}, alignment, InlineContent::build(title),
                           propertyCell(std::move(value)));
  }
  template <class Accessor>
  requires std::invocable<const Accessor&, const RowValue&>
  static TextTableColumn value(std::optional<TextTableColumnAlignment> alignment,
                               std::string_view title, Accessor value) {
    return TextTableColumn(Parts{}, alignment, literal(title), propertyCell(std::move(value)));
  }

 private:
  struct Parts {};
  TextTableColumn(Parts, std::optional<TextTableColumnAlignment> alignment, InlineContent title,
                  std::function<InlineContent(const RowValue&)> content)
      : alignment(alignment), title(std::move(title)), content(std::move(content)) {}

  static InlineContent literal(std::string_view text) {
    return InlineContentBuilder::buildExpression(text);
  }
  template <class Content>
  static std::function<InlineContent(const RowValue&)> cell(Content content) {
    return [content = std::move(content)](const RowValue& row) {
      return InlineComponent(std::invoke(content, row)).take();
    };
  }
  template <class Accessor>
  static auto propertyCell(Accessor value) {
    return [value = std::move(value)](const RowValue& row) {
      return InlineContent{{Inline::text(canonicalText(std::invoke(value, row)))}};
    };
  }
};

template <class RowValue>
struct TextTableRow {
  RowValue value;

  explicit TextTableRow(RowValue value) : value(std::move(value)) {}
};

template <class RowValue>
struct TextTableColumnBuilder : ContentBuilderOperations<TextTableColumnBuilder<RowValue>,
                                                         std::vector<TextTableColumn<RowValue>>> {
  static std::vector<TextTableColumn<RowValue>> buildExpression(TextTableColumn<RowValue> column) {
    return {std::move(column)};
  }
};
template <class RowValue>
using TextTableColumnComponent = BuilderComponent<TextTableColumnBuilder<RowValue>>;

template <class RowValue>
struct TextTableRowBuilder
    : ContentBuilderOperations<TextTableRowBuilder<RowValue>, std::vector<TextTableRow<RowValue>>> {
  static std::vector<TextTableRow<RowValue>> buildExpression(TextTableRow<RowValue> row) {
    return {std::move(row)};
  }
};
template <class RowValue>
using TextTableRowComponent = BuilderComponent<TextTableRowBuilder<RowValue>>;

namespace detail {

template <class T>
struct RowValueOf;
template <class RowValue>
struct RowValueOf<std::vector<TextTableRow<RowValue>>> {
  using type = RowValue;
};

}  // namespace detail

// A header row of the column titles, then one row per row value; every row has one cell
// per column.
struct TextTable {
  std::vector<std::optional<TextTableColumnAlignment>> columnAlignments;
  std::vector<Block::Row> rows;

  template <std::ranges::random_access_range Data>
  TextTable(
      const Data& data,
      std::initializer_list<TextTableColumnComponent<std::ranges::range_value_t<Data>>> columns) {
    using RowValue = std::ranges::range_value_t<Data>;
    assemble(TextTableColumnBuilder<RowValue>::buildBlock(columns), data);
  }

  // The rows body (made with TextTableRowBuilder<RowValue>::buildBlock) is evaluated first.
  template <class Columns, class Rows>
  requires std::invocable<Columns&> && std::invocable<Rows&> TextTable(Columns&& columns,
                                                                       Rows&& rows) {
    auto rowList = std::invoke(rows);
    using RowValue = typename detail::RowValueOf<decltype(rowList)>::type;
    auto columnList = TextTableColumnComponent<RowValue>(std::invoke(columns)).take();
    std::vector<RowValue> values;
    values.reserve(rowList.size());
    for (auto& row : rowList) values.push_back(std::move(row.value));
    assemble(columnList, values);
  }

  MarkdownContent _markdownContent() const {
    return MarkdownContent({Block::table(columnAlignments, rows)});
  }

 private:
  template <class RowValue, class Data>
  void assemble(const std::vector<TextTableColumn<RowValue>>& columns, const Data& data) {
    rows.reserve(std::ranges::size(data) + 1);
    Block::Row header;
    for (const auto& column : columns) {
      columnAlignments.push_back(column.alignment);
      header.push_back(column.title.inlines);
    }
    rows.push_back(std::move(header));
    for (const auto& value : data) {
      Block::Row row;
      row.reserve(columns.size());
      for (const auto& column : columns) row.push_back(column.content(value).inlines);
      rows.push_back(std::move(row));
    }
  }
};

}  // namespace markdown
