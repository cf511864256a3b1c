#include <gtest/gtest.h>

#include "updater/ReleaseFeed.h"

namespace updater {
namespace {

TEST(VersionTests, ComparesNumericallyWithMissingPartsAsZero) {
  const auto v = [](const char* text) { return *Version::parse(text); };
  EXPECT_LT(v("1.2"), v("1.10"));
  EXPECT_EQ(v("1.2"), v("1.2.0"));
  EXPECT_GT(v("v2.0.1"), v("2"));
  EXPECT_EQ(v("0.1.0").text(), "0.1.0");
  for (const char* bad :
       {"", "v", "1.", ".1", "1..2", "1.2b", "-1", "1 .2", "99999999999999999999999"})
    EXPECT_FALSE(Version::parse(bad)) << bad;
}

TEST(ReleaseFeedTests, ReadsItemsWithVersionAndWebLink) {
  const char* feed = R"(<?xml version="1.0"?>
<rss version="2.0"><channel><title>Quillcast</title>
 <item><title>Quillcast 1.2</title><version>1.2</version>
   <link>https://example.org/q/1.2?a=1&amp;b=2</link></item>
 <item><version><![CDATA[ 1.10.0 ]]></version><link>http://example.org/1.10</link></item>
 <item><version>2.0</version><link>file:///etc/passwd</link></item>
 <item><version>three</version><link>https://example.org/3</link></item>
 <item><version>9.0</version></item>
</channel></rss>)";
  const auto releases = parseReleaseFeed(feed);
  ASSERT_TRUE(releases);
  ASSERT_EQ(releases->size(), 2u);
  EXPECT_EQ((*releases)[0].downloadURL, "https://example.org/q/1.2?a=1&b=2");
  const auto newest = newestRelease(*releases);
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->version.text(), "1.10.0");
  EXPECT_EQ(newest->downloadURL, "http://example.org/1.10");
}

TEST(ReleaseFeedTests, RejectsWhatIsNoFeed) {
  EXPECT_FALSE(parseReleaseFeed(""));
  EXPECT_FALSE(parseReleaseFeed("<html><body>Not found</body></html>"));
  EXPECT_FALSE(parseReleaseFeed("<rss><channel><item><version>1</version>"));  // cut short
  const auto empty = parseReleaseFeed("<rss><channel></channel></rss>");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
  EXPECT_FALSE(newestRelease(*empty));
  // Look-alike tags are not items.
  const auto lookalike = parseReleaseFeed(
      "<rss><channel><items><version>5</version><link>https://x.org</link></items></channel></"
      "rss>");
  ASSERT_TRUE(lookalike);
  EXPECT_TRUE(lookalike->empty());
}

}  // namespace
}  // namespace updater
