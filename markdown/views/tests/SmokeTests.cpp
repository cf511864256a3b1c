#include "MarkdownTestSupport.h"

namespace markdown {
namespace {

TEST(MarkdownSmoke, EveryBlockKind) {
  const char* text =
      "# Title\n\nSome *text* with `code` and a [link](https://x.org).\n\n"
      "> quoted\n\n- one\n- two\n\n8. eight\n9. nine\n10. ten\n\n- [x] done\n- [ ] open\n\n"
      "```swift\nlet a = 1\n```\n\n<div>html</div>\n\n| a | b |\n|:-|-:|\n| 1 | 2 |\n\n---\n\n"
      "![alt](https://example.com/i.png)\n";
  testing::Rendered r{Markdown(std::string_view(text))};
  for (const char* kind :
       {"markdown::CodeBlockView", "markdown::HTMLBlockView", "markdown::TableView",
        "markdown::BulletedListView", "markdown::NumberedListView", "markdown::TaskListView",
        "markdown::ImageView", "markdown::InlineText", "Divider"})
    EXPECT_TRUE(r.shows(kind)) << kind;
}

}  // namespace
}  // namespace markdown
