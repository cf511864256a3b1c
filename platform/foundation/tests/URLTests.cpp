#include <gtest/gtest.h>

#include <string>

#include "foundation/URL.h"

using foundation::URL;

namespace {

TEST(URLTest, SplitsAnAbsoluteURLIntoItsParts) {
  const auto url = URL::parse("HTTPS://user:pw@Example.COM:8443/a/b;p?x=1&y=2#frag");
  ASSERT_TRUE(url);
  EXPECT_TRUE(url->isAbsolute());
  EXPECT_EQ(url->scheme(), "https");
  EXPECT_EQ(url->host(), "example.com");
  EXPECT_EQ(url->port(), 8443);
  EXPECT_EQ(url->effectivePort(), 8443);
  EXPECT_EQ(url->path(), "/a/b;p");
  EXPECT_EQ(url->query(), "x=1&y=2");
  EXPECT_EQ(url->fragment(), "frag");
  EXPECT_EQ(url->absoluteString(), "HTTPS://user:pw@Example.COM:8443/a/b;p?x=1&y=2#frag");
}

TEST(URLTest, EmptyQueryAndFragmentDifferFromAbsentOnes) {
  const auto bare = URL::parse("http://127.0.0.1:8080");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->host(), "127.0.0.1");
  EXPECT_EQ(bare->path(), "");
  EXPECT_EQ(bare->query(), std::nullopt);
  EXPECT_EQ(bare->fragment(), std::nullopt);

  const auto empty = URL::parse("http://a/?#");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->path(), "/");
  EXPECT_EQ(empty->query(), "");
  EXPECT_EQ(empty->fragment(), "");
  EXPECT_EQ(empty->port(), std::nullopt);
  EXPECT_EQ(empty->effectivePort(), 80);
}

TEST(URLTest, BracketedIPv6HostKeepsItsPort) {
  const auto url = URL::parse("http://[::1]:8080/v1");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->port(), 8080);
  EXPECT_EQ(url->path(), "/v1");
}

TEST(URLTest, RejectsTextThatIsNoURLReference) {
  for (const char* text : {
           "",
           "http://a b/",
           "http://a/ b",
           " http://a/",
           "http://a/\t",
           "http://a/\x01",
           "http://a/\x7f",
           "http://a/\xc3\xa9",  // non-ASCII must be percent-encoded
           "http://a/%zz",
           "http://a/%4",
           "%",
           "http://a/<b>",
           "http://a:99999/",
           "http://a:12x/",
           "http://a:123456/",
           "http://[::1/",
           "http://[::1]x/",
       }) {
    EXPECT_FALSE(URL::parse(text)) << '"' << text << '"';
  }
  EXPECT_TRUE(URL::parse("http://a/%41%2f"));
}

TEST(URLTest, ARelativeReferenceWithoutBaseStaysRelative) {
  const auto url = URL::parse("../x/y?q#f");
  ASSERT_TRUE(url);
  EXPECT_FALSE(url->isAbsolute());
  EXPECT_EQ(url->scheme(), "");
  EXPECT_EQ(url->path(), "../x/y");
  EXPECT_EQ(url->absoluteString(), "../x/y?q#f");
}

// RFC 3986, section 5.4: every reference resolved against one base.
TEST(URLTest, ResolvesTheReferenceExamplesOfRFC3986) {
  const auto base = URL::parse("http://a/b/c/d;p?q");
  ASSERT_TRUE(base);
  const struct {
    const char* reference;
    const char* expected;
  } cases[] = {
      // 5.4.1 normal examples
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/g#s"},
      {"g?y#s", "http://a/b/c/g?y#s"},
      {";x", "http://a/b/c/;x"},
      {"g;x", "http://a/b/c/g;x"},
      {"g;x?y#s", "http://a/b/c/g;x?y#s"},
      {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../", "http://a/"},
      {"../../g", "http://a/g"},
      // 5.4.2 abnormal examples
      {"../../../g", "http://a/g"},
      {"../../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {".g", "http://a/b/c/.g"},
      {"g..", "http://a/b/c/g.."},
      {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},
      {"./g/.", "http://a/b/c/g/"},
      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"},
      {"g?y/../x", "http://a/b/c/g?y/../x"},
      {"g#s/./x", "http://a/b/c/g#s/./x"},
      {"g#s/../x", "http://a/b/c/g#s/../x"},
      {"http:g", "http:g"},  // the strict reading
  };
  for (const auto& c : cases) {
    const auto resolved = URL::parse(c.reference, *base);
    ASSERT_TRUE(resolved) << c.reference;
    EXPECT_EQ(resolved->absoluteString(), c.expected) << c.reference;
    EXPECT_EQ(resolved->relativeString(), c.reference);
  }
}

TEST(URLTest, ResolvedURLCarriesTheBasesHostAndPort) {
  const auto base = URL::parse("http://127.0.0.1:4567/v1/chat/completions");
  ASSERT_TRUE(base);
  const auto moved = URL::parse("/elsewhere?x", *base);
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->host(), "127.0.0.1");
  EXPECT_EQ(moved->port(), 4567);
  EXPECT_EQ(moved->path(), "/elsewhere");
  EXPECT_EQ(moved->query(), "x");
  EXPECT_FALSE(URL::parse("bad ref", *base));
}

TEST(URLTest, SameOriginComparesSchemeHostAndEffectivePort) {
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"http://a/x", "http://a:80/y", true},
      {"https://a", "https://a:443/", true},
      {"HTTP://A/", "http://a/", true},
      {"http://a/", "https://a/", false},
      {"http://a:8080/", "http://a/", false},
      {"http://a/", "http://b/", false},
      {"http://127.0.0.1:5000/", "http://localhost:5000/", false},
  };
  for (const auto& c : cases) {
    const auto a = URL::parse(c.a), b = URL::parse(c.b);
    ASSERT_TRUE(a && b) << c.a << " " << c.b;
    EXPECT_EQ(a->hasSameOrigin(*b), c.same) << c.a << " " << c.b;
    EXPECT_EQ(b->hasSameOrigin(*a), c.same) << c.a << " " << c.b;
  }
}

}  // namespace
