#include <gtest/gtest.h>

#include "ui/FakeTextMeasurer.h"

namespace ui {
namespace {

// At 10 points the fake measurer gives 6 per character and lines 12 high (ascent 8).
TextLayoutDefaults tenPoint() {
  TextLayoutDefaults d;
  d.font = Font::system(10);
  return d;
}

TextLayout layOut(const Text& text, std::optional<double> width,
                  TextLayoutDefaults defaults = tenPoint()) {
  return FakeTextMeasurer().layout(text, defaults, width);
}

std::vector<std::string> lineTexts(const Text& text, const TextLayout& layout) {
  const std::string plain = text.plainText();
  std::vector<std::string> out;
  for (const auto& line : layout.lines)
    out.push_back(plain.substr(line.begin, line.end - line.begin));
  return out;
}

using Lines = std::vector<std::string>;

TEST(TextLayoutTest, WrapsAtSpacesAndBreaksOverlongWords) {
  struct Case {
    std::string text;
    std::optional<double> width;
    Lines lines;
    Size size;
  };
  for (const Case& c : {
           Case{"", std::nullopt, {}, {0, 0}},
           Case{"", 50, {}, {0, 0}},
           Case{"hello world", std::nullopt, {"hello world"}, {66, 12}},
           Case{"hello world", 100, {"hello world"}, {66, 12}},
           Case{"hello world", 66, {"hello world"}, {66, 12}},
           Case{"hello world", 65.9, {"hello", "world"}, {30, 24}},
           Case{"hello world", 40, {"hello", "world"}, {30, 24}},
           Case{"ab    cd", 20, {"ab", "cd"}, {12, 24}},   // spaces hang at the wrap
           Case{"ab   ", std::nullopt, {"ab"}, {12, 12}},  // trailing spaces take no width
           Case{"  ab", std::nullopt, {"  ab"}, {24, 12}},
           Case{"abcdefghij", 25, {"abcd", "efgh", "ij"}, {24, 36}},
           Case{"ab abcdefghij x", 25, {"ab", "abcd", "efgh", "ij x"}, {24, 48}},
           Case{"ab", 0, {"a", "b"}, {0, 24}},  // at least one character a line
           Case{"ab", 4, {"a", "b"}, {4, 24}},
           Case{"ab", -3, {"a", "b"}, {0, 24}},
           Case{"h\xC3\xA9llo", 13, {"h\xC3\xA9", "ll", "o"}, {12, 36}},
       }) {
    const Text text = Text::verbatim(c.text);
    const TextLayout layout = layOut(text, c.width);
    EXPECT_EQ(lineTexts(text, layout), c.lines) << c.text << " at " << c.width.value_or(-1);
    EXPECT_DOUBLE_EQ(layout.size.width, c.size.width) << c.text;
    EXPECT_DOUBLE_EQ(layout.size.height, c.size.height) << c.text;
  }
}

TEST(TextLayoutTest, HardBreaksEndLines) {
  struct Case {
    std::string text;
    Lines lines;
    Size size;
  };
  for (const Case& c : {
           Case{"a\nbb", {"a", "bb"}, {12, 24}},
           Case{"a\n", {"a", ""}, {6, 24}},  // a trailing break leaves an empty last line
           Case{"\n", {"", ""}, {0, 24}},
           Case{"a\n\nb", {"a", "", "b"}, {6, 36}},
           Case{"a\r\nb\rc", {"a", "b", "c"}, {6, 36}},
           Case{"a\xE2\x80\xA8"
                "b",
                {"a", "b"},
                {6, 24}},
       }) {
    for (std::optional<double> width : {std::optional<double>(), std::optional<double>(100)}) {
      const Text text = Text::verbatim(c.text);
      const TextLayout layout = layOut(text, width);
      EXPECT_EQ(lineTexts(text, layout), c.lines) << c.text;
      EXPECT_EQ(layout.size, c.size) << c.text;
    }
  }
}

TEST(TextLayoutTest, LinesStackWithLineSpacingBetween) {
  TextLayoutDefaults d = tenPoint();
  d.lineSpacing = 5;
  const TextLayout layout = layOut(Text::verbatim("ab\ncd\nef"), std::nullopt, d);
  ASSERT_EQ(layout.lines.size(), 3u);
  EXPECT_EQ(layout.size, (Size{12, 12 * 3 + 5 * 2}));
  EXPECT_EQ(layout.lines[1].frame, (Rect{0, 17, 12, 12}));
  EXPECT_EQ(layout.lines[2].baseline, 34 + 8);
  EXPECT_EQ(layout.firstBaseline, 8);
  EXPECT_EQ(layout.lastBaseline, 42);
  EXPECT_EQ(layout.firstLineHeight, 12);

  // No spacing for a single line.
  EXPECT_EQ(layOut(Text::verbatim("ab"), std::nullopt, d).size, (Size{12, 12}));
}

TEST(TextLayoutTest, AlignsLinesWithinTheWidestOne) {
  const Text text = Text::verbatim("aaaa bb");
  struct Case {
    TextAlignment alignment;
    double secondLineX;
  };
  for (const Case& c : {Case{TextAlignment::leading, 0}, Case{TextAlignment::center, 6},
                        Case{TextAlignment::trailing, 12}}) {
    TextLayoutDefaults d = tenPoint();
    d.alignment = c.alignment;
    const TextLayout layout = layOut(text, 30, d);
    ASSERT_EQ(layout.lines.size(), 2u);
    EXPECT_EQ(layout.size.width, 24);
    EXPECT_EQ(layout.lines[0].frame.x, 0);
    EXPECT_EQ(layout.lines[1].frame.x, c.secondLineX);
    EXPECT_EQ(layout.fragments.back().frame.x, c.secondLineX);
  }
}

TEST(TextLayoutTest, MixedFontsShareALine) {
  AttributeContainer big;
  big.font = Font::system(20);
  const Text text = Text::verbatim("a") + Text::attributed(AttributedString("B", big));
  const TextLayout layout = layOut(text, std::nullopt);
  ASSERT_EQ(layout.lines.size(), 1u);
  EXPECT_EQ(layout.lines[0].ascent, 16);
  EXPECT_EQ(layout.lines[0].descent, 8);
  EXPECT_EQ(layout.size, (Size{18, 24}));
  ASSERT_EQ(layout.fragments.size(), 2u);
  EXPECT_EQ(layout.fragments[0].frame, (Rect{0, 0, 6, 24}));
  EXPECT_EQ(layout.fragments[1].frame, (Rect{6, 0, 12, 24}));
  EXPECT_EQ(layout.fragments[1].baseline, 16);
  EXPECT_EQ(layout.fragments[1].font.size, 20);

  // Without a run font the defaults apply; a text-level font sits between the two.
  EXPECT_EQ(layOut(Text::verbatim("ab").font(Font::system(20)), std::nullopt).size, (Size{24, 24}));
}

TEST(TextLayoutTest, KernTrackingAndBaselineOffset) {
  AttributeContainer spaced;
  spaced.kern = 1;
  spaced.tracking = 0.5;
  EXPECT_EQ(layOut(Text::attributed(AttributedString("abc", spaced)), std::nullopt).size,
            (Size{18 + 4.5, 12}));

  AttributeContainer raised;
  raised.baselineOffset = 3;
  const TextLayout layout =
      layOut(Text::verbatim("a") + Text::attributed(AttributedString("b", raised)), std::nullopt);
  EXPECT_EQ(layout.lines[0].ascent, 11);
  EXPECT_EQ(layout.lines[0].descent, 4);
  EXPECT_EQ(layout.fragments[0].baseline, 11);
  EXPECT_EQ(layout.fragments[1].baseline, 8);
}

TEST(TextLayoutTest, RunsKeepTheirRectanglesAcrossWraps) {
  AttributeContainer link;
  link.link = foundation::URL::parse("https://example.com");
  const Text text = Text::verbatim("see ") + Text::attributed(AttributedString("this link", link)) +
                    Text::verbatim(" now");
  const TextLayout layout = layOut(text, 60);  // "see this" | "link now"
  ASSERT_EQ(layout.lines.size(), 2u);
  const auto rects = layout.rectsOfRun(1);
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0], (Rect{24, 0, 24, 12}));  // "this"; the hanging space is not part of it
  EXPECT_EQ(rects[1], (Rect{0, 12, 24, 12}));  // "link"
  EXPECT_EQ(layout.runAt({30, 5}), 1u);
  EXPECT_EQ(layout.runAt({5, 18}), 1u);
  EXPECT_EQ(layout.runAt({30, 18}), 2u);
  EXPECT_EQ(layout.runAt({70, 5}), std::nullopt);
}

TEST(TextLayoutTest, InlineImagesStandOnTheBaseline) {
  const Text text =
      Text::verbatim("a") + Text::image(Image::symbol("circle.fill")) + Text::verbatim("b");
  const TextLayout layout = layOut(text, std::nullopt);
  // A symbol is as high as its font: 10 × 10, taller than the text's ascent of 8.
  EXPECT_EQ(layout.size, (Size{22, 14}));
  EXPECT_EQ(layout.lines[0].baseline, 10);
  ASSERT_EQ(layout.fragments.size(), 3u);
  EXPECT_EQ(layout.fragments[1].frame, (Rect{6, 0, 10, 10}));
  EXPECT_EQ(layout.fragments[2].frame.x, 16);

  TextLayoutDefaults small = tenPoint();
  small.imageScale = ImageScale::small;
  EXPECT_EQ(layOut(Text::image(Image::symbol("circle")), std::nullopt, small).size, (Size{8, 8}));

  auto pixels = PixelBuffer::make(4, 30, std::vector<std::uint8_t>(4 * 30 * 4));
  const TextLayout tall = layOut(Text::verbatim("ab") + Text::image(Image::bitmap(pixels)), 14);
  ASSERT_EQ(tall.lines.size(), 2u);  // the image is a word of its own and wraps
  EXPECT_EQ(tall.lines[1].ascent, 30);
  EXPECT_EQ(tall.size, (Size{12, 12 + 30}));
}

}  // namespace
}  // namespace ui
