#include "testsupport/StartedPrograms.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace testsupport {
namespace {

TEST(StartedPrograms, ListsTheDesktopHelpersByNameAndNothingFromTheComments) {
  const auto& programs = startedPrograms();
  for (const char* name : {"openbox", "trayer", "xdotool", "xdg-open", "sh", "dbus-daemon"})
    EXPECT_TRUE(programs.contains(name)) << name;
  // Comment and blank lines name nothing; a package or a caller is not a program.
  for (const char* word : {"#", "Every", "To", "", "xdg-utils", "imagemagick-6.q16"})
    EXPECT_FALSE(programs.contains(word)) << word;
}

TEST(StartedPrograms, APathCountsByItsLastPart) {
  EXPECT_TRUE(expectListedProgram("openbox"));
  EXPECT_TRUE(expectListedProgram("/usr/bin/openbox"));
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(expectListedProgram("/usr/bin/openbox-session")),
                          "openbox-session");
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(expectListedProgram("/usr/bin/")), "does not name");
}

TEST(StartedPrograms, AnUnlistedCommandFailsTheTestAndIsNotRun) {
  int status = 0;
  EXPECT_NONFATAL_FAILURE(status = runCommand("xeyes -geometry 10x10 & exit 7"),
                          "scripts/install-deps");
  EXPECT_EQ(status, -1);
  // A listed one runs, and its exit status comes back.
  EXPECT_EQ(runCommand("sh -c 'exit 3'"), 3 << 8);
}

}  // namespace
}  // namespace testsupport
