#include <foundation/DispatchQueue.h>

#include "MarkdownTestSupport.h"
#include "markdown/InlineText.h"

namespace markdown {
namespace {

ui::Image pixel() {
  return ui::Image::bitmap(ui::PixelBuffer::make(2, 2, std::vector<std::uint8_t>(16, 255)));
}

// Hands out images when the test says so; fails for sources containing "fail".
struct ScriptedProvider final : InlineImageProvider {
  struct Call {
    std::string url;
    Completion completion;
  };
  mutable std::vector<Call> calls;
  void image(const foundation::URL& url, const std::string&, Completion completion) const override {
    calls.push_back({url.absoluteString(), std::move(completion)});
  }
  void finishAll() {
    auto pending = std::move(calls);
    for (auto& c : pending) {
      Result r;
      if (c.url.find("fail") == std::string::npos)
        r.image = pixel();
      else
        r.error = "failed";
      c.completion(r);
    }
  }
};

std::vector<Inline> inlinesOf(std::string_view markdown) {
  MarkdownContent content(markdown);
  return content.blocks.at(0).as<Block::Paragraph>()->inlines;
}

InlineEnvironment colouredEnvironment() {
  InlineEnvironment e;
  e.emphasis = textStyle({ForegroundColor(ui::Color::red()), TextKerning(1)});
  e.strong = textStyle({ForegroundColor(ui::Color::blue())});
  e.code = textStyle({BackgroundColor(ui::Color::gray())});
  e.link = textStyle({ForegroundColor(ui::Color::green())});
  return e;
}

TEST(InlineRendering, NestedStylesCollectOuterThenInner) {
  const auto text = renderAttributedString(inlinesOf("a *b **c***"), colouredEnvironment(), {});
  ASSERT_EQ(text.runs().size(), 3u);
  EXPECT_EQ(text.text(text.runs()[0]), "a ");
  EXPECT_TRUE(text.runs()[0].attributes.empty());
  EXPECT_EQ(text.text(text.runs()[1]), "b ");
  EXPECT_EQ(text.runs()[1].attributes.foregroundColor, ui::Color::red());
  EXPECT_EQ(text.text(text.runs()[2]), "c");
  EXPECT_EQ(text.runs()[2].attributes.foregroundColor, ui::Color::blue());
  EXPECT_EQ(text.runs()[2].attributes.kern, 1);
}

TEST(InlineRendering, BreaksCodeAndHTMLKeepTheirCharacters) {
  const auto e = colouredEnvironment();
  EXPECT_EQ(renderAttributedString(inlinesOf("a\nb"), e, {}).characters(), "a b");
  EXPECT_EQ(renderAttributedString(inlinesOf("a  \nb"), e, {}).characters(), "a\nb");
  const auto code = renderAttributedString(inlinesOf("`*x*  y`"), e, {});
  EXPECT_EQ(code.characters(), "*x*  y");
  EXPECT_EQ(code.runs()[0].attributes.backgroundColor, ui::Color::gray());
  EXPECT_EQ(renderAttributedString(inlinesOf("x <b>y</b>"), e, {}).characters(), "x <b>y</b>");
  // Images inside other inlines are never drawn: their alternative text stands in the line.
  EXPECT_EQ(renderAttributedString(inlinesOf("*![alt](i.png)* x"), e, {}).characters(), "alt x");
  EXPECT_EQ(renderAttributedString(inlinesOf("a ![](i.png)b"), e, {}).characters(), "a b");
}

TEST(InlineRendering, LinksResolveAgainstTheBase) {
  InlineEnvironment e = colouredEnvironment();
  auto linkOf = [&](std::string_view markdown) {
    const auto text = renderAttributedString(inlinesOf(markdown), e, {});
    return text.runs().at(0).attributes.link;
  };
  EXPECT_EQ(linkOf("[x](docs/page)")->absoluteString(), "docs/page");
  e.baseURL = foundation::URL::parse("https://x/y/");
  EXPECT_EQ(linkOf("[x](docs/page)")->absoluteString(), "https://x/y/docs/page");
  const auto invalid =
      renderAttributedString({Inline::link("not a url", {Inline::text("x")})}, e, {});
  EXPECT_FALSE(invalid.runs().at(0).attributes.link);
  EXPECT_EQ(invalid.runs().at(0).attributes.foregroundColor, ui::Color::green());
}

TEST(InlineRendering, FontDescriptionsBecomeFonts) {
  ui::AttributeContainer start;
  start.set<FontPropertiesAttribute>(FontProperties{});
  const ui::Text text = renderText(inlinesOf("a `b`"), {}, InlineEnvironment{}, start);
  for (const auto& run : text.runs()) EXPECT_TRUE(run.attributes.font);
}

struct InlineImageScene {
  explicit InlineImageScene(std::string_view markdown)
      : provider(std::make_shared<ScriptedProvider>()),
        rendered(markdownInlineImageProvider(
            Markdown(markdown, foundation::URL::parse("https://site/")), provider)) {}
  std::size_t imagesShown() {
    rendered.host.update();
    return rendered.host.render().itemsOf<ui::DisplayItem::DrawImage>().size();
  }
  std::shared_ptr<ScriptedProvider> provider;
  testing::Rendered rendered;
};

TEST(InlineImages, AppearTogetherOnceAllHaveLoaded) {
  InlineImageScene s("a ![one](1.png) b ![one](1.png) c ![two](2.png)");
  ASSERT_EQ(s.provider->calls.size(), 2u) << "identical images load once";
  EXPECT_EQ(s.provider->calls[0].url, "https://site/1.png");
  EXPECT_EQ(s.imagesShown(), 0u);
  s.provider->finishAll();
  EXPECT_EQ(s.imagesShown(), 3u);
  for (const auto& image : s.rendered.host.render().itemsOf<ui::DisplayItem::DrawImage>())
    EXPECT_FALSE(image.tint) << "pictures are not tinted with the text colour";
}

TEST(InlineImages, OneFailureShowsNone) {
  InlineImageScene s("![a](1.png) ![b](fail.png) ![c](3.png)");
  ASSERT_EQ(s.provider->calls.size(), 3u);
  s.provider->finishAll();
  EXPECT_EQ(s.imagesShown(), 0u);
}

TEST(InlineImages, TheAlternativeTextStandsInTheLineUntilTheImageIsShown) {
  InlineImageScene s("see ![a chart](1.png) here");
  auto text = [&] {
    s.rendered.host.update();
    return s.rendered.host.dump();
  };
  EXPECT_NE(text().find("see a chart here"), std::string::npos) << text();
  s.provider->finishAll();
  EXPECT_EQ(s.imagesShown(), 1u);
  EXPECT_EQ(text().find("a chart"), std::string::npos) << "the picture replaces its words";

  InlineImageScene failed("see ![a chart](fail.png) here");
  failed.provider->finishAll();
  failed.rendered.host.update();
  EXPECT_NE(failed.rendered.host.dump().find("see a chart here"), std::string::npos);
}

TEST(InlineImages, ImagesInsideLinksAreNotFetched) {
  // The linked image is never shown, so its failure must not hide the visible one.
  InlineImageScene s("see [![a](fail.png)](https://d) and ![b](ok.png)");
  ASSERT_EQ(s.provider->calls.size(), 1u);
  EXPECT_EQ(s.provider->calls[0].url, "https://site/ok.png");
  s.provider->finishAll();
  EXPECT_EQ(s.imagesShown(), 1u);
}

TEST(InlineImages, SourcesThatAreNoURLAreSkipped) {
  auto provider = std::make_shared<ScriptedProvider>();
  testing::Rendered r(markdownInlineImageProvider(
      Markdown(MarkdownContent(std::vector<Block>{Block::paragraph(
          {Inline::text("x "), Inline::image("bad url", {}), Inline::image("", {})})})),
      provider));
  EXPECT_TRUE(provider->calls.empty());
}

TEST(InlineImages, ALoadFinishingAfterTheTextIsGoneWritesNothing) {
  auto provider = std::make_shared<ScriptedProvider>();
  {
    testing::Rendered r(markdownInlineImageProvider(
        Markdown(std::string_view("x ![a](https://i/1.png)")), provider));
    ASSERT_EQ(provider->calls.size(), 1u);
  }
  provider->finishAll();  // the view has gone: the result is dropped
  SUCCEED();
}

}  // namespace
}  // namespace markdown
