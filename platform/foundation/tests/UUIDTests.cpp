#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <set>
#include <string>

#include "foundation/Date.h"
#include "foundation/UUID.h"

namespace {

TEST(UUIDTest, TextIsUpperCaseVersion4InGroupsOf8_4_4_4_12) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    const std::string text = foundation::UUID().uuidString();
    ASSERT_EQ(text.size(), 36u) << text;
    for (std::size_t j = 0; j < text.size(); ++j) {
      if (j == 8 || j == 13 || j == 18 || j == 23) {
        ASSERT_EQ(text[j], '-') << text;
      } else {
        ASSERT_TRUE(std::isxdigit(static_cast<unsigned char>(text[j])) &&
                    !std::islower(static_cast<unsigned char>(text[j])))
            << text;
      }
    }
    EXPECT_EQ(text[14], '4') << text;
    EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

TEST(DateTest, NowIsSecondsSince1970) {
  // std::time reads the kernel's coarse clock, which may trail the precise one; compare
  // against the precise realtime clock instead.
  const auto realtime = [] {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
  };
  const double before = realtime();
  const double now = foundation::Date::now().timeIntervalSince1970;
  const double after = realtime();
  EXPECT_GE(now, before - 1e-6);
  EXPECT_LE(now, after + 1e-6);
  EXPECT_LT(foundation::Date{1.0}, foundation::Date{2.0});
}

}  // namespace
