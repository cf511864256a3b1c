#include <limits>

#include "MarkdownTestSupport.h"
#include "markdown/EnvironmentKeys.h"
#include "markdown/ListViews.h"

namespace markdown {
namespace {

using Markers = std::vector<ListMarkerConfiguration>;

// Number markers "n." named "m<n>", recording what they were given.
BlockStyle<ListMarkerConfiguration> recordingMarker(std::shared_ptr<Markers> seen) {
  return BlockStyle<ListMarkerConfiguration>([seen](const ListMarkerConfiguration& c) {
    seen->push_back(c);
    const std::string n = std::to_string(c.itemNumber);
    return ui::AnyView(ui::Text::verbatim(n + ".")).accessibilityIdentifier("m" + n);
  });
}

TEST(Lists, NumbersStartWhereTheListDoesInOneRightAlignedColumn) {
  auto seen = std::make_shared<Markers>();
  testing::Rendered r(markdownNumberedListMarker(
      Markdown(std::string_view("8. eight\n9. nine\n10. ten\n")), recordingMarker(seen)));
  const ui::Rect eight = r.frame("m8"), nine = r.frame("m9"), ten = r.frame("m10");
  EXPECT_EQ(ten.x, 0);
  EXPECT_EQ(ten.width, 3 * 7.8);
  EXPECT_NEAR(eight.x, 7.8, 1e-9) << "right-aligned under \"10.\"";
  EXPECT_EQ(eight.maxX(), ten.maxX());
  EXPECT_EQ(nine.maxX(), ten.maxX());
  EXPECT_LE(r.host.lastPassCount(), 2);

  seen->clear();
  testing::Rendered zero(markdownNumberedListMarker(
      Markdown(std::string_view("0. a\n1. b\n2. c\n")), recordingMarker(seen)));
  ASSERT_GE(seen->size(), 3u);
  EXPECT_EQ(seen->at(0).itemNumber, 0);
  EXPECT_EQ(seen->at(2).itemNumber, 2);
}

TEST(Lists, BulletsGetItemNumbersAndLevelsAndKeepTheirOwnWidth) {
  auto seen = std::make_shared<Markers>();
  testing::Rendered r(markdownBulletedListMarker(
      Markdown(std::string_view("- a\n- b\n  - inner\n- c\n")), recordingMarker(seen)));
  std::vector<std::pair<int, std::int64_t>> got;
  for (const auto& c : *seen) got.emplace_back(c.listLevel, c.itemNumber);
  EXPECT_NE(std::find(got.begin(), got.end(), std::make_pair(1, std::int64_t{3})), got.end());
  EXPECT_NE(std::find(got.begin(), got.end(), std::make_pair(2, std::int64_t{1})), got.end());
  // Bulleted markers are never framed to a common width: "1." of the nested list and "3."
  // stand at their own widths.
  EXPECT_EQ(r.frame("m3").x, 0);
}

TEST(Lists, NumbersAndLevelsSaturateInsteadOfOverflowing) {
  const auto max = std::numeric_limits<std::int64_t>::max();
  auto seen = std::make_shared<Markers>();
  MarkdownContent content(std::vector<Block>{
      Block::numberedList(true, max - 1, {ListItem{{}}, ListItem{{}}, ListItem{{}}})});
  testing::Rendered r(markdownNumberedListMarker(Markdown(content), recordingMarker(seen))
                          .environment<ListLevelKey>(std::numeric_limits<int>::max()));
  ASSERT_GE(seen->size(), 3u);
  EXPECT_EQ(seen->at(0).itemNumber, max - 1);
  EXPECT_EQ(seen->at(1).itemNumber, max);
  EXPECT_EQ(seen->at(2).itemNumber, max);
  EXPECT_EQ(seen->at(0).listLevel, std::numeric_limits<int>::max());
}

TEST(Lists, AnEmptyListShowsNothing) {
  testing::Rendered r(ui::AnyView(NumberedListView(true, 1, {})).accessibilityIdentifier("list"));
  EXPECT_EQ(r.frame("list").size(), ui::Size{});
}

TEST(Lists, TightnessReachesTheItemsAndNestedListsSetTheirOwn) {
  auto tightOf = std::make_shared<std::vector<bool>>();
  Theme recording = Theme::basic().paragraph([tightOf](const BlockConfiguration::Label& label) {
    return ui::EnvironmentReader([tightOf, label](const ui::Environment& env) {
      tightOf->push_back(env.get<TightSpacingEnabledKey>());
      return label.body;
    });
  });
  testing::Rendered r(markdownTheme(
      Markdown(std::string_view("- a\n- b\n  - loose one\n\n  - loose two\n")), recording));
  ASSERT_EQ(tightOf->size(), 4u);
  EXPECT_TRUE(tightOf->at(0));
  EXPECT_FALSE(tightOf->at(2));
}

TEST(Lists, TaskItemsUseTheTaskMarkerAndTheListItemStyle) {
  auto done = std::make_shared<std::vector<bool>>();
  ui::AnyView view = markdownTheme(
      markdownTaskListMarker(
          Markdown(std::string_view("- [x] done\n- [ ] open\n")),
          BlockStyle<TaskListMarkerConfiguration>([done](const TaskListMarkerConfiguration& c) {
            done->push_back(c.isCompleted);
            return ui::AnyView(ui::Text::verbatim("[ ]"));
          })),
      testing::taggedTheme());
  testing::Rendered r(view);
  ASSERT_GE(done->size(), 2u);
  EXPECT_EQ(std::vector<bool>(done->begin(), done->begin() + 2), (std::vector<bool>{true, false}));
  EXPECT_TRUE(r.host.frameOf("slot:listItem"));
}

}  // namespace
}  // namespace markdown
