#include <foundation/Files.h>
#include <gtest/gtest.h>
#include <servicemanagement/DesktopEntry.h>
#include <servicemanagement/XdgAutostart.h>
#include <testsupport/ScopedHome.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace servicemanagement {
namespace {

std::string read(const fs::path& file) {
  std::error_code error;
  return foundation::files::readFile(file, error).value_or("<absent>");
}

void write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

class XdgAutostartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // No system entries unless a test makes some.
    setenv("XDG_CONFIG_DIRS", (home.path() / "etc-xdg").c_str(), 1);
  }
  void TearDown() override { unsetenv("XDG_CONFIG_DIRS"); }

  testsupport::ScopedHome home;
  XdgAutostart autostart{{"org.example.Test", "Test", "/opt/My Apps/test"}};
  fs::path file() const { return home.config() / "autostart" / "org.example.Test.desktop"; }
};

TEST_F(XdgAutostartTest, EnableWritesAnEntryDisableRemovesIt) {
  EXPECT_FALSE(autostart.isEnabled());
  EXPECT_FALSE(autostart.disable()) << "disabling without an entry is no error";

  ASSERT_FALSE(autostart.enable());
  EXPECT_EQ(autostart.userFile(), file());
  EXPECT_TRUE(autostart.isEnabled());
  auto entry = DesktopEntry::parse(read(file()));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->value("Type"), "Application");
  EXPECT_EQ(entry->value("Name"), "Test");
  EXPECT_EQ(entry->value("Exec"), "\"/opt/My Apps/test\"");
  EXPECT_EQ(entry->boolean("X-GNOME-Autostart-enabled"), true);

  // Enabling twice rewrites the one entry in place; no temporary file is left behind.
  ASSERT_FALSE(autostart.enable());
  EXPECT_TRUE(autostart.isEnabled());
  EXPECT_EQ(std::distance(fs::directory_iterator(file().parent_path()), fs::directory_iterator()),
            1);

  ASSERT_FALSE(autostart.disable());
  EXPECT_FALSE(fs::exists(file()));
  EXPECT_FALSE(autostart.isEnabled());
}

TEST_F(XdgAutostartTest, HiddenOrSwitchedOffEntriesReadAsDisabled) {
  write(file(), "[Desktop Entry]\nType=Application\nExec=test\nHidden=true\n");
  EXPECT_FALSE(autostart.isEnabled());
  write(file(), "[Desktop Entry]\nType=Application\nExec=test\nX-GNOME-Autostart-enabled=false\n");
  EXPECT_FALSE(autostart.isEnabled());
  write(file(), "not a desktop file\n");
  EXPECT_FALSE(autostart.isEnabled());
  // Enabling over a hand-written hidden entry makes it count again.
  write(file(), "[Desktop Entry]\nType=Application\nExec=test\nHidden=true\n");
  ASSERT_FALSE(autostart.enable());
  EXPECT_TRUE(autostart.isEnabled());
}

TEST_F(XdgAutostartTest, ASystemEntryIsHiddenByAUserFile) {
  const fs::path system = home.path() / "etc-xdg" / "autostart" / "org.example.Test.desktop";
  write(system, "[Desktop Entry]\nType=Application\nExec=test\n");
  EXPECT_TRUE(autostart.isEnabled());

  ASSERT_FALSE(autostart.disable());
  EXPECT_FALSE(autostart.isEnabled());
  EXPECT_EQ(DesktopEntry::parse(read(file()))->boolean("Hidden"), true);
  EXPECT_TRUE(fs::exists(system));

  ASSERT_FALSE(autostart.enable());
  EXPECT_TRUE(autostart.isEnabled());
}

TEST_F(XdgAutostartTest, AMovedBinaryIsPickedUpByTheNextEnable) {
  ASSERT_FALSE(autostart.enable());
  XdgAutostart moved{{"org.example.Test", "Test", "/usr/local/bin/test"}};
  EXPECT_TRUE(moved.isEnabled());
  ASSERT_FALSE(moved.enable());
  EXPECT_EQ(DesktopEntry::parse(read(file()))->value("Exec"), "/usr/local/bin/test");
}

TEST_F(XdgAutostartTest, TheRunningProgramIsTheDefaultExecutable) {
  XdgAutostart running{{"org.example.Test", "Test", {}}};
  ASSERT_FALSE(running.enable());
  const fs::path exe = XdgAutostart::runningExecutable();
  ASSERT_TRUE(exe.is_absolute());
  EXPECT_EQ(DesktopEntry::parse(read(file()))->value("Exec"), execArgument(exe.string()));
}

TEST_F(XdgAutostartTest, AnUnwritableFolderFailsAndKeepsTheOldState) {
  // A file where the folder should be blocks every user, root included.
  write(home.config() / "autostart", "in the way");
  EXPECT_TRUE(autostart.enable());
  EXPECT_FALSE(autostart.isEnabled());
  fs::remove(home.config() / "autostart");

  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ASSERT_FALSE(autostart.enable());
  fs::permissions(file().parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(autostart.disable(), std::errc::permission_denied);
  EXPECT_TRUE(autostart.isEnabled());
  EXPECT_EQ(autostart.enable(), std::errc::permission_denied);
  EXPECT_TRUE(autostart.isEnabled()) << "a failed rewrite leaves the entry";
  fs::permissions(file().parent_path(), fs::perms::owner_all);
}

}  // namespace
}  // namespace servicemanagement
