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
  const double before = static_cast<double>(std::time(nullptr));
  const double now = foundation::Date::now().timeIntervalSince1970;
  const double after = static_cast<double>(std::time(nullptr));
  EXPECT_GE(now, before);
  EXPECT_LE(now, after + 1);
  EXPECT_LT(foundation::Date{1.0}, foundation::Date{2.0});
}

}  // namespace
