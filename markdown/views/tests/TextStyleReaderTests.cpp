#include "MarkdownTestSupport.h"
#include "markdown/CodeBlockView.h"
#include "markdown/TextStyleAttributesReader.h"

namespace markdown {
namespace {

TEST(TextStyleAttributesReader, HandsOverWhatTheStyleInForceCollects) {
  auto seen = std::make_shared<ui::AttributeContainer>();
  auto reader = TextStyleAttributesReader([seen](const ui::AttributeContainer& a) {
    *seen = a;
    return ui::AnyView();
  });
  testing::Rendered bare(
      reader.environment<TextStyleKey>(std::make_shared<const EmptyTextStyle>()));
  EXPECT_FALSE(seen->contains<FontPropertiesAttribute>());
  testing::Rendered pair(
      markdownTextStyle(markdownTextStyle(reader, ForegroundColor(ui::Color::red())),
                        ForegroundColor(ui::Color::blue())));
  EXPECT_EQ(seen->foregroundColor, ui::Color::red()) << "the inner style is collected last";
}

TEST(CodeBlock, TakesItsFontFromTheTextStyleOnlyWhenItSetsOne) {
  auto fontOf = [](AnyTextStyle style) {
    testing::Rendered r(
        ui::AnyView(CodeBlockView(std::nullopt, "x")).environment<TextStyleKey>(style));
    for (const auto& run : r.host.render().itemsOf<ui::DisplayItem::TextRun>())
      if (run.text == "x") return run.font;
    ADD_FAILURE() << "no code text";
    return ui::ResolvedFont{};
  };
  EXPECT_EQ(fontOf(std::make_shared<const EmptyTextStyle>()), ui::Font::body().resolved());
  FontProperties mono;
  mono.familyVariant = FontProperties::FamilyVariant::monospaced;
  mono.size = 11;
  const ui::ResolvedFont styled = fontOf(std::make_shared<const FontPropertiesStyle>(mono));
  EXPECT_EQ(styled.design, ui::Font::Design::monospaced);
  EXPECT_EQ(styled.size, 11);
}

}  // namespace
}  // namespace markdown
