#include <gtest/gtest.h>

#include "MarkdownTestSupport.h"
#include "markdown/FlowLayout.h"
#include "markdown/ImageViews.h"
#include "ui/CustomLayout.h"
#include "ui/Shapes.h"

namespace markdown {
namespace {

ui::AnyView box(double w, double h, int i) {
  return ui::ColorView(ui::Color::red())
      .frame(w, h)
      .accessibilityIdentifier("i" + std::to_string(i));
}

ui::AnyView flow(std::vector<ui::AnyView> items) {
  return ui::CustomLayout(std::make_shared<FlowLayout>(3, 3), std::move(items))
      .accessibilityIdentifier("flow");
}

TEST(FlowLayout, WrapsWhenTheNextItemWouldPassTheWidth) {
  testing::Rendered r(flow({box(40, 10, 0), box(40, 10, 1), box(40, 10, 2)}), 100);
  EXPECT_EQ(r.frame("i1").origin(), (ui::Point{43, 0}));
  EXPECT_EQ(r.frame("i2").origin(), (ui::Point{0, 13}));
  EXPECT_EQ(r.frame("flow").size(), (ui::Size{83, 23}));

  testing::Rendered exact(flow({box(40, 10, 0), box(57, 10, 1)}), 100);
  EXPECT_EQ(exact.frame("i1").origin(), (ui::Point{43, 0})) << "x + w = W stays on the row";

  testing::Rendered wide(flow({box(150, 10, 0), box(10, 10, 1)}), 100);
  EXPECT_EQ(wide.frame("flow").width, 150);
  EXPECT_EQ(wide.frame("i1").origin(), (ui::Point{0, 13}));

  testing::Rendered unlimited(flow({box(400, 10, 0), box(400, 10, 1)}), ui::kInfinity);
  EXPECT_EQ(unlimited.frame("i1").origin(), (ui::Point{403, 0})) << "no width: no wrapping";
}

TEST(FlowLayout, ItemsShareTheirRowsBottomEdge) {
  testing::Rendered r(flow({box(10, 30, 0), box(10, 10, 1)}), 100);
  EXPECT_EQ(r.frame("i1").y, 20);
}

TEST(FlowLayout, OnlyNegativePriorityItemsAreOfferedTheRoomLeftNeverLessThanNothing) {
  auto filler = [](int i, double priority) {
    return ui::ColorView(ui::Color::blue())
        .frame(std::nullopt, 5.0)
        .layoutPriority(priority)
        .accessibilityIdentifier("i" + std::to_string(i));
  };
  testing::Rendered left(flow({box(40, 10, 0), filler(1, -1)}), 100);
  EXPECT_EQ(left.frame("i1").width, 57);
  testing::Rendered whole(flow({box(40, 10, 0), filler(1, 0)}), 100);
  EXPECT_EQ(whole.frame("i1").width, 100);
  testing::Rendered past(flow({box(150, 10, 0), filler(1, -1)}), 100);
  EXPECT_EQ(past.frame("i1").width, 0);
  EXPECT_TRUE(std::isfinite(past.frame("flow").width));
}

TEST(FlowLayout, ImageFlowSpacingIsAQuarterOfTheTextSize) {
  EXPECT_EQ(imageFlowSpacing(13), 3);
  EXPECT_EQ(imageFlowSpacing(20), 5);
  EXPECT_EQ(imageFlowSpacing(14), 4);
}

TEST(ResizeToFit, ScalesDownToTheOfferedWidthOnly) {
  auto fitted = [](std::optional<double> width) {
    testing::Rendered r(
        ResizeToFit(ui::ColorView(ui::Color::red()).frame(400, 200)).accessibilityIdentifier("fit"),
        width.value_or(ui::kInfinity));
    return r.frame("fit").size();
  };
  EXPECT_EQ(fitted(100), (ui::Size{100, 50}));
  EXPECT_EQ(fitted(500), (ui::Size{400, 200}));
  EXPECT_EQ(fitted(std::nullopt), (ui::Size{400, 200}));
}

TEST(ImageFlowItems, ImagesAndBreaksOnly) {
  auto items = [](std::vector<Inline> inlines) {
    auto f = ImageFlow::make(inlines);
    return f ? std::optional<std::size_t>(f->items().size()) : std::nullopt;
  };
  const Inline a = Inline::image("a", {}), b = Inline::image("b", {});
  EXPECT_EQ(items({a, Inline::softBreak(), b}), 2u);
  EXPECT_EQ(items({a, Inline::text(""), b}), 2u);
  EXPECT_EQ(items({a, Inline::text(" "), b}), std::nullopt);
  EXPECT_EQ(items({a, Inline::lineBreak(), b}), 3u);
  EXPECT_EQ(items({a, Inline::emphasis({b})}), std::nullopt);
  EXPECT_EQ(items({}), 0u);
  const auto nested =
      ImageFlow::make({Inline::link("outer", {Inline::link("inner", {Inline::image("s", {})})})});
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->items().at(0).value.image->destination, "outer");
}

TEST(ImageViews, ResolveTheImageAndLinkAndLabelWithTheAltText) {
  auto requested = std::make_shared<std::vector<std::optional<foundation::URL>>>();
  auto opened = std::make_shared<std::vector<std::string>>();
  auto provider = AnyImageProvider([requested](const std::optional<foundation::URL>& url) {
    requested->push_back(url);
    return ui::ColorView(ui::Color::red()).frame(20, 10).accessibilityIdentifier("picture");
  });
  auto render = [&](ImageView view) {
    return std::make_unique<testing::Rendered>(
        markdownImageProvider(ui::AnyView(view).accessibilityIdentifier("image"), provider)
            .environment<BaseURLKey>(foundation::URL::parse("https://links/"))
            .environment<ImageBaseURLKey>(foundation::URL::parse("https://images/")),
        600,
        ui::Environment().with<ui::OpenURLKey>(ui::OpenURLAction(
            [opened](const foundation::URL& u) { opened->push_back(u.absoluteString()); })));
  };
  render(ImageView(std::nullopt, "", std::nullopt));
  render(ImageView("not a url", "", std::nullopt));
  EXPECT_EQ(*requested, (std::vector<std::optional<foundation::URL>>{std::nullopt, std::nullopt}));

  auto plain = render(ImageView("p.png", "", "bad link"));
  EXPECT_EQ(requested->back()->absoluteString(), "https://images/p.png");
  EXPECT_FALSE(plain->shows("Button"));
  EXPECT_EQ(plain->host.accessibilityLabelOf("image"), "") << "the alt text, even empty";

  auto linked = render(ImageView("p.png", "A picture", "page"));
  EXPECT_TRUE(linked->shows("Button (0, 0, 20, 10) plain"));
  EXPECT_EQ(linked->host.accessibilityLabelOf("image"), "A picture");
  linked->click("picture");
  EXPECT_EQ(*opened, std::vector<std::string>{"https://links/page"});
}

TEST(OpenURL, TheSystemActionOpensOnlyWebAndMailLinks) {
  std::vector<std::string> opened;
  ui::OpenURLAction::setDesktopOpener(
      [&](const foundation::URL& url) { opened.push_back(url.absoluteString()); });
  const auto open = ui::OpenURLAction::system();
  ::testing::internal::CaptureStderr();
  for (const char* url : {"https://a.org/", "mailto:x@y.org", "file:///etc/passwd",
                          "javascript:alert(1)", "relative/page", "http://b.org/"})
    open(*foundation::URL::parse(url));
  const std::string log = ::testing::internal::GetCapturedStderr();
  ui::OpenURLAction::setDesktopOpener({});
  EXPECT_EQ(opened,
            (std::vector<std::string>{"https://a.org/", "mailto:x@y.org", "http://b.org/"}));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
  EXPECT_NE(log.find("file:///etc/passwd"), std::string::npos);
}

}  // namespace
}  // namespace markdown
