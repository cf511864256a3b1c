#include <array>

#include "ThemeSupport.h"
#include "markdown/ColorHelpers.h"
#include "ui/ScrollView.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"
#include "ui/SymbolRegistry.h"
#include "ui/TextValue.h"

namespace markdown {

using namespace themes;

namespace {

const ui::Color& textColor() {
  static const ui::Color c = lightDarkColor(0x060606FF, 0xFBFBFCFF);
  return c;
}
const ui::Color& secondaryTextColor() {
  static const ui::Color c = lightDarkColor(0x6B6E7BFF, 0x9294A0FF);
  return c;
}
const ui::Color& tertiaryTextColor() {
  static const ui::Color c = lightDarkColor(0x6B6E7BFF, 0x6D707DFF);
  return c;
}
const ui::Color& pageBackground() {
  static const ui::Color c = ui::Color::pair(ui::Color::white(), colorFromRGBA(0x18191DFF));
  return c;
}
const ui::Color& secondaryBackground() {
  static const ui::Color c = lightDarkColor(0xF7F7F9FF, 0x25262AFF);
  return c;
}
const ui::Color& linkColor() {
  static const ui::Color c = lightDarkColor(0x2C65CFFF, 0x4C8EF8FF);
  return c;
}
const ui::Color& borderColor() {
  static const ui::Color c = lightDarkColor(0xE4E4E8FF, 0x42444EFF);
  return c;
}
const ui::Color& dividerColor() {
  static const ui::Color c = lightDarkColor(0xD0D0D3FF, 0x333438FF);
  return c;
}
const ui::Color& checkboxColor() {
  static const ui::Color c = colorFromRGBA(0xB9B9BBFF);
  return c;
}
const ui::Color& checkboxBackground() {
  static const ui::Color c = colorFromRGBA(0xEEEEEFFF);
  return c;
}

constexpr std::array<std::optional<double>, 6> kHeadingScale{2,     1.5, 1.25, std::nullopt,
                                                             0.875, 0.85};

ui::AnyView heading(const BlockConfiguration::Label& label, int level) {
  const bool ruled = level <= 2;
  ui::AnyView view = label;
  if (ruled) view = relativePadding(view, ui::Edge::bottom, em(0.3));
  view = margin(relativeLineSpacing(view, em(0.125)), 24, 16);
  const std::optional<double> scale = kHeadingScale[static_cast<std::size_t>(level - 1)];
  view = markdownTextStyle(
      view, textStyle({semibold(),
                       scale ? TextStyleArg(FontSize(em(*scale))) : TextStyleArg(EmptyTextStyle()),
                       when(level == 6, ForegroundColor(tertiaryTextColor()))}));
  if (!ruled) return view;
  return ui::VStack(ui::HAlign::leading, 0,
                    {view, ui::Divider().overlay(ui::ColorView(dividerColor()))});
}

Theme makeForge() {
  Theme theme = Theme()
                    .text(textStyle({ForegroundColor(textColor()),
                                     BackgroundColor(pageBackground()), FontSize(16)}))
                    .code(textStyle(
                        {monospaced(), FontSize(em(0.85)), BackgroundColor(secondaryBackground())}))
                    .strong(semibold())
                    .link(ForegroundColor(linkColor()));
  for (int level = 1; level <= 6; ++level)
    theme.setHeading(level, Theme::Style([level](const BlockConfiguration::Label& label) {
                       return heading(label, level);
                     }));
  return theme
      .paragraph([](const BlockConfiguration::Label& label) {
        return margin(relativeLineSpacing(label, em(0.25)), 0, 16);
      })
      .blockquote([](const BlockConfiguration::Label& label) {
        const ui::AnyView bar =
            relativeFrame(ui::RoundedRectangle(6).fill(borderColor()), em(0.2), std::nullopt);
        const ui::AnyView text =
            relativePadding(markdownTextStyle(label, ForegroundColor(secondaryTextColor())),
                            ui::EdgeSet::horizontal(), em(1));
        return ui::HStack(ui::VAlign::center, 0, {bar, text}).fixedSize(false, true);
      })
      .codeBlock([](const BlockConfiguration::Label& label) {
        const ui::AnyView code = markdownTextStyle(relativeLineSpacing(label, em(0.225)),
                                                   textStyle({monospaced(), FontSize(em(0.85))}))
                                     .padding(ui::EdgeSet::all(), 16);
        const ui::AnyView box = ui::ScrollView(ui::ScrollAxes::horizontal, true, code)
                                    .background(secondaryBackground())
                                    .clipShape(ui::RoundedRectangle(6));
        return margin(box, 0, 16);
      })
      .listItem([](const BlockConfiguration::Label& label) {
        return margin(label, em(0.25), std::nullopt);
      })
      .taskListMarker([](const TaskListMarkerConfiguration& c) {
        const ui::AnyView box =
            ui::AnyView(ui::Text::image(
                            ui::Image::symbol(c.isCompleted ? "checkmark.square.fill" : "square")))
                .symbolRenderingMode(ui::SymbolRenderingMode::hierarchical)
                .foregroundStyle(checkboxColor(), checkboxBackground())
                .imageScale(ui::ImageScale::small);
        return relativeFrame(box, em(1.5), ui::Alignment::trailing);
      })
      .table([](const BlockConfiguration::Label& label) {
        ui::AnyView view = markdownTableBorderStyle(
            label, TableBorderStyle(TableBorderSelector::allBorders(), borderColor(), 1));
        view = markdownTableBackgroundStyle(
            view, TableBackgroundStyle::alternatingRows(pageBackground(), secondaryBackground()));
        return margin(view, 0, 16);
      })
      .tableCell([](const TableCellConfiguration& cell) {
        const ui::AnyView styled = markdownTextStyle(
            cell.label,
            textStyle({when(cell.row == 0, semibold()), BackgroundColor(std::nullopt)}));
        return relativeLineSpacing(
            styled.padding(ui::EdgeSet::vertical(), 6).padding(ui::EdgeSet::horizontal(), 13),
            em(0.25));
      })
      .thematicBreak([] {
        const ui::AnyView rule = relativeFrame(ui::Divider(), std::nullopt, em(0.25))
                                     .overlay(ui::ColorView(borderColor()));
        return margin(rule, 24, 24);
      });
}

}  // namespace

Theme Theme::forge() {
  static const Theme theme = makeForge();
  return theme;
}

}  // namespace markdown
