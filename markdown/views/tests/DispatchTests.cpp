#include "MarkdownTestSupport.h"
#include "markdown/BlockView.h"
#include "markdown/ImageViews.h"
#include "markdown/InlineText.h"
#include "markdown/TextStyleAttributesReader.h"

namespace markdown {
namespace {

template <class V>
const V* as(const ui::AnyView& view) {
  return dynamic_cast<const V*>(view.get());
}

std::vector<Inline> inlinesOf(std::string_view markdown) {
  MarkdownContent content(markdown);
  return content.blocks.at(0).as<Block::Paragraph>()->inlines;
}

TEST(Dispatch, ParagraphsOfImagesTakeImageViewsOrFlows) {
  const auto single = ParagraphContent(inlinesOf("![a](x)"));
  ASSERT_TRUE(as<ImageView>(single));
  EXPECT_EQ(as<ImageView>(single)->source(), "x");
  EXPECT_EQ(as<ImageView>(single)->alt(), "a");
  EXPECT_FALSE(as<ImageView>(single)->destination());

  const auto linked = ParagraphContent(inlinesOf("[![a](x)](d)"));
  ASSERT_TRUE(as<ImageView>(linked));
  EXPECT_EQ(as<ImageView>(linked)->destination(), "d");

  EXPECT_TRUE(as<InlineText>(ParagraphContent(inlinesOf("![a](x) and text"))));
  const auto soft = ParagraphContent(inlinesOf("![a](x)\n![b](y)"));
  ASSERT_TRUE(as<ImageFlow>(soft));
  EXPECT_EQ(as<ImageFlow>(soft)->items().size(), 2u);
  const auto hard = ParagraphContent(inlinesOf("![a](x)\\\n![b](y)"));
  ASSERT_TRUE(as<ImageFlow>(hard));
  EXPECT_EQ(as<ImageFlow>(hard)->items().size(), 3u);
  EXPECT_TRUE(as<InlineText>(
      ParagraphContent({Inline::image("x", {}), Inline::text(" "), Inline::image("y", {})})));
}

TEST(Dispatch, CodeAndHTMLBlocksLoseOneFinalLineFeed) {
  EXPECT_EQ(withoutFinalLineFeed("a\n"), "a");
  EXPECT_EQ(withoutFinalLineFeed("a\n\n"), "a\n");
  EXPECT_EQ(withoutFinalLineFeed("a"), "a");
  EXPECT_EQ(withoutFinalLineFeed(""), "");
}

TEST(Dispatch, EachBlockKindUsesItsThemeSlot) {
  const char* text =
      "# One\n\n### Three\n\npara\n\n<div>x</div>\n\n> quote\n\n- a\n\n1. b\n\n- [ ] c\n\n"
      "```\ncode\n```\n\n| h |\n|---|\n| c |\n";
  testing::Rendered r(markdownTheme(Markdown(std::string_view(text)), testing::taggedTheme()));
  for (const char* slot : {"slot:heading1", "slot:heading3", "slot:paragraph", "slot:blockquote",
                           "slot:list", "slot:listItem", "slot:codeBlock", "slot:table"})
    EXPECT_TRUE(r.host.frameOf(slot)) << slot;
  // The HTML block is styled as a paragraph, the three lists as lists.
  const std::string dump = r.host.dump();
  std::size_t lists = 0, paragraphsWithHTML = 0;
  for (std::size_t at = dump.find("id=slot:list\n"); at != std::string::npos;
       at = dump.find("id=slot:list\n", at + 1))
    ++lists;
  EXPECT_EQ(lists, 3u);
  const auto html = dump.find("markdown::HTMLBlockView");
  ASSERT_NE(html, std::string::npos);
  paragraphsWithHTML = dump.rfind("id=slot:paragraph", html) != std::string::npos;
  EXPECT_TRUE(paragraphsWithHTML);
}

TEST(Dispatch, HeadingLevelsOutsideOneToSixTakeTheNearestStyle) {
  MarkdownContent content(std::vector<Block>{
      Block::heading(0, {Inline::text("zero")}),
      Block::heading(std::numeric_limits<std::int64_t>::max(), {Inline::text("huge")})});
  testing::Rendered r(markdownTheme(Markdown(content), testing::taggedTheme()));
  EXPECT_TRUE(r.host.frameOf("slot:heading1"));
  EXPECT_TRUE(r.host.frameOf("slot:heading6"));
}

TEST(Dispatch, LinksResolveAgainstTheBaseAndImagesAgainstTheImageBase) {
  auto images = std::make_shared<std::vector<std::optional<foundation::URL>>>();
  auto opened = std::make_shared<std::vector<std::string>>();
  auto provider = AnyImageProvider([images](const std::optional<foundation::URL>& url) {
    images->push_back(url);
    return ui::AnyView();
  });
  auto render = [&](std::optional<foundation::URL> imageBase) {
    images->clear();
    opened->clear();
    ui::AnyView view =
        markdownTheme(Markdown(std::string_view("[link](page)\n\n![i](img.png)\n"),
                               foundation::URL::parse("https://b.org/docs/"), imageBase),
                      testing::taggedTheme());
    testing::Rendered r(
        markdownImageProvider(view, provider), 600,
        ui::Environment().with<ui::OpenURLKey>(ui::OpenURLAction(
            [opened](const foundation::URL& u) { opened->push_back(u.absoluteString()); })));
    const ui::Rect link = r.frame("slot:paragraph");
    r.host.pointerPressed(ui::PointerEvent::at({link.x + 2, link.midY()}));
    r.host.pointerReleased(ui::PointerEvent::at({link.x + 2, link.midY()}));
    ASSERT_FALSE(images->empty());
    ASSERT_TRUE(images->back());
    EXPECT_EQ(*opened, std::vector<std::string>{"https://b.org/docs/page"});
  };
  render(std::nullopt);
  EXPECT_EQ(images->back()->absoluteString(), "https://b.org/docs/img.png");
  render(foundation::URL::parse("https://i.org/"));
  EXPECT_EQ(images->back()->absoluteString(), "https://i.org/img.png");
}

TEST(Dispatch, BlocksSeeTheCallersSizeOrThirteenPoints) {
  auto seen = std::make_shared<std::optional<FontProperties>>();
  Theme theme = Theme::basic().paragraph([seen](const BlockConfiguration::Label& label) {
    return TextStyleAttributesReader([seen, label](const ui::AttributeContainer& a) {
      const FontProperties* p = a.get<FontPropertiesAttribute>();
      *seen = p ? std::optional<FontProperties>(*p) : std::nullopt;
      return label.body;
    });
  });
  {
    testing::Rendered r(markdownTheme(Markdown(std::string_view("text")), theme));
    ASSERT_TRUE(*seen);
    EXPECT_EQ((*seen)->size, 13);
  }
  {
    testing::Rendered r(
        markdownTextStyle(markdownTheme(Markdown(std::string_view("text")), theme), FontSize(20)));
    ASSERT_TRUE(*seen);
    EXPECT_EQ((*seen)->size, 20);
    EXPECT_EQ((*seen)->scale, 1);
  }
}

TEST(Dispatch, ImagesForTheOtherAppearanceAreLeftOut) {
  auto requested = std::make_shared<std::vector<std::string>>();
  auto provider = AnyImageProvider([requested](const std::optional<foundation::URL>& url) {
    requested->push_back(url ? url->absoluteString() : "");
    return ui::AnyView();
  });
  const std::string_view text =
      "![d](https://i/dark.png#gh-dark-mode-only)\n\n![l](https://i/light.png#gh-light-mode-only)"
      "\n\n![a](https://i/any.png)\n";
  auto shown = [&](ui::ColorScheme scheme) {
    requested->clear();
    testing::Rendered r(markdownImageProvider(Markdown(text), provider), 600,
                        ui::Environment().with<ui::ColorSchemeKey>(scheme));
    return *requested;
  };
  EXPECT_EQ(
      shown(ui::ColorScheme::light),
      (std::vector<std::string>{"https://i/light.png#gh-light-mode-only", "https://i/any.png"}));
  EXPECT_EQ(
      shown(ui::ColorScheme::dark),
      (std::vector<std::string>{"https://i/dark.png#gh-dark-mode-only", "https://i/any.png"}));
}

TEST(Dispatch, ShowingTheSameTextAgainBuildsNothing) {
  ui::ViewHost host(Markdown(std::string_view("# A\n\nText\n")),
                    std::make_shared<ui::FakeTextMeasurer>());
  host.setProposal({600.0, std::nullopt});
  host.update();
  host.resetStats();
  host.setRoot(Markdown(std::string_view("# A\n\nText\n")));
  host.update();
  EXPECT_LE(host.stats().bodiesEvaluated, 1u);
}

}  // namespace
}  // namespace markdown
