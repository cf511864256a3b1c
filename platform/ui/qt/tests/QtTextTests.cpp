#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QStringList>

#include "QtTestSupport.h"
#include "ui/qt/QtFonts.h"
#include "ui/qt/QtTextMeasurer.h"

namespace ui::qt {
namespace {

// Greedy word wrapping with QFontMetricsF: the line breaks a reader would compute.
std::vector<std::string> referenceLines(const std::string& text, const QFont& font, double width) {
  const QFontMetricsF m(font);
  std::vector<std::string> lines;
  std::string line;
  for (const QString& word : QString::fromStdString(text).split(' ')) {
    const std::string candidate =
        line.empty() ? word.toStdString() : line + " " + word.toStdString();
    if (!line.empty() && m.horizontalAdvance(QString::fromStdString(candidate)) > width) {
      lines.push_back(line);
      line = word.toStdString();
    } else {
      line = candidate;
    }
  }
  lines.push_back(line);
  return lines;
}

std::vector<std::string> measuredLines(const TextLayout& layout, const std::string& text) {
  std::vector<std::string> lines;
  for (const auto& l : layout.lines) lines.push_back(text.substr(l.begin, l.end - l.begin));
  return lines;
}

TEST(QtTextMeasurer, WrapsWhereQtsOwnMetricsWrap) {
  testing::app();
  const std::string paragraph =
      "The quick brown fox jumps over the lazy dog while the assistant streams its answer, "
      "word after word, into a panel that floats above every other window on the desktop.";
  QtTextMeasurer measurer;
  TextLayoutDefaults defaults;
  defaults.font = Font::system(13);
  const QFont font = QtFonts::shared().font(defaults.font.resolved());
  EXPECT_EQ(QFontMetricsF(font).height() > 10, true);
  for (double width : {180.0, 310.0}) {
    const TextLayout layout = measurer.layout(Text::verbatim(paragraph), defaults, width);
    EXPECT_EQ(measuredLines(layout, paragraph), referenceLines(paragraph, font, width))
        << "at width " << width;
    EXPECT_LE(layout.size.width, width);
    EXPECT_GT(layout.lines.size(), 2u);
    EXPECT_NEAR(layout.lines[1].frame.y - layout.lines[0].frame.y,
                QFontMetricsF(font).ascent() + QFontMetricsF(font).descent(), 0.01);
  }
  // Unchanged text at an unchanged width comes from the cache.
  const auto before = measurer.stats();
  measurer.layout(Text::verbatim(paragraph), defaults, 180.0);
  EXPECT_EQ(measurer.stats().cacheHits, before.cacheHits + 1);
  EXPECT_EQ(measurer.stats().layouts, before.layouts);
}

// A streamed answer lays out every state of its growing paragraph: each takes the place of the
// one before. Other texts stay within the cache's memory budget, whatever the count allows. The
// newest one stays even when it alone weighs more than the budget, so a long paragraph is still
// not laid out twice.
TEST(QtTextMeasurer, CacheStaysWithinItsMemoryBudget) {
  testing::app();
  constexpr std::size_t kBudget = 64 * 1024;
  QtTextMeasurer measurer(512, kBudget);
  TextLayoutDefaults defaults;
  defaults.font = Font::system(13);
  std::string answer;
  for (int token = 0; token < 300; ++token) {
    answer += "word" + std::to_string(token) + " ";
    measurer.layout(Text::verbatim(answer), defaults, 300.0);
    // The same paragraph at another width is another layout, kept beside it.
    if (token % 50 == 0) measurer.layout(Text::verbatim(answer), defaults, 200.0);
  }
  EXPECT_EQ(measurer.stats().cachedLayouts, 2u);
  const auto streamed = measurer.stats();
  measurer.layout(Text::verbatim(answer), defaults, 300.0);
  EXPECT_EQ(measurer.stats().cacheHits, streamed.cacheHits + 1);

  for (int paragraph = 0; paragraph < 300; ++paragraph) {
    measurer.layout(Text::verbatim("paragraph " + std::to_string(paragraph) + ": " + answer),
                    defaults, 300.0);
    const auto stats = measurer.stats();
    if (stats.cachedLayouts > 1) {
      EXPECT_LE(stats.cachedBytes, kBudget) << "after paragraph " << paragraph;
    }
  }
  const auto settled = measurer.stats();
  EXPECT_LE(settled.cachedBytes, kBudget);
  EXPECT_LT(settled.cachedLayouts, 300u);
  EXPECT_GT(settled.cachedLayouts, 1u);

  std::string longParagraph;
  while (longParagraph.size() < 2 * kBudget) longParagraph += "a long streamed paragraph ";
  measurer.layout(Text::verbatim(longParagraph), defaults, 300.0);
  EXPECT_EQ(measurer.stats().cachedLayouts, 1u);
  EXPECT_GT(measurer.stats().cachedBytes, kBudget);
  const auto before = measurer.stats();
  measurer.layout(Text::verbatim(longParagraph), defaults, 300.0);
  EXPECT_EQ(measurer.stats().cacheHits, before.cacheHits + 1);

  measurer.clearCache();
  EXPECT_EQ(measurer.stats().cachedLayouts, 0u);
  EXPECT_EQ(measurer.stats().cachedBytes, 0u);
  EXPECT_EQ(measurer.stats().cachedAdvances, 0u);
}

// Every word measured is remembered by font; days of answers in several fonts must not pile up
// words without end. Words measured again after the table started over still measure alike.
TEST(QtTextMeasurer, RemembersABoundedNumberOfWords) {
  testing::app();
  QtTextMeasurer measurer(0);
  TextLayoutDefaults body, code;
  body.font = Font::system(13);
  code.font = Font::system(13).monospaced();
  const TextLayout first = measurer.layout(Text::verbatim("word0 word1"), body, std::nullopt);
  for (int chunk = 0; chunk < 400; ++chunk) {
    std::string words;
    for (int i = 0; i < 50; ++i) words += "word" + std::to_string(chunk * 50 + i) + " ";
    measurer.layout(Text::verbatim(words), body, std::nullopt);
    measurer.layout(Text::verbatim(words), code, std::nullopt);
  }
  // 40,000 words and spaces in two fonts; a table node alone takes more than 56 bytes.
  EXPECT_LE(measurer.stats().cachedAdvanceBytes, std::size_t(1) << 20);
  EXPECT_LT(measurer.stats().cachedAdvances, (std::size_t(1) << 20) / 56);
  EXPECT_GT(measurer.stats().cachedAdvances, 0u);
  const TextLayout again = measurer.layout(Text::verbatim("word0 word1"), body, std::nullopt);
  EXPECT_EQ(again.size, first.size);
}

TEST(QtTextMeasurer, LinkRunsHaveRectanglesThatHitTest) {
  testing::app();
  AttributeContainer link;
  link.link = foundation::URL::parse("https://example.com");
  const Text text = Text::attributed(AttributedString("Read the ") +
                                     AttributedString("documentation page", link) +
                                     AttributedString(" for more."));
  QtTextMeasurer measurer;
  const TextLayout layout = measurer.layout(text, {}, 120.0);
  const auto rects = layout.rectsOfRun(1);
  ASSERT_FALSE(rects.empty());
  for (const Rect& r : rects) {
    EXPECT_EQ(layout.runAt({r.midX(), r.midY()}), std::optional<std::size_t>(1));
  }
  EXPECT_EQ(layout.runAt({1, layout.lines[0].frame.midY()}), std::optional<std::size_t>(0));
}

TEST(QtFonts, DesignsResolveToTheirFamiliesAndSizesStaySane) {
  testing::app();
  auto& fonts = QtFonts::shared();
  EXPECT_EQ(fonts.family(Font::Design::standard), "DejaVu Sans");
  EXPECT_EQ(fonts.family(Font::Design::serif), "DejaVu Serif");
  EXPECT_EQ(fonts.family(Font::Design::monospaced), "DejaVu Sans Mono");
  EXPECT_EQ(fonts.family(Font::Design::rounded), "DejaVu Sans");
  const QFont bold = fonts.font(Font::system(20, Font::Weight::bold).italic().resolved());
  EXPECT_EQ(bold.weight(), QFont::Bold);
  EXPECT_TRUE(bold.italic());
  EXPECT_EQ(fonts.font(Font::system(13).smallCaps().resolved()).capitalization(), QFont::SmallCaps);
  // A missing named family falls back to the design's family.
  const QFont custom = fonts.font(Font::custom("No Such Family", 13).resolved());
  EXPECT_TRUE(custom.families().contains("DejaVu Sans"));
  // Non-finite and tiny sizes become usable ones.
  ResolvedFont broken;
  broken.size = std::numeric_limits<double>::quiet_NaN();
  EXPECT_GT(fonts.font(broken).pointSizeF(), 0);
  broken.size = 0.001;
  EXPECT_GT(fonts.font(broken).pointSizeF(), 0);
}

}  // namespace
}  // namespace ui::qt
