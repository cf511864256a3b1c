#include "PanelViewParts.h"
#include "panel/ListRows.h"

namespace panel::parts {

namespace {

// One row of either list: two texts pushed to the leading edge, marked by a grey backing.
ui::AnyView Row(std::string first, std::string second, double fontSize, double opacity) {
  return ui::HStack({ui::AnyView(ui::Text::verbatim(std::move(first))),
                     ui::AnyView(ui::Text::verbatim(std::move(second))), ui::Spacer()})
      .font(ui::Font::system(fontSize))
      .foregroundColor(ui::Color::primary())
      .padding(10)
      .background(ui::RoundedRectangle(10).fill(ui::Color::gray().opacity(opacity)))
      .clipShape(ui::RoundedRectangle(10));
}

// A tap that tells a double click from a single one.
std::function<void()> taps(const FloatingViewContext& context, ui::Identity row,
                           std::function<void(core::DataModel&)> single,
                           std::function<void(core::DataModel&)> twice) {
  return [model = context.model, detector = context.doubleClicks, row, single, twice] {
    if (detector && detector->click(row)) {
      twice(*model);
    } else {
      single(*model);
    }
  };
}

}  // namespace

ui::AnyView PresetList(const FloatingViewContext& context) {
  auto& model = *context.model;
  const double fontSize = context.state->fontSize;
  const int selected = model.selectedIndex, hovered = model.hoverIndex;
  std::vector<ui::AnyView> rows;
  rows.push_back(Row(std::string(kTypedCommandEmoji), std::string(kTypedCommandTitle), fontSize,
                     rowOpacity(kTypedCommandRow, selected, hovered))
                     .onTapGesture(taps(context, presetRowId(kTypedCommandRow), tapTypedCommandRow,
                                        doubleTapTypedCommandRow))
                     .accessibilityIdentifier("panel.preset.-1")
                     .id(presetRowId(kTypedCommandRow)));
  const auto& prompts = model.prompts();
  for (int index : listablePresets(model)) {
    const auto& preset = prompts[static_cast<std::size_t>(index)];
    auto model_ = context.model;
    rows.push_back(Row(preset.emoji, preset.name, fontSize, rowOpacity(index, selected, hovered))
                       .onTapGesture(taps(
                           context, presetRowId(index),
                           [index](core::DataModel& m) { tapPresetRow(m, index); },
                           [index](core::DataModel& m) { doubleTapPresetRow(m, index); }))
                       .onHover([model_, index](bool inside) {
                         if (inside) model_->hoverIndex = index;
                       })
                       .accessibilityIdentifier("panel.preset." + std::to_string(index))
                       .id(presetRowId(index)));
  }
  return ui::VStack(ui::HAlign::center, std::nullopt, std::move(rows));
}

ui::AnyView HistoryList(const FloatingViewContext& context) {
  auto& model = *context.model;
  const double fontSize = context.state->fontSize;
  const int selected = model.keyHistorySelected, hovered = model.keyHistoryHover;
  std::vector<ui::AnyView> rows;
  const auto& chats = model.oldMessages.get();
  for (int j = 0; j < static_cast<int>(chats.size()); ++j) {
    auto [first, rest] = splitFirstCharacter(chats[static_cast<std::size_t>(j)].topic);
    auto model_ = context.model;
    rows.push_back(
        Row(std::move(first), std::move(rest), fontSize, rowOpacity(j, selected, hovered))
            .onTapGesture(taps(
                context, historyRowId(j), [j](core::DataModel& m) { tapHistoryRow(m, j); },
                [j](core::DataModel& m) { doubleTapHistoryRow(m, j); }))
            .onHover([model_, j](bool inside) {
              if (inside) model_->keyHistoryHover = j;
            })
            .accessibilityIdentifier("panel.history." + std::to_string(j))
            .id(historyRowId(j)));
  }
  return ui::VStack(ui::HAlign::center, std::nullopt, std::move(rows));
}

}  // namespace panel::parts
