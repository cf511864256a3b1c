#include <gtest/gtest.h>

#include "markdown/BlockBuilders.h"
#include "markdown/Deprecations.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace markdown {
namespace {

constexpr const char* kStop =
    "Fatal error: Unimplemented: file markdown/model/src/"
    "Deprecations\\.cpp, line [0-9]+";

TEST(DeprecationsDeathTest, OldEntryPointsStop) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(Heading(2, {"old"}), kStop);
  EXPECT_DEATH(MarkdownImageHandler::networkImage(), kStop);
  EXPECT_DEATH(MarkdownImageHandler::assetImage([](const foundation::URL&) { return ""; }), kStop);
  EXPECT_DEATH(MarkdownStyle::Font::body(), kStop);
  EXPECT_DEATH(MarkdownStyle::Font::system(12, MarkdownStyle::Font::Weight::bold), kStop);
  EXPECT_DEATH(MarkdownStyle::Font::custom("Serif", 12), kStop);
  EXPECT_DEATH(MarkdownStyle::HeadingScales::defaultValue(), kStop);
  EXPECT_DEATH(MarkdownStyle::HeadingScales(2, 1.5, 1.25, 1, 0.875, 0.85), kStop);
}

TEST(Deprecations, NegativeZeroHashesAsZero) {
  Hasher negative, positive;
  negative.combine(-0.0);
  positive.combine(0.0);
  EXPECT_EQ(negative.finalize(), positive.finalize());
}

}  // namespace
}  // namespace markdown
