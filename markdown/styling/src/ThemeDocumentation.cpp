#include <array>

#include "ThemeSupport.h"
#include "markdown/ColorHelpers.h"
#include "ui/ScrollView.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"

namespace markdown {

using namespace themes;

namespace {

const ui::Color& textColor() {
  static const ui::Color c = lightDarkColor(0x1D1D1FFF, 0xF5F5F7FF);
  return c;
}
const ui::Color& linkColor() {
  static const ui::Color c = lightDarkColor(0x0066CCFF, 0x2997FFFF);
  return c;
}
const ui::Color& blockquoteBackground() {
  static const ui::Color c = lightDarkColor(0xF5F5F7FF, 0x323232FF);
  return c;
}
const ui::Color& blockquoteBorder() {
  static const ui::Color c = lightDarkColor(0x696969FF, 0x9A9A9EFF);
  return c;
}
const ui::Color& codeBackground() {
  static const ui::Color c = lightDarkColor(0xF5F5F7FF, 0x333336FF);
  return c;
}
const ui::Color& gridColor() {
  static const ui::Color c = lightDarkColor(0xD2D2D7FF, 0x424245FF);
  return c;
}

struct Heading {
  std::optional<double> lineSpacing;  // em
  double top;                         // em
  std::optional<double> size;         // em
};
constexpr std::array<Heading, 6> kHeadings{{
    {std::nullopt, 0.8, 2},
    {0.0625, 1.6, 1.88235},
    {0.07143, 1.6, 1.64706},
    {0.083335, 1.6, 1.41176},
    {0.09091, 1.6, 1.29412},
    {0.235295, 1.6, std::nullopt},
}};

ui::AnyView fullWidth(const ui::AnyView& view, ui::Alignment alignment) {
  ui::FrameBounds bounds;
  bounds.maxWidth = ui::kInfinity;
  return view.frame(bounds, alignment);
}

ui::AnyView panel(double radius) {
  return ui::ZStack(
      {ui::RoundedRectangle(radius, ui::CornerStyle::continuous).fill(blockquoteBackground()),
       ui::RoundedRectangle(radius, ui::CornerStyle::continuous)
           .strokeBorder(blockquoteBorder(), 1)});
}

Theme makeDocumentation() {
  Theme theme = Theme().text(ForegroundColor(textColor())).link(ForegroundColor(linkColor()));
  for (int level = 1; level <= 6; ++level) {
    const Heading h = kHeadings[static_cast<std::size_t>(level - 1)];
    theme.setHeading(level, Theme::Style([h](const BlockConfiguration::Label& label) {
                       ui::AnyView view = label;
                       if (h.lineSpacing) view = relativeLineSpacing(view, em(*h.lineSpacing));
                       view = margin(view, em(h.top), zero);
                       return markdownTextStyle(
                           view, h.size ? textStyle({semibold(), FontSize(em(*h.size))})
                                        : textStyle({semibold()}));
                     }));
  }
  return theme
      .paragraph([](const BlockConfiguration::Label& label) {
        return margin(relativeLineSpacing(label, em(0.235295)), em(0.8), zero);
      })
      .blockquote([](const BlockConfiguration::Label& label) {
        const ui::AnyView padded = fullWidth(
            relativePadding(label, ui::EdgeSet::all(), rem(0.94118)), ui::Alignment::leading);
        return margin(padded.background(panel(15), ui::Alignment::center), em(1.6), zero);
      })
      .codeBlock([](const BlockConfiguration::Label& label) {
        const ui::AnyView code =
            markdownTextStyle(relativeLineSpacing(label, em(0.333335)),
                              textStyle({monospaced(), FontSize(rem(0.88235))}))
                .padding(ui::EdgeSet::vertical(), 8)
                .padding(ui::Edge::leading, 14);
        const ui::AnyView box =
            ui::ScrollView(ui::ScrollAxes::horizontal, true, code)
                .background(codeBackground())
                .clipShape(ui::RoundedRectangle(15, ui::CornerStyle::continuous));
        return margin(box, em(0.8), zero);
      })
      .image([](const BlockConfiguration::Label& label) {
        return margin(fullWidth(label, ui::Alignment::center), em(1.6), em(1.6));
      })
      .listItem([](const BlockConfiguration::Label& label) {
        return margin(label, em(0.8), std::nullopt);
      })
      .taskListMarker([](const TaskListMarkerConfiguration&) {
        return relativeFrame(ListBullet("circle.fill"), em(1.5), ui::Alignment::trailing);
      })
      .table([](const BlockConfiguration::Label& label) {
        const ui::AnyView ruled = markdownTableBorderStyle(
            label, TableBorderStyle(TableBorderSelector::horizontalBorders(), gridColor(), 1));
        return margin(ruled, em(1.6), zero);
      })
      .tableCell([](const TableCellConfiguration& cell) {
        const ui::AnyView styled = markdownTextStyle(cell.label, when(cell.row == 0, semibold()));
        return relativePadding(relativeLineSpacing(styled, em(0.235295)), ui::EdgeSet::all(),
                               rem(0.58824));
      })
      .thematicBreak([] {
        return margin(ui::Divider().overlay(ui::ColorView(gridColor())), em(2.35), em(2.35));
      });
}

}  // namespace

Theme Theme::documentation() {
  static const Theme theme = makeDocumentation();
  return theme;
}

}  // namespace markdown
