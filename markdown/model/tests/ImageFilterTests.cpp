#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModelPrinting.h"
#include "markdown/ImageFilter.h"

namespace markdown {
namespace {

using namespace spell;

bool visible(const char* source, ColorScheme scheme) {
  return filterImages({para({image(source, {})})}, scheme) !=
         std::vector<Block>{Block::paragraph({})};
}

TEST(ImageFilter, HidesImagesMarkedForTheOtherScheme) {
  const struct {
    const char* source;
    bool light, dark;
  } cases[] = {
      {"a.png", true, true},
      {"a.png#gh-dark-mode-only", false, true},
      {"https://x.org/a.png#gh-light-mode-only", true, false},
      {"a.png#GH-Dark-Mode-Only", false, true},
      {"a.png#gh-dark-mode-only-x", true, true},
      {"a.png#x-gh-light-mode-only", true, true},
      {"a.png#", true, true},
      {"not a url#gh-dark-mode-only", true, true},  // does not parse: kept
      {"", true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(visible(c.source, ColorScheme::light), c.light) << c.source;
    EXPECT_EQ(visible(c.source, ColorScheme::dark), c.dark) << c.source;
  }
  EXPECT_TRUE(isVisible(*foundation::URL::parse("https://x.org/a.png"), ColorScheme::light));
}

TEST(ImageFilter, RewritesEveryContainerAndKeepsTheShape) {
  const Inline hidden = image("h.png#gh-dark-mode-only", {text("h")});
  const Inline shown = image("s.png#gh-light-mode-only", {hidden});
  const std::vector<Block> blocks = {
      para({hidden}),
      Block::heading(2, {text("t"), hidden}),
      Block::blockquote({para({emph({hidden, text("e")})})}),
      Block::bulletedList(false, {item({para({link("l", {hidden})})})}),
      Block::numberedList(true, 4, {item({para({strong({strike({hidden})})})})}),
      Block::taskList(true, {task(true, {para({shown})})}),
      Block::table({TextTableColumnAlignment::center}, {{{link("l", {emph({hidden})})}}, {{}}}),
      Block::codeBlock("md", "![x](h.png#gh-dark-mode-only)"),
      Block::htmlBlock("<img>"),
      Block::thematicBreak(),
  };
  const std::vector<Block> expected = {
      Block::paragraph({}),
      Block::heading(2, {text("t")}),
      Block::blockquote({para({emph({text("e")})})}),
      Block::bulletedList(false, {item({para({link("l", {})})})}),
      Block::numberedList(true, 4, {item({para({strong({strike({})})})})}),
      Block::taskList(true, {task(true, {para({shown})})}),  // alt text not rewritten
      Block::table({TextTableColumnAlignment::center}, {{{link("l", {emph({})})}}, {{}}}),
      Block::codeBlock("md", "![x](h.png#gh-dark-mode-only)"),
      Block::htmlBlock("<img>"),
      Block::thematicBreak(),
  };
  EXPECT_EQ(filterImages(blocks, ColorScheme::light), expected);
  EXPECT_EQ(filterImages(blocks, ColorScheme::dark)[0], para({hidden}));
}

}  // namespace
}  // namespace markdown
