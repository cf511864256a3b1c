#include <array>

#include "ThemeSupport.h"
#include "ui/ScrollView.h"
#include "ui/Stacks.h"

namespace markdown {

using namespace themes;

namespace {

Theme makeBasic() {
  Theme theme = Theme().code(textStyle({monospaced(), FontSize(em(0.94))}));
  static constexpr std::array<double, 6> headingScale{2, 1.5, 1.17, 1, 0.83, 0.67};
  for (int level = 1; level <= 6; ++level) {
    const double f = headingScale[static_cast<std::size_t>(level - 1)];
    theme.setHeading(level, Theme::Style([f](const BlockConfiguration::Label& label) {
                       return markdownTextStyle(margin(label, rem(1.5), rem(1)),
                                                textStyle({semibold(), FontSize(em(f))}));
                     }));
  }
  return theme
      .paragraph([](const BlockConfiguration::Label& label) {
        return margin(relativeLineSpacing(label, em(0.15)), zero, em(1));
      })
      .blockquote([](const BlockConfiguration::Label& label) {
        const ui::AnyView italic =
            markdownTextStyle(label, FontStyle(FontProperties::Style::italic));
        return relativePadding(relativePadding(italic, ui::Edge::leading, em(2)),
                               ui::Edge::trailing, em(1));
      })
      .codeBlock([](const BlockConfiguration::Label& label) {
        const ui::AnyView code = markdownTextStyle(
            relativePadding(relativeLineSpacing(label, em(0.15)), ui::Edge::leading, rem(1)),
            textStyle({monospaced(), FontSize(em(0.94))}));
        return margin(ui::ScrollView(ui::ScrollAxes::horizontal, true, code), zero, em(1));
      })
      .table([](const BlockConfiguration::Label& label) { return margin(label, zero, em(1)); })
      .tableCell([](const TableCellConfiguration& cell) {
        const ui::AnyView styled = markdownTextStyle(cell.label, when(cell.row == 0, semibold()));
        return relativePadding(relativePadding(relativeLineSpacing(styled, em(0.15)),
                                               ui::EdgeSet::horizontal(), em(0.72)),
                               ui::EdgeSet::vertical(), em(0.35));
      })
      .thematicBreak([] { return margin(ui::Divider(), em(2), em(2)); });
}

}  // namespace

Theme Theme::basic() {
  static const Theme theme = makeBasic();
  return theme;
}

}  // namespace markdown
