#include <gtest/gtest.h>

#include "StylingProbe.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/Theme.h"

namespace markdown {
namespace {

using testing::Layout;
using testing::Seen;
using ui::Font;
using Weight = Font::Weight;

enum class Base { theme, sixteen };

// A block style shown around a probe label, under the theme's text slot as the renderer
// applies it, optionally inside a 16-point body.
struct Shown {
  Seen seen;
  BlockMargin margin;
  ui::EdgeInsets insets;
  ui::DisplayList list;
  ui::Rect probe, root;
};

using Make = std::function<ui::AnyView(const ui::AnyView& label)>;

Shown show(const Theme& theme, const Make& make, Base base = Base::theme,
           ui::ColorScheme scheme = ui::ColorScheme::light) {
  auto seen = std::make_shared<Seen>();
  ui::AnyView view = markdownTextStyle(make(testing::probe(seen)), theme.text());
  if (base == Base::sixteen) view = markdownTextStyle(view, FontSize(16));
  Layout layout(view, 600, scheme);
  return {*seen,           layout.margin(),         layout.insetsOfProbe(),
          layout.render(), layout.frameOf("probe"), layout.frameOf("root")};
}

Make heading(const Theme& theme, int level) {
  return [theme, level](const ui::AnyView& label) {
    return theme.heading(level).body({BlockConfiguration::Label{label}});
  };
}
Make block(const Theme& theme, BlockSlot slot) {
  return [theme, slot](const ui::AnyView& label) {
    return theme.blockStyle(slot).body({BlockConfiguration::Label{label}});
  };
}
Make cell(const Theme& theme, int row) {
  return [theme, row](const ui::AnyView& label) {
    return theme.tableCell().body({row, 0, TableCellConfiguration::Label{label}});
  };
}

std::uint32_t packed(const std::optional<ui::Color>& c, ui::ColorScheme scheme) {
  return c ? c->resolve(scheme).packed() : 0;
}

bool fills(const ui::DisplayList& list, std::uint32_t rgba) {
  for (const auto& f : list.itemsOf<ui::DisplayItem::FillPath>())
    if (f.color.packed() == rgba) return true;
  return false;
}

struct HeadingCase {
  const char* theme;
  int level;
  Base base;
  double size, top, bottom, lineSpacing;
};

Theme named(const std::string& name) {
  if (name == "basic") return Theme::basic();
  if (name == "documentation") return Theme::documentation();
  return Theme::forge();
}

TEST(Themes, HeadingLadders) {
  const HeadingCase cases[] = {
      {"basic", 1, Base::theme, 26, 20, 13, 0},
      {"basic", 2, Base::theme, 20, 20, 13, 0},
      {"basic", 3, Base::theme, 15, 20, 13, 0},
      {"basic", 4, Base::theme, 13, 20, 13, 0},
      {"basic", 5, Base::theme, 11, 20, 13, 0},
      {"basic", 6, Base::theme, 9, 20, 13, 0},
      {"basic", 1, Base::sixteen, 32, 24, 16, 0},
      {"basic", 3, Base::sixteen, 19, 24, 16, 0},
      {"basic", 6, Base::sixteen, 11, 24, 16, 0},
      {"documentation", 1, Base::theme, 26, 21, 0, 0},
      {"documentation", 2, Base::theme, 24, 38, 0, 2},
      {"documentation", 3, Base::theme, 21, 34, 0, 2},
      {"documentation", 4, Base::theme, 18, 29, 0, 2},
      {"documentation", 5, Base::theme, 17, 27, 0, 2},
      {"documentation", 6, Base::theme, 13, 21, 0, 3},
      {"forge", 1, Base::theme, 32, 24, 16, 4},
      {"forge", 2, Base::theme, 24, 24, 16, 3},
      {"forge", 3, Base::theme, 20, 24, 16, 3},
      {"forge", 4, Base::theme, 16, 24, 16, 2},
      {"forge", 5, Base::theme, 14, 24, 16, 2},
      {"forge", 6, Base::theme, 14, 24, 16, 2},
  };
  for (const HeadingCase& c : cases) {
    SCOPED_TRACE(std::string(c.theme) + " h" + std::to_string(c.level));
    const Shown s = show(named(c.theme), heading(named(c.theme), c.level), c.base);
    EXPECT_EQ(s.seen.size(), c.size);
    EXPECT_EQ(s.seen.weight(), Weight::semibold);
    EXPECT_EQ(s.margin.top, c.top);
    EXPECT_EQ(s.margin.bottom, c.bottom);
    EXPECT_EQ(s.seen.lineSpacing, c.lineSpacing);
  }
}

TEST(Themes, HeadingLevelsOutsideTheRangeAreClamped) {
  const Theme theme = Theme::basic();
  EXPECT_EQ(show(theme, heading(theme, 0)).seen.size(), 26);
  EXPECT_EQ(show(theme, heading(theme, 9)).seen.size(), 9);
  EXPECT_TRUE(headingSlot(-3).get(theme).sharesBody(theme.heading(1)));
  EXPECT_TRUE(headingSlot(7).get(theme).sharesBody(theme.heading(6)));
}

TEST(Themes, ForgeRulesAndGreysItsHeadings) {
  const Theme forge = Theme::forge();
  for (int level = 1; level <= 6; ++level) {
    SCOPED_TRACE(level);
    const Shown s = show(forge, heading(forge, level));
    EXPECT_EQ(fills(s.list, 0xD0D0D3FF), level <= 2);
    // Padding, then the one-point rule.
    EXPECT_EQ(s.insets.bottom, level == 1 ? 11 : level == 2 ? 8 : 0);
  }
  // Whole-point rounding makes levels 5 and 6 the same size; 6 is only greyer.
  const Shown five = show(forge, heading(forge, 5)), six = show(forge, heading(forge, 6));
  EXPECT_LE(six.seen.size(), five.seen.size());
  EXPECT_EQ(packed(six.seen.attributes.foregroundColor, ui::ColorScheme::light), 0x6B6E7BFFu);
  EXPECT_EQ(packed(six.seen.attributes.foregroundColor, ui::ColorScheme::dark), 0x6D707DFFu);
  EXPECT_EQ(packed(five.seen.attributes.foregroundColor, ui::ColorScheme::dark), 0xFBFBFCFFu);
}

struct BlockCase {
  const char* theme;
  BlockSlot slot;
  double size, lineSpacing;
  std::optional<double> top, bottom;
  double insetTop, insetLeading;
};

TEST(Themes, BlockSlots) {
  const BlockCase cases[] = {
      {"basic", BlockSlot::paragraph, 13, 2, 0, 13, 0, 0},
      {"basic", BlockSlot::blockquote, 13, 0, std::nullopt, std::nullopt, 0, 26},
      {"basic", BlockSlot::codeBlock, 12, 2, 0, 13, 0, 13},
      {"basic", BlockSlot::table, 13, 0, 0, 13, 0, 0},
      {"basic", BlockSlot::listItem, 13, 0, std::nullopt, std::nullopt, 0, 0},
      {"documentation", BlockSlot::paragraph, 13, 3, 10, 0, 0, 0},
      {"documentation", BlockSlot::blockquote, 13, 0, 21, 0, 12, 12},
      {"documentation", BlockSlot::codeBlock, 11, 4, 10, 0, 8, 14},
      {"documentation", BlockSlot::image, 13, 0, 21, 21, 0, 261},  // centred in 600
      {"documentation", BlockSlot::listItem, 13, 0, 10, std::nullopt, 0, 0},
      {"documentation", BlockSlot::table, 13, 0, 21, 0, 0, 0},
      {"forge", BlockSlot::paragraph, 16, 4, 0, 16, 0, 0},
      {"forge", BlockSlot::blockquote, 16, 0, std::nullopt, std::nullopt, 0, 19},
      {"forge", BlockSlot::codeBlock, 14, 3, 0, 16, 16, 16},
      {"forge", BlockSlot::listItem, 16, 0, 4, std::nullopt, 0, 0},
      {"forge", BlockSlot::table, 16, 0, 0, 16, 0, 0},
  };
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(std::string(c.theme) + " slot " + std::to_string(static_cast<int>(c.slot)));
    const Theme theme = named(c.theme);
    const Shown s = show(theme, block(theme, c.slot));
    EXPECT_EQ(s.seen.size(), c.size);
    EXPECT_EQ(s.seen.lineSpacing, c.lineSpacing);
    EXPECT_EQ(s.margin.top, c.top);
    EXPECT_EQ(s.margin.bottom, c.bottom);
    EXPECT_EQ(s.insets.top, c.insetTop);
    EXPECT_EQ(s.insets.leading, c.insetLeading);
  }
}

TEST(Themes, QuotesAndCodeKeepTheirLook) {
  const Shown basicQuote = show(Theme::basic(), block(Theme::basic(), BlockSlot::blockquote));
  EXPECT_EQ(basicQuote.seen.font().style, FontProperties::Style::italic);
  EXPECT_EQ(basicQuote.insets.trailing, 13);
  const Shown code = show(Theme::basic(), block(Theme::basic(), BlockSlot::codeBlock));
  EXPECT_EQ(code.seen.font().familyVariant, FontProperties::FamilyVariant::monospaced);

  const Theme forge = Theme::forge();
  for (auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    const Shown quote = show(forge, block(forge, BlockSlot::blockquote), Base::theme, scheme);
    EXPECT_EQ(packed(quote.seen.attributes.foregroundColor, scheme),
              scheme == ui::ColorScheme::light ? 0x6B6E7BFFu : 0x9294A0FFu);
    const std::uint32_t border = scheme == ui::ColorScheme::light ? 0xE4E4E8FF : 0x42444EFF;
    bool bar = false;
    for (const auto& f : quote.list.itemsOf<ui::DisplayItem::FillPath>()) {
      if (f.color.packed() != border) continue;
      bar = true;
      const ui::Rect r = f.path.boundingRect();
      EXPECT_DOUBLE_EQ(r.width, 3);
      EXPECT_DOUBLE_EQ(r.height, quote.probe.height);  // as tall as the text, no taller
    }
    EXPECT_TRUE(bar);
  }
  const Shown docCode = show(Theme::documentation(),
                             block(Theme::documentation(), BlockSlot::codeBlock), Base::sixteen);
  EXPECT_EQ(docCode.seen.size(), 14);  // rem 0.88235 of 16
  EXPECT_EQ(docCode.margin.top, 13);   // em 0.8 of the surrounding 16
  EXPECT_TRUE(fills(docCode.list, 0xF5F5F7FF));
}

struct CellCase {
  const char* theme;
  double size, lineSpacing, vertical, horizontal;
};

TEST(Themes, TableCells) {
  const CellCase cases[] = {
      {"basic", 13, 2, 5, 9}, {"documentation", 13, 3, 8, 8}, {"forge", 16, 4, 6, 13}};
  for (const CellCase& c : cases) {
    SCOPED_TRACE(c.theme);
    const Theme theme = named(c.theme);
    const Shown header = show(theme, cell(theme, 0)), body = show(theme, cell(theme, 1));
    EXPECT_EQ(header.seen.weight(), Weight::semibold);
    EXPECT_EQ(body.seen.weight(), Weight::regular);
    EXPECT_EQ(body.seen.size(), c.size);
    EXPECT_EQ(body.seen.lineSpacing, c.lineSpacing);
    EXPECT_EQ(body.insets.top, c.vertical);
    EXPECT_EQ(body.insets.bottom, c.vertical);
    EXPECT_EQ(body.insets.leading, c.horizontal);
    EXPECT_EQ(body.insets.trailing, c.horizontal);
  }
  // Forge cells clear the page background that body text carries.
  const Theme forge = Theme::forge();
  EXPECT_FALSE(show(forge, cell(forge, 2)).seen.attributes.backgroundColor);
  EXPECT_EQ(packed(show(forge, block(forge, BlockSlot::paragraph)).seen.attributes.backgroundColor,
                   ui::ColorScheme::light),
            0xFFFFFFFFu);
}

TEST(Themes, TableEnvironments) {
  const TableBounds t{{0, 0, 103, 43}, {{1, 20}, {22, 20}}, {{1, 50}, {52, 50}}};
  const Theme doc = Theme::documentation(), forge = Theme::forge();
  const Shown docTable = show(doc, block(doc, BlockSlot::table));
  const auto& docBorder = docTable.seen.environment.get<TableBorderStyleKey>();
  EXPECT_EQ(docBorder.visibleBorders.rectangles(t, 1),
            TableBorderSelector::horizontalBorders().rectangles(t, 1));
  EXPECT_EQ(packed(docBorder.color, ui::ColorScheme::light), 0xD2D2D7FFu);
  EXPECT_EQ(packed(docBorder.color, ui::ColorScheme::dark), 0x424245FFu);

  const Shown forgeTable = show(forge, block(forge, BlockSlot::table));
  const auto& border = forgeTable.seen.environment.get<TableBorderStyleKey>();
  EXPECT_EQ(border.visibleBorders.rectangles(t, 1),
            TableBorderSelector::allBorders().rectangles(t, 1));
  EXPECT_EQ(border.strokeStyle.lineWidth, 1);
  const auto& stripes = forgeTable.seen.environment.get<TableBackgroundStyleKey>();
  const std::uint32_t page = 0xFFFFFFFF, secondary = 0xF7F7F9FF;
  const std::vector<std::uint32_t> expected{page, page, secondary, page, secondary};
  for (int row = 0; row < 5; ++row)
    EXPECT_EQ(packed(stripes.background(row, 0), ui::ColorScheme::light),
              expected[static_cast<std::size_t>(row)]);
  EXPECT_EQ(packed(stripes.background(2, 0), ui::ColorScheme::dark), 0x25262AFFu);
}

TEST(Themes, ThematicBreaks) {
  struct Case {
    const char* theme;
    double margin;
    std::uint32_t colour;
  };
  for (const Case& c : {Case{"basic", 26, 0}, Case{"documentation", 31, 0xD2D2D7FF},
                        Case{"forge", 24, 0xE4E4E8FF}}) {
    SCOPED_TRACE(c.theme);
    const Theme theme = named(c.theme);
    Layout layout(markdownTextStyle(theme.thematicBreak().body(), theme.text()));
    EXPECT_EQ(layout.margin().top, c.margin);
    EXPECT_EQ(layout.margin().bottom, c.margin);
    if (c.colour) {
      EXPECT_TRUE(fills(layout.render(), c.colour));
    }
  }
  Layout forgeRule(markdownTextStyle(Theme::forge().thematicBreak().body(), Theme::forge().text()));
  EXPECT_EQ(forgeRule.frameOf("root").height, 4);  // em 0.25 of 16
}

std::vector<std::string> symbols(const ui::AnyView& view, std::vector<std::uint32_t>* tints) {
  Layout layout(view);
  std::vector<std::string> names;
  for (const auto& image : layout.render().itemsOf<ui::DisplayItem::DrawImage>()) {
    names.push_back(image.image.symbolName());
    if (tints && image.tint) tints->push_back(image.tint->packed());
  }
  return names;
}

TEST(Themes, TaskMarkers) {
  using V = std::vector<std::string>;
  const Theme basic = Theme::basic(), doc = Theme::documentation(), forge = Theme::forge();
  EXPECT_EQ(symbols(basic.taskListMarker().body({true}), nullptr), V{"checkmark.square.fill"});
  EXPECT_EQ(symbols(doc.taskListMarker().body({true}), nullptr), V{"circle.fill"});
  EXPECT_EQ(symbols(doc.taskListMarker().body({false}), nullptr), V{"circle.fill"});
  std::vector<std::uint32_t> tints;
  EXPECT_EQ(symbols(forge.taskListMarker().body({true}), &tints), V{"checkmark.square.fill"});
  EXPECT_EQ(symbols(forge.taskListMarker().body({false}), &tints), V{"square"});
  EXPECT_EQ(tints, (std::vector<std::uint32_t>{0xB9B9BBFF, 0xB9B9BBFF}));
}

TEST(Theme, DefaultsAndTextSlots) {
  const Theme plain;
  auto font = [](const AnyTextStyle& s) {
    ui::AttributeContainer a;
    a.set<FontPropertiesAttribute>(FontProperties{});
    collect(s, a);
    return *a.get<FontPropertiesAttribute>();
  };
  EXPECT_EQ(font(plain.code()).familyVariant, FontProperties::FamilyVariant::monospaced);
  EXPECT_EQ(font(plain.code()).scaledSize(), 13);
  EXPECT_EQ(font(plain.emphasis()).style, FontProperties::Style::italic);
  EXPECT_EQ(font(plain.strong()).weight, Weight::semibold);
  EXPECT_EQ(collectedAttributes(plain.strikethrough()).strikethroughStyle, ui::LineStyle::single());
  EXPECT_TRUE(collectedAttributes(plain.text()).empty());
  EXPECT_TRUE(collectedAttributes(plain.link()).empty());

  EXPECT_EQ(font(Theme::basic().code()).scaledSize(), 12);
  // Replacing a slot drops what it held.
  const Theme sized = Theme::basic().code(FontSize(RelativeSize::em(2)));
  EXPECT_EQ(font(sized.code()).familyVariant, FontProperties::FamilyVariant::normal);
  EXPECT_EQ(font(sized.code()).scaledSize(), 26);

  EXPECT_FALSE(Theme::basic().textBackgroundColor());
  EXPECT_FALSE(Theme::documentation().textBackgroundColor());
  EXPECT_EQ(packed(Theme::forge().textBackgroundColor(), ui::ColorScheme::dark), 0x18191DFFu);

  const Theme doc = Theme::documentation();
  EXPECT_EQ(packed(collectedAttributes(doc.text()).foregroundColor, ui::ColorScheme::light),
            0x1D1D1FFFu);
  EXPECT_EQ(packed(collectedAttributes(doc.link()).foregroundColor, ui::ColorScheme::dark),
            0x2997FFFFu);
  EXPECT_EQ(
      packed(collectedAttributes(Theme::forge().link()).foregroundColor, ui::ColorScheme::light),
      0x2C65CFFFu);
}

TEST(Theme, BuildersReplaceOneSlotOfACopy) {
  const Theme basic = Theme::basic();
  const Theme changed = basic.heading3([](const BlockConfiguration::Label& l) { return l.body; });
  for (int level = 1; level <= 6; ++level)
    EXPECT_EQ(changed.heading(level).sharesBody(basic.heading(level)), level != 3) << level;
  EXPECT_TRUE(Theme::basic().heading(3).sharesBody(basic.heading(3)));

  // Slots a built-in theme leaves alone are those of Theme().
  const Theme plain, doc = Theme::documentation(), forge = Theme::forge();
  EXPECT_EQ(doc.code(), plain.code());
  EXPECT_EQ(doc.emphasis(), plain.emphasis());
  EXPECT_EQ(forge.strikethrough(), plain.strikethrough());
  EXPECT_EQ(symbols(doc.bulletedListMarker().body({2, 1}), nullptr),
            std::vector<std::string>{"circle"});
  const Shown untouched = show(forge, block(forge, BlockSlot::image));
  EXPECT_EQ(untouched.insets.top, 0);
  EXPECT_FALSE(untouched.margin.top);
}

TEST(Themes, SwitchingTheSchemeRecoloursWithoutRebuilding) {
  const Theme doc = Theme::documentation();
  const std::optional<ui::Color> text = collectedAttributes(doc.text()).foregroundColor;
  EXPECT_EQ(text, collectedAttributes(Theme::documentation().text()).foregroundColor);
  EXPECT_EQ(packed(text, ui::ColorScheme::light), 0x1D1D1FFFu);
  EXPECT_EQ(packed(text, ui::ColorScheme::dark), 0xF5F5F7FFu);
}

}  // namespace
}  // namespace markdown
