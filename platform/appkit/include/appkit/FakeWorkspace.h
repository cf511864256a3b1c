#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "appkit/Workspace.h"

namespace appkit {

// A desktop whose front application a test sets; it records what was activated and opened.
class FakeWorkspace : public Workspace {
 public:
  std::optional<RunningApplication> frontmostApplication() override;
  std::optional<RunningApplication> rememberFrontmostApplication() override;
  std::optional<RunningApplication> rememberedApplication() override;
  bool activate(const RunningApplication& application) override;
  // Records openable URLs only, as the real desktop would get only those, and tells `finished`
  // at once what setOpenSucceeds said. After setHasOpener(false) nothing opens.
  bool openURL(std::string_view url, OpenFinished finished = {}) override;

  void setFrontmostApplication(std::optional<RunningApplication> application);
  void setActivationSucceeds(bool succeeds);
  void setHasOpener(bool hasOpener);
  void setOpenSucceeds(bool succeeds);
  std::vector<RunningApplication> activated() const;
  std::vector<std::string> openedURLs() const;

 private:
  mutable std::mutex mutex_;
  std::optional<RunningApplication> front_;
  std::optional<RunningApplication> remembered_;
  bool activationSucceeds_ = true;
  bool hasOpener_ = true;
  bool openSucceeds_ = true;
  std::vector<RunningApplication> activated_;
  std::vector<std::string> opened_;
};

}  // namespace appkit
