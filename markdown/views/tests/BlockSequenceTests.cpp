#include <optional>

#include "MarkdownTestSupport.h"
#include "markdown/BlockMargin.h"
#include "markdown/BlockSequence.h"
#include "markdown/EnvironmentKeys.h"
#include "ui/TextValue.h"

namespace markdown {
namespace {

using Margins = std::vector<BlockMargin>;

// Paragraphs named "b0", "b1", ... (one line, 15.6 high), each reporting its margin.
ui::AnyView sequence(const Margins& margins) {
  std::vector<Block> blocks;
  for (std::size_t i = 0; i < margins.size(); ++i)
    blocks.push_back(Block::paragraph({Inline::text("b" + std::to_string(i))}));
  return BlockSequence<Block>(blocks, [margins](std::int64_t i, const Block&) {
    const std::string id = "b" + std::to_string(i);
    const BlockMargin& m = margins[static_cast<std::size_t>(i)];
    return markdownMargin(ui::AnyView(ui::Text::verbatim(id)).accessibilityIdentifier(id), m.top,
                          m.bottom);
  });
}

double gapAbove(const testing::Rendered& r, int index) {
  const ui::Rect above = r.frame("b" + std::to_string(index - 1));
  return r.frame("b" + std::to_string(index)).y - above.maxY();
}

TEST(BlockSequence, NeighboursCollapseToTheLargerMarginAndTheFirstSitsFlush) {
  {
    testing::Rendered r(sequence({{24.0, 40.0}}));
    EXPECT_EQ(r.frame("b0").y, 0);
  }
  {
    testing::Rendered r(sequence({{std::nullopt, 16.0}, {24.0, std::nullopt}}));
    EXPECT_EQ(gapAbove(r, 1), 24);
    EXPECT_EQ(r.host.lastPassCount(), 2) << "the margins settle within the first frame";
  }
  {
    testing::Rendered r(sequence({{std::nullopt, 16.0}, {std::nullopt, std::nullopt}}));
    EXPECT_EQ(gapAbove(r, 1), 16);
  }
  {
    testing::Rendered r(sequence({{}, {}}));
    EXPECT_EQ(gapAbove(r, 1), ui::kDefaultPadding);
  }
}

TEST(BlockSequence, TightListsKeepOnlyTheLowerTopMargin) {
  auto tight = [](Margins m) { return sequence(m).environment<TightSpacingEnabledKey>(true); };
  testing::Rendered none(tight({{std::nullopt, 16.0}, {std::nullopt, std::nullopt}}));
  EXPECT_EQ(gapAbove(none, 1), 0);
  testing::Rendered eight(tight({{std::nullopt, 16.0}, {8.0, std::nullopt}}));
  EXPECT_EQ(gapAbove(eight, 1), 8);
}

TEST(BlockSequence, ReportsTheLargestMarginsOfEverythingInside) {
  auto seen = std::make_shared<BlockMargin>();
  ui::AnyView inner = sequence({{10.0, std::nullopt}, {20.0, 5.0}});
  ui::AnyView outer = markdownMargin(markdownMargin(inner, 3.0, std::nullopt),
                                     std::optional<double>(), std::optional<double>(1.0));
  testing::Rendered r(
      outer.backgroundPreferenceValue<BlockMarginsPreference>([seen](const BlockMargin& m) {
        *seen = m;
        return ui::AnyView();
      }));
  EXPECT_EQ(seen->top, 20);
  EXPECT_EQ(seen->bottom, 5);
}

TEST(BlockSequence, ColumnFollowsTheTextAlignment) {
  std::vector<Block> blocks{Block::paragraph({Inline::text("x")}),
                            Block::paragraph({Inline::text("wide")})};
  auto column = [&](ui::TextAlignment alignment) {
    testing::Rendered r(
        BlockSequence<Block>(blocks, [](std::int64_t i, const Block& b) {
          const auto& text = b.as<Block::Paragraph>()->inlines.front().as<Inline::Text>()->text;
          return ui::AnyView(ui::Text::verbatim(text)).accessibilityIdentifier(std::to_string(i));
        }).multilineTextAlignment(alignment));
    return r.frame("0").x;
  };
  EXPECT_EQ(column(ui::TextAlignment::leading), 0);
  EXPECT_NEAR(column(ui::TextAlignment::center), 3 * 7.8 / 2, 1e-9);
  EXPECT_NEAR(column(ui::TextAlignment::trailing), 3 * 7.8, 1e-9);
}

// Positions that are cut away and filled again by other blocks take the new blocks' margins,
// never those left behind by the old ones.
TEST(BlockSequence, MarginsFollowTheBlocksAtEachPosition) {
  ui::ViewHost host(sequence({{}, {std::nullopt, 30.0}, {std::nullopt, 30.0}}),
                    std::make_shared<ui::FakeTextMeasurer>());
  host.setProposal({600.0, std::nullopt});
  host.update();
  host.setRoot(sequence({{}, {std::nullopt, 2.0}}));
  host.update();
  host.setRoot(sequence({{}, {std::nullopt, 2.0}, {4.0, std::nullopt}}));
  host.update();
  const double gap = host.frameOf("b2")->y - host.frameOf("b1")->maxY();
  EXPECT_EQ(gap, 4);
}

}  // namespace
}  // namespace markdown
