#include "testsupport/PrivateSessionBus.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>

#include "testsupport/StartedPrograms.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace testsupport {

PrivateSessionBus::PrivateSessionBus(const std::string& folderPrefix) {
  std::string pattern = "/tmp/" + folderPrefix + "-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    unavailable_ = "no temporary folder";
    return;
  }
  folder_ = pattern;
  fs::create_directories(folder_ / "run");
  fs::permissions(folder_ / "run", fs::perms::owner_all);
  std::ofstream(folder_ / "bus.conf")
      << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
         "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig><type>session</type><listen>unix:dir="
      << folder_.string()
      << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
         "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
         "<allow own=\"*\"/></policy></busconfig>\n";
  daemon_ = std::make_unique<StartedProgram>(
      std::vector<std::string>{"dbus-daemon", "--nofork",
                               "--config-file=" + (folder_ / "bus.conf").string(),
                               "--print-address=1"},
      StartedProgram::Output::read);
  if (auto line = daemon_->started() ? daemon_->readLine(10s) : std::nullopt) address_ = *line;
  if (address_.empty()) unavailable_ = "dbus-daemon did not start";
}

PrivateSessionBus::~PrivateSessionBus() {
  daemon_.reset();
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

std::optional<std::string> PrivateSessionBus::call(const std::vector<std::string>& args) const {
  return callBus(address_, args);
}

std::optional<std::string> callBus(const std::string& address,
                                   const std::vector<std::string>& args) {
  if (address.empty()) return std::nullopt;
  std::vector<std::string> argv = {"dbus-send", "--bus=" + address, "--print-reply"};
  argv.insert(argv.end(), args.begin(), args.end());
  StartedProgram send(argv, StartedProgram::Output::read);
  std::string reply;
  while (auto part = send.read(10s)) reply += *part;
  const auto status = send.waitForExit(10s);
  if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return std::nullopt;
  return reply;
}

}  // namespace testsupport
