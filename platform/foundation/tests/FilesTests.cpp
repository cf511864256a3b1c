#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include "foundation/Files.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/ScopedPermissionChecks.h"

namespace fs = std::filesystem;
namespace files = foundation::files;
using namespace std::literals;
using testsupport::ScopedHome;

namespace {

std::set<std::string> namesIn(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) names.insert(entry.path().filename());
  return names;
}

std::string contentsOf(const fs::path& file) {
  std::error_code error;
  return files::readFile(file, error).value_or("<unreadable>");
}

void writePlain(const fs::path& file, const std::string& text) {
  std::ofstream(file) << text;
}

TEST(FilesTest, WriteAtomicallyReplacesTheFileWithTheGivenMode) {
  ScopedHome home;
  const fs::path file = home.path() / "data.json";
  const auto ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
  ASSERT_FALSE(files::writeAtomically(file, "first", ownerOnly));
  ASSERT_FALSE(files::writeAtomically(file, std::string("sec\0ond", 7), ownerOnly));
  EXPECT_EQ(contentsOf(file), std::string("sec\0ond", 7));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::mask, ownerOnly);
  EXPECT_EQ(namesIn(home.path()).count("data.json"), 1u);
  for (const auto& name : namesIn(home.path()))
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST(FilesTest, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  ScopedHome home;
  const fs::path folder = home.path() / "store";
  fs::create_directory(folder);
  const fs::path file = folder / "history.json";
  ASSERT_FALSE(files::writeAtomically(file, "old contents"));

  // The disk "fills up" halfway through: the file size limit stops the write after 16 bytes.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::error_code error = files::writeAtomically(file, std::string(4096, 'x'));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(error, std::errc::file_too_large);
  EXPECT_EQ(contentsOf(file), "old contents");
  EXPECT_EQ(namesIn(folder), std::set<std::string>{"history.json"});
}

TEST(FilesTest, WriteIntoAMissingOrReadOnlyFolderFails) {
  ScopedHome home;
  EXPECT_TRUE(files::writeAtomically(home.path() / "missing" / "x.json", "x"));
  EXPECT_FALSE(fs::exists(home.path() / "missing"));

  testsupport::ScopedPermissionChecks checked;
  ASSERT_TRUE(checked.binding());
  const fs::path folder = home.path() / "locked";
  fs::create_directory(folder);
  ASSERT_FALSE(files::writeAtomically(folder / "x.json", "old"));
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_TRUE(files::writeAtomically(folder / "x.json", "new"));
  EXPECT_EQ(contentsOf(folder / "x.json"), "old");
  EXPECT_EQ(namesIn(folder), std::set<std::string>{"x.json"});
}

TEST(FilesTest, ReadFileReportsWhyItFailed) {
  ScopedHome home;
  std::error_code error;
  EXPECT_FALSE(files::readFile(home.path() / "absent", error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(files::readFile(home.path(), error));
  EXPECT_EQ(error, files::ReadRefusal::notRegularFile);
  writePlain(home.path() / "empty", "");
  EXPECT_EQ(files::readFile(home.path() / "empty", error), "");
  EXPECT_FALSE(error);
}

TEST(FilesTest, ReadFileRefusesWhatIsNoRegularFileWithoutBlocking) {
  ScopedHome home;
  // No writer ever opens the FIFO: a blocking open would never return.
  const fs::path fifo = home.path() / "fifo.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path endless = home.path() / "zero.json";
  fs::create_symlink("/dev/zero", endless);
  const fs::path terminal = home.path() / "tty.json";
  fs::create_symlink("/dev/tty", terminal);
  for (const auto& file : {fifo, endless}) {
    std::error_code error;
    EXPECT_FALSE(files::readFile(file, error)) << file;
    EXPECT_EQ(error, files::ReadRefusal::notRegularFile) << file;
    EXPECT_EQ(error.message(), "it is not a regular file");
  }
  std::error_code error;
  EXPECT_FALSE(files::readFile(terminal, error));
  EXPECT_TRUE(error);
}

TEST(FilesTest, ReadFileReadsUpToItsLimitAndThroughLinksToRegularFiles) {
  ScopedHome home;
  const fs::path file = home.path() / "data.json";
  writePlain(file, std::string(1000, 'x'));
  fs::create_symlink(file, home.path() / "link.json");
  std::error_code error;
  EXPECT_EQ(files::readFile(file, error, 1000), std::string(1000, 'x'));
  EXPECT_EQ(files::readFile(home.path() / "link.json", error, 1000), std::string(1000, 'x'));
  EXPECT_FALSE(files::readFile(file, error, 999));
  EXPECT_EQ(error, files::ReadRefusal::tooLarge);
}

std::string timestampAt(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

TEST(FilesTest, MoveAsideNeverReplacesAnEarlierCopy) {
  ScopedHome home;
  const fs::path file = home.path() / "defaults.json";
  // Copies already taken this second and the next few, so the new one must take a number.
  const std::time_t now = std::time(nullptr);
  std::set<std::string> expected{};
  for (int s = 0; s < 3; ++s) {
    const std::string name = "defaults.json.corrupt-" + timestampAt(now + s);
    writePlain(home.path() / name, "copy " + std::to_string(s));
    expected.insert(name);
  }
  writePlain(file, "{broken");
  const auto aside = files::moveAside(file);
  ASSERT_TRUE(aside);
  const std::string name = aside->filename();
  EXPECT_TRUE(name.starts_with("defaults.json.corrupt-")) << name;
  EXPECT_TRUE(name.ends_with("-2")) << name;
  EXPECT_EQ(contentsOf(*aside), "{broken");
  EXPECT_FALSE(fs::exists(file));
  for (int s = 0; s < 3; ++s)
    EXPECT_EQ(contentsOf(home.path() / ("defaults.json.corrupt-" + timestampAt(now + s))),
              "copy " + std::to_string(s));
  EXPECT_FALSE(files::moveAside(home.path() / "absent.json"));
}

void makeOld(const fs::path& file) {
  fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(5));
}

TEST(FilesTest, OnlyOurOwnTemporariesAreRecognised) {
  const fs::path file = "/docs/QuillcastPrompts.json";
  EXPECT_TRUE(files::isTemporaryOf(file, ".QuillcastPrompts.json.tmp-0123456789abcdef"));
  for (const char* name :
       {".QuillcastPrompts.json.tmp-0123456789ABCDEF",  // not ours: upper case
        ".QuillcastPrompts.json.tmp-0123456789abcde",   // too short
        ".QuillcastPrompts.json.tmp-0123456789abcdef0", ".QuillcastPrompts.json",
        "QuillcastPrompts.json.tmp-0123456789abcdef", ".QuillcastHistory.json.tmp-0123456789abcdef",
        ".QuillcastPrompts.json.tmp-0123456789abcdeg", ""})
    EXPECT_FALSE(files::isTemporaryOf(file, name)) << name;
}

TEST(FilesTest, StaleTemporariesGoButNotOneAWriterHoldsNorOneThatIsNotOurs) {
  ScopedHome home;
  const fs::path folder = home.path() / "Quillcast";
  fs::create_directory(folder);
  const fs::path file = folder / "QuillcastPrompts.json";
  writePlain(file, "[]");
  // Left by a kill -9 during a save, minutes ago.
  const fs::path stale = folder / ".QuillcastPrompts.json.tmp-00000000000000a1";
  // Being written by another instance right now: fresh, and one that takes long but is held.
  const fs::path fresh = folder / ".QuillcastPrompts.json.tmp-00000000000000a2";
  const fs::path held = folder / ".QuillcastPrompts.json.tmp-00000000000000a3";
  // Names that are not ours, however old.
  const fs::path otherFile = folder / ".notes.json.tmp-00000000000000a4";
  const fs::path otherName = folder / ".QuillcastPrompts.json.tmp-a5";
  const fs::path folderNamedLikeOne = folder / ".QuillcastPrompts.json.tmp-00000000000000a6";
  const fs::path elsewhere = home.path() / "keep.json";
  const fs::path linkNamedLikeOne = folder / ".QuillcastPrompts.json.tmp-00000000000000a7";
  for (const auto& path : {stale, fresh, held, otherFile, otherName, elsewhere})
    writePlain(path, "[{\"half");
  fs::create_directory(folderNamedLikeOne);
  fs::create_symlink(elsewhere, linkNamedLikeOne);
  for (const auto& path : {stale, held, otherFile, otherName, folderNamedLikeOne, elsewhere})
    makeOld(path);

  const int writer = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  EXPECT_EQ(files::removeStaleTemporaries({file}), std::vector<fs::path>{stale});
  EXPECT_EQ(namesIn(folder),
            (std::set<std::string>{"QuillcastPrompts.json", fresh.filename(), held.filename(),
                                   otherFile.filename(), otherName.filename(),
                                   folderNamedLikeOne.filename(), linkNamedLikeOne.filename()}));
  EXPECT_EQ(contentsOf(elsewhere), "[{\"half");

  // Once its writer let go, it is stale like any other.
  ::close(writer);
  EXPECT_EQ(files::removeStaleTemporaries({file}), std::vector<fs::path>{held});
  // A file of another user is not ours to remove, even with our name.
  if (geteuid() == 0) {
    const fs::path foreign = folder / ".QuillcastPrompts.json.tmp-00000000000000a8";
    writePlain(foreign, "x");
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    makeOld(foreign);
    EXPECT_TRUE(files::removeStaleTemporaries({file}).empty());
    EXPECT_TRUE(fs::exists(foreign));
  }
  EXPECT_TRUE(files::removeStaleTemporaries({home.path() / "missing" / "x.json"}).empty());
}

mode_t modeOf(const fs::path& path) {
  struct stat status {};
  ::lstat(path.c_str(), &status);
  return status.st_mode & 07777;
}

TEST(FilesTest, RestrictToOwnerTakesOnlyGroupAndOthersAwayFromWhatIsOurs) {
  ScopedHome home;
  const fs::path open = home.path() / "open.json";
  const fs::path readOnly = home.path() / "readonly.json";
  const fs::path folder = home.path() / "folder";
  writePlain(open, "[]");
  writePlain(readOnly, "[]");
  fs::create_directory(folder);
  ::chmod(open.c_str(), 0664);
  ::chmod(readOnly.c_str(), 0444);
  ::chmod(folder.c_str(), 0755);
  EXPECT_TRUE(files::restrictToOwner(open));
  EXPECT_TRUE(files::restrictToOwner(readOnly));
  EXPECT_TRUE(files::restrictToOwner(folder));
  EXPECT_EQ(modeOf(open), 0600u);
  EXPECT_EQ(modeOf(readOnly), 0400u);
  EXPECT_EQ(modeOf(folder), 0700u);

  // A link is not followed to what it names.
  const fs::path target = home.path() / "target.json";
  writePlain(target, "[]");
  ::chmod(target.c_str(), 0644);
  fs::create_symlink(target, home.path() / "link.json");
  EXPECT_FALSE(files::restrictToOwner(home.path() / "link.json"));
  EXPECT_EQ(modeOf(target), 0644u);
  EXPECT_FALSE(files::restrictToOwner(home.path() / "absent.json"));
  if (geteuid() == 0) {
    ::chmod(target.c_str(), 0644);
    ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(files::restrictToOwner(target));
    EXPECT_EQ(modeOf(target), 0644u);
  }
}

TEST(FilesTest, DocumentsDirectoryFollowsUserDirsLikeXdg) {
  const struct {
    std::string_view userDirs;  // empty: no user-dirs.dirs
    const char* expected;       // relative to HOME unless absolute
  } cases[] = {
      {"", "Documents"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "Docs"},
      {"  XDG_DOCUMENTS_DIR=\"$HOME/Papers/Current/\"\n", "Papers/Current/"},
      {"XDG_DOCUMENTS_DIR=\"/srv/papers\"\n", "/srv/papers"},
      {"XDG_DOCUMENTS_DIR=\"$HOME\"\n", "Documents"},   // disabled: the home itself
      {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", "Documents"},  // likewise
      {"XDG_DOCUMENTS_DIR=\"Docs\"\n", "Documents"},    // relative: invalid
      {"XDG_DOCUMENTS_DIR=$HOME/Docs\n", "Documents"},  // unquoted: invalid
      {"XDG_DOCUMENTS_DIR=\"$HOMEDocs\"\n", "Documents"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/Open\n", "Documents"},  // unterminated
      {"# XDG_DOCUMENTS_DIR=\"$HOME/No\"\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", "Documents"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/A\"\nXDG_DOCUMENTS_DIR=\"$HOME/B\"\n", "B"},
      {"XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"\n", "My \"Docs\""},
      // The system would take the name only up to the NUL.
      {"XDG_DOCUMENTS_DIR=\"$HOME/A\"\nXDG_DOCUMENTS_DIR=\"/srv\0/papers\"\n"sv, "A"},
      {"XDG_DOCUMENTS_DIR=\"/\0\""sv, "Documents"},
  };
  for (const auto& c : cases) {
    ScopedHome home;
    if (!c.userDirs.empty()) writePlain(home.config() / "user-dirs.dirs", std::string(c.userDirs));
    const fs::path expected =
        fs::path(c.expected).is_absolute() ? fs::path(c.expected) : home.path() / c.expected;
    EXPECT_EQ(files::documentsDirectory(), expected.lexically_normal())
        << (c.userDirs.empty() ? "(no file)" : c.userDirs);
  }
}

TEST(FilesTest, LocationsFollowTheEnvironment) {
  ScopedHome home;
  EXPECT_EQ(files::homeDirectory(), home.path());
  EXPECT_EQ(files::configHome(), home.config());
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(files::configHome(), home.path() / ".config");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(files::configHome(), home.path() / ".config");
  // user-dirs.dirs is looked up in the config home.
  const fs::path elsewhere = home.path() / "cfg";
  fs::create_directory(elsewhere);
  setenv("XDG_CONFIG_HOME", elsewhere.c_str(), 1);
  writePlain(elsewhere / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Elsewhere\"\n");
  EXPECT_EQ(files::documentsDirectory(), home.path() / "Elsewhere");
  // Without an entry in the file, the variable of the same name counts (as for xdg-user-dir).
  writePlain(elsewhere / "user-dirs.dirs", "");
  setenv("XDG_DOCUMENTS_DIR", "/srv/shared-docs", 1);
  EXPECT_EQ(files::documentsDirectory(), "/srv/shared-docs");
}

}  // namespace
