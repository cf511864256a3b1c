#include "PanelViewParts.h"
#include "panel/ListRows.h"
#include "ui/LazyVStack.h"

namespace panel::parts {

namespace {

// Preset icons mix monochrome and colour emoji of differing widths: they stand centred in a
// column of their own, so that every name starts at one edge.
constexpr double kIconColumnEms = 1.5;

// One row of either list: two texts pushed to the leading edge, marked by a grey backing. With
// `iconColumn` the first text is an icon.
ui::AnyView Row(std::string first, std::string second, double fontSize, double opacity,
                bool iconColumn = false) {
  ui::AnyView icon = ui::Text::verbatim(std::move(first));
  if (iconColumn)
    icon = icon.fixedSize().frame(ui::FrameBounds{.minWidth = kIconColumnEms * fontSize});
  return ui::HStack({std::move(icon),
                     ui::AnyView(ui::Text::verbatim(std::move(second))).layoutPriority(1),
                     ui::Spacer()})
      .font(ui::Font::system(fontSize))
      .foregroundColor(ui::Color::primary())
      .padding(10)
      .background(ui::RoundedRectangle(10).fill(ui::Color::gray().opacity(opacity)))
      .clipShape(ui::RoundedRectangle(10));
}

// A single click selects, a double click (after the single one) sends. A screen reader's
// press sends, as Return does on the selected row.
ui::AnyView Clickable(ui::AnyView row, const FloatingViewContext& context,
                      std::function<void(core::DataModel&)> once,
                      std::function<void(core::DataModel&)> twice, bool selected) {
  auto model = context.model;
  return row.onTapGesture(2, [model, twice] { twice(*model); })
      .onTapGesture(1, [model, once] { once(*model); })
      .accessibilityAction([model, twice] { twice(*model); })
      .accessibilitySelected(selected)
      .accessibilityRole(ui::AccessibilityRole::listItem);
}

}  // namespace

ui::AnyView PresetList(const FloatingViewContext& context) {
  auto& model = *context.model;
  const double fontSize = context.state->fontSize;
  const int selected = model.selectedIndex, hovered = model.hoverIndex;
  std::vector<ui::AnyView> rows;
  rows.push_back(Clickable(Row(std::string(kTypedCommandEmoji), std::string(kTypedCommandTitle),
                               fontSize, rowOpacity(kTypedCommandRow, selected, hovered), true),
                           context, tapTypedCommandRow, doubleTapTypedCommandRow,
                           selected == kTypedCommandRow)
                     .accessibilityIdentifier("panel.preset.-1")
                     .id(presetRowId(kTypedCommandRow)));
  const auto& prompts = model.prompts();
  for (int index : listablePresets(model)) {
    const auto& preset = prompts[static_cast<std::size_t>(index)];
    auto hoverModel = context.model;
    rows.push_back(
        Clickable(
            Row(preset.emoji, preset.name, fontSize, rowOpacity(index, selected, hovered), true),
            context, [index](core::DataModel& m) { tapPresetRow(m, index); },
            [index](core::DataModel& m) { doubleTapPresetRow(m, index); }, selected == index)
            .onHover([hoverModel, index](bool inside) {
              if (inside) hoverModel->hoverIndex = index;
            })
            .accessibilityIdentifier("panel.preset." + std::to_string(index))
            .id(presetRowId(index)));
  }
  return ui::VStack(ui::HAlign::center, std::nullopt, std::move(rows))
      .accessibilityRole(ui::AccessibilityRole::list);
}

ui::AnyView HistoryList(const FloatingViewContext& context) {
  auto model = context.model;
  const double fontSize = context.state->fontSize;
  const int selected = model->keyHistorySelected, hovered = model->keyHistoryHover;
  const std::size_t count = model->oldMessages->size();
  // Thousands of saved chats: rows are made for what is in view only.
  auto row = [context, model, fontSize, selected, hovered](std::size_t position) {
    const int j = static_cast<int>(position);
    const auto& chats = model->oldMessages.get();
    if (position >= chats.size()) return ui::AnyView();
    auto [first, rest] = splitFirstCharacter(chats[position].topic);
    return Clickable(
               Row(std::move(first), std::move(rest), fontSize, rowOpacity(j, selected, hovered)),
               context, [j](core::DataModel& m) { tapHistoryRow(m, j); },
               [j](core::DataModel& m) { doubleTapHistoryRow(m, j); }, selected == j)
        .onHover([model, j](bool inside) {
          if (inside) model->keyHistoryHover = j;
        })
        .accessibilityIdentifier("panel.history." + std::to_string(j));
  };
  return ui::LazyVStack(
             ui::HAlign::center, std::nullopt, count,
             [](std::size_t position) { return historyRowId(static_cast<int>(position)); },
             std::move(row))
      .accessibilityRole(ui::AccessibilityRole::list);
}

}  // namespace panel::parts
