#include <gtest/gtest.h>

#include <algorithm>

#include "appkit/x11/SelectionReader.h"
#include "testsupport/X11TestClient.h"

namespace appkit::x11 {
namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(X11SelectionReader, ReportsMissingSlowAndRefusingOwners) {
  QUILL_REQUIRE_DISPLAY();
  SelectionReader reader(nullptr, std::chrono::milliseconds(100));
  const char* selection = "QUILL_TEST_SELECTION";
  EXPECT_EQ(reader.text(selection).error(), SelectionError::NoOwner);
  {
    testx11::SelectionOwner silent(selection, {{"UTF8_STRING", testx11::utf8("x")}}, true);
    EXPECT_EQ(reader.text(selection).error(), SelectionError::TimedOut);
  }
  {
    testx11::SelectionOwner image(selection, {{"image/png", {"image/png", 8, "png"}}});
    EXPECT_EQ(reader.text(selection).error(), SelectionError::Refused);
    auto targets = reader.targets(selection);
    ASSERT_TRUE(targets.ok());
    EXPECT_TRUE(contains(targets.value(), "image/png"));
  }
  SelectionReader nowhere(":4077");
  EXPECT_FALSE(nowhere.ok());
  EXPECT_EQ(nowhere.text("PRIMARY").error(), SelectionError::NoDisplay);
}

}  // namespace
}  // namespace appkit::x11
