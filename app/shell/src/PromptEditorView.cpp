#include "shell/PromptEditorView.h"

#include <numeric>
#include <utility>

#include "foundation/DebugLog.h"
#include "shell/ProductSite.h"
#include "shell/PromptListEditing.h"
#include "ui/Input.h"
#include "ui/Views.h"

namespace shell {
namespace {

constexpr double kSidebarWidth = 300;
// The width of the preset icons' column in the list, about one and a half characters.
constexpr double kIconColumnWidth = 20;

using Selection = std::optional<int>;

// Where each position of a list of `count` stands after `move`.
std::vector<int> positionsAfter(int count, const FullMove& move) {
  std::vector<int> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  moveElements(order, move.offsets, move.destination);
  std::vector<int> after(order.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    after[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
  return after;
}

ui::AnyView TabButton(std::string title, bool chosen, std::function<void()> choose) {
  auto label = ui::AnyView(ui::Text::verbatim(title))
                   .font(ui::Font::system(
                       12, chosen ? ui::Font::Weight::semibold : ui::Font::Weight::regular))
                   .padding(ui::EdgeSet::vertical(), 4)
                   .frame(ui::FrameBounds{.maxWidth = ui::kInfinity})
                   .background(ui::Shape::roundedRectangle(5).fill(
                       chosen ? ui::Color::gray().opacity(0.3) : ui::Color::clear()));
  return ui::Button(std::move(choose), label)
      .buttonStyle(ui::ButtonStyle::plain)
      .focusable("promptEditor.tab." + title)
      .accessibilityIdentifier("promptEditor.tab." + title);
}

// A window with its sidebar: an outline whose leading third is filled, large enough to hit.
ui::AnyView SidebarToggle(std::function<void()> toggle) {
  auto glyph =
      ui::ZStack(ui::Alignment::leading,
                 {ui::RoundedRectangle(3).strokeBorder(ui::Color::secondary(), 1.5),
                  ui::RoundedRectangle(2).fill(ui::Color::secondary()).frame(5, 10).padding(3)});
  return ui::Button(std::move(toggle), glyph.frame(20, 16).padding(4))
      .buttonStyle(ui::ButtonStyle::plain)
      .focusable("promptEditor.toggleSidebar")
      .accessibilityLabel("Toggle Sidebar")
      .accessibilityIdentifier("promptEditor.toggleSidebar");
}

ui::AnyView SmallButton(std::string glyph, std::function<void()> action, std::string identifier) {
  return ui::Button(std::move(action), ui::AnyView(ui::Text::verbatim(std::move(glyph)))
                                           .font(ui::Font::system(11))
                                           .padding(ui::EdgeSet::horizontal(), 3))
      .buttonStyle(ui::ButtonStyle::plain)
      .focusable(identifier)
      .accessibilityIdentifier(identifier);
}

}  // namespace

ui::AnyView PromptEditorView(std::shared_ptr<core::DataModel> model, URLOpener* opener) {
  return ui::ViewBuilder([model, opener](ui::BuildContext& context) -> ui::AnyView {
    auto promptModel = model->PromptM.get();
    context.observe(*promptModel);
    auto sidebarShown = context.state<bool>(true);
    auto nonContextTabShown = context.state<bool>(false);
    auto contextSelection = context.state<Selection>(0);
    auto nonContextSelection = context.state<Selection>(0);
    auto promptIndex = context.state<int>(0);
    // The tab whose list opened the form; at first the tab of the first preset's kind.
    auto formTab = context.state<std::optional<bool>>(std::nullopt);

    const auto& presets = promptModel->prompts.get();
    const bool nonContextTab = *nonContextTabShown;
    const bool formFromNonContext = formTab->value_or(
        !presets.empty() && presets.front().promptType == core::kNonContextPromptType);
    auto selectionOf = [=](bool nonContext) {
      return nonContext ? nonContextSelection : contextSelection;
    };
    auto tabSelection = selectionOf(nonContextTab);

    auto choose = [=](int position) {
      selectionOf(nonContextTab).set(position);
      promptIndex.set(position);
      formTab.set(nonContextTab);
    };
    auto add = [model, promptModel, nonContextTab] {
      promptModel->prompts.modify(
          [&](std::vector<core::PromptData>& list) { list.push_back(newPreset(nonContextTab)); });
      model->refreshPromptList();
    };
    // Moves rows of this tab before visible row `destination` (the row count for the end);
    // the selections and the form keep pointing at the presets they showed.
    auto moveRows = [=](const std::set<int>& visibleRows, int destination) {
      const auto& list = promptModel->prompts.get();
      const FullMove move = fullMove(tabPositions(list, nonContextTab), visibleRows, destination);
      if (move.offsets.empty()) return;
      const auto after = positionsAfter(static_cast<int>(list.size()), move);
      auto follow = [&](int position) {
        return position >= 0 && position < static_cast<int>(after.size())
                   ? after[static_cast<std::size_t>(position)]
                   : position;
      };
      promptModel->prompts.modify([&](std::vector<core::PromptData>& l) {
        moveElements(l, move.offsets, move.destination);
      });
      for (auto selection : {contextSelection, nonContextSelection})
        if (selection->has_value()) selection.set(follow(**selection));
      promptIndex.set(follow(*promptIndex));
      model->refreshPromptList();
    };
    // Moves a row of this tab by `rows` visible rows, as far as the tab's ends.
    auto moveRow = [=](int row, int rows) {
      const int count =
          static_cast<int>(tabPositions(promptModel->prompts.get(), nonContextTab).size());
      const int target = row + rows;
      if (row < 0 || target < 0 || target >= count) return;
      moveRows({row}, rows < 0 ? target : target + 1);
    };

    const auto positions = tabPositions(presets, nonContextTab);
    const Selection selected = *tabSelection;
    int selectedRow = -1;
    std::vector<ui::AnyView> rows;
    for (std::size_t row = 0; row < positions.size(); ++row) {
      const int position = positions[row];
      const auto& preset = presets[static_cast<std::size_t>(position)];
      const bool isSelected = selected == position;
      if (isSelected) selectedRow = static_cast<int>(row);
      // The emoji in a column of its own: monochrome and colour ones differ in width, and the
      // names start at one edge.
      std::vector<ui::AnyView> line{
          ui::HStack(ui::VAlign::firstTextBaseline, 0,
                     {ui::AnyView(ui::Text::verbatim(preset.emoji))
                          .fixedSize()
                          .frame(ui::FrameBounds{.minWidth = kIconColumnWidth})
                          .accessibilityIdentifier("promptEditor.icon." + std::to_string(row)),
                      ui::AnyView(ui::Text::verbatim(preset.name))
                          .accessibilityIdentifier("promptEditor.name." + std::to_string(row))}),
          ui::Spacer()};
      if (isSelected) {
        const int r = static_cast<int>(row);
        line.push_back(SmallButton(
            "\u2191", [moveRow, r] { moveRow(r, -1); }, "promptEditor.moveUp"));
        line.push_back(SmallButton(
            "\u2193", [moveRow, r] { moveRow(r, 1); }, "promptEditor.moveDown"));
      }
      rows.push_back(ui::HStack(ui::VAlign::center, 4, std::move(line))
                         .padding(ui::EdgeInsets{4, 8, 4, 8})
                         .background(ui::Shape::roundedRectangle(5).fill(
                             isSelected ? ui::Color::accent().opacity(0.25) : ui::Color::clear()))
                         .onTapGesture([choose, position] { choose(position); })
                         .accessibilityRole(ui::AccessibilityRole::listItem)
                         .accessibilitySelected(isSelected)
                         .accessibilityIdentifier("promptEditor.row." + std::to_string(row))
                         .id(position));
    }
    std::vector<ui::AnyView> sections{ui::VStack(ui::HAlign::leading, 2, std::move(rows))
                                          .onMove(moveRows)
                                          .accessibilityRole(ui::AccessibilityRole::list)};
    sections.push_back(ui::HStack({ui::Spacer(),
                                   ui::Button("+ Add", add)
                                       .buttonStyle(ui::ButtonStyle::plain)
                                       .focusable("promptEditor.add")
                                       .accessibilityIdentifier("promptEditor.add"),
                                   ui::Spacer()})
                           .padding(ui::EdgeSet::vertical(), 6));
    sections.push_back(ui::Spacer());

    // Up and Down choose the row above or below; with Alt they move the chosen row, as the
    // arrow buttons beside it do.
    auto onKey = [moveRow, choose, positions, selectedRow](const ui::KeyEvent& event) {
      if (event.key != ui::Key::up && event.key != ui::Key::down) return false;
      const int step = event.key == ui::Key::up ? -1 : 1;
      if (event.modifiers.alt) {
        if (selectedRow >= 0) moveRow(selectedRow, step);
        return true;
      }
      if (!event.modifiers.none()) return false;
      const int row = selectedRow < 0 ? 0 : selectedRow + step;
      if (row >= 0 && row < static_cast<int>(positions.size()))
        choose(positions[static_cast<std::size_t>(row)]);
      return true;
    };
    auto list = ui::ScrollView(ui::VStack(ui::HAlign::leading, 2, std::move(sections)).padding(8))
                    .focusable("promptEditor.list")
                    .onKeyPress(onKey);

    auto openLibrary = [opener] {
      if (opener && opener->open(productPage("/library/All")))
        foundation::debugLog("Open prompt library in browser");
    };
    auto sidebar =
        ui::VStack(
            ui::HAlign::leading, 0,
            {ui::AnyView(ui::Text::verbatim("Prompt Editor"))
                 .font(ui::Font::headline())
                 .padding(ui::EdgeInsets{4, 12, 8, 12}),
             ui::HStack(
                 ui::VAlign::center, 4,
                 {TabButton("Context", !nonContextTab, [=] { nonContextTabShown.set(false); }),
                  TabButton("Non-context", nonContextTab, [=] { nonContextTabShown.set(true); })})
                 .padding(ui::EdgeSet::horizontal(), 8),
             list.frame(ui::FrameBounds{.maxWidth = ui::kInfinity, .maxHeight = ui::kInfinity}),
             ui::Divider(),
             ui::HStack({ui::Spacer(),
                         ui::Button("Prompt Library", openLibrary)
                             .fixedSize()
                             .focusable("promptEditor.library")
                             .accessibilityIdentifier("promptEditor.library"),
                         ui::Spacer()})
                 .padding()})
            .frame(ui::FrameBounds{.minWidth = kSidebarWidth,
                                   .idealWidth = kSidebarWidth,
                                   .maxWidth = kSidebarWidth,
                                   .maxHeight = ui::kInfinity})
            .accessibilityIdentifier("promptEditor.sidebar");

    auto formSelection = selectionOf(formFromNonContext);
    auto detail = EditorView(model, promptIndex, formSelection.binding(), formFromNonContext)
                      .frame(ui::FrameBounds{.maxWidth = ui::kInfinity, .maxHeight = ui::kInfinity},
                             ui::Alignment::top)
                      .accessibilityIdentifier("promptEditor.detail");

    auto toolbar = ui::HStack({SidebarToggle([sidebarShown] { sidebarShown.set(!*sidebarShown); }),
                               ui::Spacer()})
                       .padding(ui::EdgeInsets{4, 6, 0, 6});
    std::vector<ui::AnyView> columns;
    if (*sidebarShown) {
      columns.push_back(sidebar);
      columns.push_back(ui::Divider());
    }
    columns.push_back(detail);
    return ui::VStack(ui::HAlign::leading, 0,
                      {toolbar, ui::HStack(ui::VAlign::top, 0, std::move(columns))});
  });
}

}  // namespace shell
