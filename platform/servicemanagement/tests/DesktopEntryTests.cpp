#include <gtest/gtest.h>
#include <servicemanagement/DesktopEntry.h>

namespace servicemanagement {
namespace {

TEST(DesktopEntry, ReadsTheMainGroupAndRejectsWhatIsNoDesktopFile) {
  auto entry = DesktopEntry::parse(
      "# comment\n[Desktop Entry]\nType=Application\nName = Quillcast\nHidden=true\n"
      "X-Flag=maybe\n\n[Desktop Action new]\nName=Other\n");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->value("Name"), "Quillcast");
  EXPECT_EQ(entry->boolean("Hidden"), true);
  EXPECT_EQ(entry->boolean("X-Flag"), std::nullopt);
  EXPECT_EQ(entry->boolean("Absent"), std::nullopt);

  EXPECT_FALSE(DesktopEntry::parse(""));
  EXPECT_FALSE(DesktopEntry::parse("[Other]\nName=x\n"));
  EXPECT_FALSE(DesktopEntry::parse("[Desktop Entry]\nthis is not a key\n"));
  EXPECT_FALSE(DesktopEntry::parse("[Desktop Entry\nName=x\n"));
  EXPECT_FALSE(DesktopEntry::parse("[Desktop Entry]\nA=1\n[Desktop Entry]\nA=2\n"));
}

TEST(DesktopEntry, QuotesExecArgumentsOnlyWhereNeeded) {
  EXPECT_EQ(execArgument("/usr/bin/quillcast"), "/usr/bin/quillcast");
  EXPECT_EQ(execArgument("/opt/My Apps/quillcast"), "\"/opt/My Apps/quillcast\"");
  // Inside quotes ", `, $ and \ are escaped, then the value escapes double every backslash.
  EXPECT_EQ(execArgument("/a\"b`c$d\\e"), "\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e\"");
  EXPECT_EQ(execArgument("/a%b"), "/a%%b");
  EXPECT_EQ(execArgument("/a\nb"), "\"/a\\nb\"");
  EXPECT_EQ(execArgument(""), "\"\"");
}

}  // namespace
}  // namespace servicemanagement
