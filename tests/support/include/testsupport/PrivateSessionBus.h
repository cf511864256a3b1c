#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class StartedProgram;

// The reply of `dbus-send --print-reply ARGS...` on the bus at `address`; none when it failed.
std::optional<std::string> callBus(const std::string& address,
                                   const std::vector<std::string>& args);

// A D-Bus session bus of the test's own (dbus-daemon), listening in a temporary folder that
// goes with it; the folder also has a private "run" folder for programs that want a runtime
// folder.
class PrivateSessionBus {
 public:
  // `folderPrefix` names the temporary folder, so a left-over one tells whose it was.
  explicit PrivateSessionBus(const std::string& folderPrefix);
  ~PrivateSessionBus();
  PrivateSessionBus(const PrivateSessionBus&) = delete;
  PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

  // Empty when the bus runs; otherwise why not.
  const std::string& unavailableReason() const { return unavailable_; }
  const std::string& address() const { return address_; }
  const std::filesystem::path& folder() const { return folder_; }

  // The reply of `dbus-send --session --print-reply ARGS...` on this bus; none when it failed.
  std::optional<std::string> call(const std::vector<std::string>& args) const;

 private:
  std::filesystem::path folder_;
  std::string address_;
  std::unique_ptr<StartedProgram> daemon_;
  std::string unavailable_;
};

}  // namespace testsupport
