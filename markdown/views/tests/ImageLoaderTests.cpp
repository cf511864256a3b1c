#include <foundation/DispatchQueue.h>

#include <chrono>

#include "MarkdownTestSupport.h"
#include "markdown/DefaultImageProviders.h"
#include "markdown/ImageLoader.h"
#include "testsupport/LoopbackServer.h"

namespace markdown {
namespace {

using namespace std::chrono_literals;

// The start of a PNG file of the given size: enough for the test decoder.
std::string png(std::uint32_t width, std::uint32_t height) {
  std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (std::uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(char((v >> shift) & 0xff));
  return bytes + std::string(16, '\0');
}

// Reads the size from a PNG header and makes a blank bitmap of it.
std::optional<ui::Image> decodePNGHeader(std::string_view bytes, std::size_t maxPixels) {
  if (bytes.size() < 24 || bytes.substr(1, 3) != "PNG") return std::nullopt;
  auto word = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | std::uint8_t(bytes[at + i]);
    return v;
  };
  const std::uint32_t w = word(16), h = word(20);
  if (std::uint64_t(w) * h > maxPixels) return std::nullopt;
  return ui::Image::bitmap(
      ui::PixelBuffer::make(int(w), int(h), std::vector<std::uint8_t>(std::size_t(w) * h * 4)));
}

struct LoaderScene {
  explicit LoaderScene(DefaultImageLoader::Limits limits = {},
                       ImageSession::Limits sessionLimits = {}, double timeout = 10)
      : loader(limits) {
    loader.setDecoder(decodePNGHeader);
    foundation::URLSessionConfiguration configuration;
    configuration.timeoutIntervalForRequest = std::chrono::duration<double>(timeout);
    session = ImageSession::make(configuration, sessionLimits);
  }
  ImageLoadResult load(const std::string& url) {
    std::optional<ImageLoadResult> result;
    loader.image(*foundation::URL::parse(url), session,
                 [&](ImageLoadResult r) { result = std::move(r); });
    foundation::MainRunLoop::runUntil([&] { return result.has_value(); }, 10s);
    EXPECT_TRUE(result) << "no answer for " << url;
    return result.value_or(ImageLoadResult{});
  }
  static std::optional<ImageLoadError::Code> code(const ImageLoadResult& r) {
    return r.error ? std::optional(r.error->code) : std::nullopt;
  }
  testsupport::LoopbackServer server;
  DefaultImageLoader loader;
  std::shared_ptr<ImageSession> session;
};

TEST(ImageLoader, LoadsOnceThenServesFromTheCacheAtOnePointAPixel) {
  LoaderScene s;
  s.server.reply("/a.png", {200, png(200, 100), "image/png", {}});
  const auto first = s.load(s.server.url("/a.png"));
  ASSERT_TRUE(first.image);
  EXPECT_EQ(first.image->naturalSize(), (ui::Size{200, 100}));
  const auto second = s.load(s.server.url("/a.png"));
  ASSERT_TRUE(second.image);
  EXPECT_EQ(s.server.requests("/a.png").size(), 1u);
}

TEST(ImageLoader, FailuresAreNotCachedAndSayWhy) {
  LoaderScene s;
  s.server.reply("/missing.png", {404, "no", "text/plain", {}});
  s.server.reply("/error.png", {500, png(1, 1), "image/png", {}});
  s.server.reply("/page.png", {200, "<html>not an image</html>", "text/html", {}});
  EXPECT_EQ(LoaderScene::code(s.load(s.server.url("/missing.png"))),
            ImageLoadError::Code::badServerResponse);
  EXPECT_EQ(LoaderScene::code(s.load(s.server.url("/missing.png"))),
            ImageLoadError::Code::badServerResponse);
  EXPECT_EQ(s.server.requests("/missing.png").size(), 2u);
  EXPECT_EQ(LoaderScene::code(s.load(s.server.url("/error.png"))),
            ImageLoadError::Code::badServerResponse);
  EXPECT_EQ(LoaderScene::code(s.load(s.server.url("/page.png"))),
            ImageLoadError::Code::cannotDecodeContentData);
}

TEST(ImageLoader, OnlyHTTPIsFetchedAlsoAfterARedirect) {
  LoaderScene s;
  EXPECT_EQ(LoaderScene::code(s.load("file:///etc/passwd")), ImageLoadError::Code::unsupportedURL);
  EXPECT_EQ(LoaderScene::code(s.load("ftp://example.com/a.png")),
            ImageLoadError::Code::unsupportedURL);
  s.server.redirect("/to-file.png", "file:///dev/zero");
  EXPECT_FALSE(s.load(s.server.url("/to-file.png")).image);
  s.server.reply("/real.png", {200, png(2, 2), "image/png", {}});
  s.server.redirect("/moved.png", "/real.png");
  EXPECT_TRUE(s.load(s.server.url("/moved.png")).image) << "redirects within HTTP are followed";
}

TEST(ImageLoader, BodiesAndPixelCountsAreCapped) {
  LoaderScene s({/*maxPixels*/ 10'000, 1 << 20}, {/*maxBodyBytes*/ 4096});
  s.server.reply("/big.png", {200, png(10, 10) + std::string(8000, 'x'), "image/png", {}});
  s.server.stream("/streamed.png", {{0ms, png(10, 10)}, {0ms, std::string(8000, 'x')}},
                  {200, "", "image/png", {}});
  s.server.reply("/huge.png", {200, png(1000, 1000), "image/png", {}});
  EXPECT_EQ(LoaderScene::code(s.load(s.server.url("/big.png"))),
            ImageLoadError::Code::dataTooLarge);
  EXPECT_EQ(LoaderScene::code(s.load(s.server.url("/streamed.png"))),
            ImageLoadError::Code::dataTooLarge);
  EXPECT_EQ(LoaderScene::code(s.load(s.server.url("/huge.png"))),
            ImageLoadError::Code::cannotDecodeContentData);
}

TEST(ImageLoader, ASlowServerTimesOutWithoutHoldingTheMainThread) {
  LoaderScene s({}, {}, 0.3);
  s.server.stallAfterHead("/slow.png");
  const auto start = std::chrono::steady_clock::now();
  const auto result = s.load(s.server.url("/slow.png"));
  EXPECT_EQ(LoaderScene::code(result), ImageLoadError::Code::transport);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(ImageLoader, TheCacheKeepsTheMostRecentImagesWithinItsCost) {
  LoaderScene s({40'000'000, /*cacheCostLimit*/ 3 * 100 * 100 * 4});
  for (const char* name : {"/1.png", "/2.png", "/3.png", "/4.png"})
    s.server.reply(name, {200, png(100, 100), "image/png", {}});
  for (const char* name : {"/1.png", "/2.png", "/3.png", "/1.png", "/4.png"})
    ASSERT_TRUE(s.load(s.server.url(name)).image);
  EXPECT_LE(s.loader.cacheCost(), std::size_t(3 * 100 * 100 * 4));
  EXPECT_TRUE(s.loader.cachedImage(*foundation::URL::parse(s.server.url("/1.png"))));
  EXPECT_FALSE(s.loader.cachedImage(*foundation::URL::parse(s.server.url("/2.png"))));
}

TEST(DefaultImageModel, LoadsOnceAndStartsOverForAnotherURL) {
  LoaderScene s;
  s.server.reply("/a.png", {200, png(4, 2), "image/png", {}});
  s.server.reply("/b.png", {200, png(8, 8), "image/png", {}});
  DefaultImageViewModel model(s.loader);
  using Phase = DefaultImageViewModel::Phase;
  model.task(std::nullopt, s.session);
  EXPECT_EQ(model.state().phase, Phase::failure);

  DefaultImageViewModel a(s.loader);
  a.task(foundation::URL::parse(s.server.url("/a.png")), s.session);
  EXPECT_EQ(a.state().phase, Phase::loading);
  foundation::MainRunLoop::runUntil([&] { return a.state().phase != Phase::loading; }, 10s);
  ASSERT_EQ(a.state().phase, Phase::success);
  EXPECT_EQ(a.state().size, (ui::Size{4, 2}));
  a.task(foundation::URL::parse(s.server.url("/a.png")), s.session);
  EXPECT_EQ(a.state().phase, Phase::success) << "loaded once";
  // The view's URL changed: the old image is not shown for the new one.
  a.task(foundation::URL::parse(s.server.url("/b.png")), s.session);
  EXPECT_EQ(a.state().phase, Phase::loading);
  foundation::MainRunLoop::runUntil([&] { return a.state().phase != Phase::loading; }, 10s);
  EXPECT_EQ(a.state().size, (ui::Size{8, 8}));
  EXPECT_EQ(s.server.requests().size(), 2u);
}

TEST(DefaultImageView, EmptyUntilLoadedThenFittedToTheWidth) {
  LoaderScene s;
  s.server.reply("/wide.png", {200, png(400, 200), "image/png", {}});
  testing::Rendered none(
      ui::AnyView(DefaultImageView(std::nullopt, s.session)).accessibilityIdentifier("image"));
  EXPECT_EQ(none.frame("image").size(), ui::Size{});

  // The shared loader, as the default providers use it.
  DefaultImageLoader::shared().setDecoder(decodePNGHeader);
  testing::Rendered r(
      ui::AnyView(DefaultImageView(foundation::URL::parse(s.server.url("/wide.png")), s.session))
          .accessibilityIdentifier("image"),
      100);
  EXPECT_EQ(r.frame("image").size(), ui::Size{});
  foundation::MainRunLoop::runUntil(
      [&] {
        r.host.update();
        return r.frame("image").width > 0;
      },
      10s);
  EXPECT_EQ(r.frame("image").size(), (ui::Size{100, 50}));
}

}  // namespace
}  // namespace markdown
