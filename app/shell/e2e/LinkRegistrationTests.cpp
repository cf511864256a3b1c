// quillcast: links as a desktop without a desktop environment hands them over: xdg-open under
// openbox finds the registered desktop entry, starts the program from its Exec line, and that
// start passes the link to the Quillcast already running.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "DesktopSession.h"
#include "servicemanagement/DesktopEntry.h"
#include "shell/SingleInstance.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/StartedPrograms.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Sets or removes variables for one test and puts the old values back.
class ScopedVariables {
 public:
  explicit ScopedVariables(const std::map<std::string, std::optional<std::string>>& changes) {
    for (const auto& [name, value] : changes) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }
  ~ScopedVariables() {
    for (const auto& [name, value] : saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

// One word for sh, whatever it holds.
std::string quoted(const std::string& text) {
  std::string word = "'";
  for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::string execLine(const fs::path& entry) {
  std::ifstream file(entry);
  std::string line;
  while (std::getline(file, line))
    if (line.rfind("Exec=", 0) == 0) return line;
  return {};
}

// What scripts/run does: the entry with this program's path, and the scheme's handler.
int registerLinks(const std::string& program) {
  return testsupport::runCommand("bash " + quoted(QUILL_SOURCE_DIR "/scripts/register-links") +
                                 " " + quoted(program) + " 2>/dev/null");
}

// A session with openbox and nothing that names a desktop environment, so xdg-open takes its
// generic road, with a private runtime folder for the running instance's socket.
struct GenericDesktop {
  testsupport::ScopedHome home;
  ScopedVariables variables{{{"XDG_RUNTIME_DIR", (home.path() / "run").string()},
                             {"XDG_CURRENT_DESKTOP", std::nullopt},
                             {"XDG_SESSION_DESKTOP", std::nullopt},
                             {"DESKTOP_SESSION", std::nullopt},
                             {"KDE_FULL_SESSION", std::nullopt},
                             {"GNOME_DESKTOP_SESSION_ID", std::nullopt},
                             {"BROWSER", std::nullopt}}};
  bool runtimeFolder = fs::create_directory(home.path() / "run") &&
                       ::chmod((home.path() / "run").c_str(), 0700) == 0;
  desktoptest::Desktop desktop;
  fs::path applications = home.path() / ".local" / "share" / "applications";
};

TEST(LinkRegistration, XdgOpenUnderOpenboxHandsTheLinkToTheRunningProgram) {
  GenericDesktop session;
  QUILL_REQUIRE_DESKTOP(session.desktop);
  ASSERT_TRUE(session.runtimeFolder);

  std::vector<std::string> received;
  auto running = shell::SingleInstance::acquire(
      shell::defaultSocketPlace(), {}, [&](shell::InstanceRequest request) {
        received.insert(received.end(), request.urls.begin(), request.urls.end());
      });
  ASSERT_NE(running.instance, nullptr);

  // The entry scripts/run registers names the program by its path, unquoted.
  ASSERT_EQ(registerLinks(QUILLCAST_PROGRAM), 0);
  EXPECT_EQ(execLine(session.applications / "quillcast.desktop"), "Exec=" QUILLCAST_PROGRAM " %u");
  EXPECT_EQ(testsupport::runCommand("xdg-open 'quillcast://promptEditor'"), 0);
  EXPECT_TRUE(desktoptest::pumpUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received, std::vector<std::string>{"quillcast://promptEditor"});

  // The installed entry names the program found on PATH.
  received.clear();
  fs::copy_file(QUILL_SOURCE_DIR "/app/shell/resources/quillcast.desktop",
                session.applications / "quillcast.desktop", fs::copy_options::overwrite_existing);
  const char* path = std::getenv("PATH");
  ScopedVariables onPath({{"PATH", fs::path(QUILLCAST_PROGRAM).parent_path().string() + ":" +
                                       (path ? path : "/usr/bin:/bin")}});
  EXPECT_EQ(testsupport::runCommand("xdg-open 'quillcast://onboardingView'"), 0);
  EXPECT_TRUE(desktoptest::pumpUntil([&] { return !received.empty(); }));
  EXPECT_EQ(received, std::vector<std::string>{"quillcast://onboardingView"});
}

TEST(LinkRegistration, APathWithReservedCharactersIsQuotedAndEscapedAsDesktopEntriesRequire) {
  testsupport::ScopedHome home;
  const auto entry = home.path() / ".local" / "share" / "applications" / "quillcast.desktop";
  // The same rules as the autostart entry's Exec line.
  for (const std::string program :
       {"/opt/quill cast/quillcast", "/home/ann/100%/quillcast", "/srv/$HOME/`x`/\"q\"\\quillcast",
        "/home/o'brien/quillcast", "/opt/plain-path_1.2/quillcast"}) {
    ASSERT_EQ(registerLinks(program), 0) << program;
    EXPECT_EQ(execLine(entry), "Exec=" + servicemanagement::execArgument(program) + " %u")
        << program;
  }
  EXPECT_EQ(execLine(entry), "Exec=/opt/plain-path_1.2/quillcast %u");
}

}  // namespace
