#include "appkit/FakeWorkspace.h"

namespace appkit {

std::optional<RunningApplication> FakeWorkspace::frontmostApplication() {
  std::lock_guard lock(mutex_);
  return front_;
}

std::optional<RunningApplication> FakeWorkspace::rememberFrontmostApplication() {
  std::lock_guard lock(mutex_);
  if (front_) remembered_ = front_;
  return front_;
}

std::optional<RunningApplication> FakeWorkspace::rememberedApplication() {
  std::lock_guard lock(mutex_);
  return remembered_;
}

bool FakeWorkspace::activate(const RunningApplication& application) {
  std::lock_guard lock(mutex_);
  activated_.push_back(application);
  if (activationSucceeds_) front_ = application;
  return activationSucceeds_;
}

bool FakeWorkspace::openURL(std::string_view url, OpenFinished finished) {
  if (!isOpenableURL(url)) return false;
  bool succeeds;
  {
    std::lock_guard lock(mutex_);
    if (!hasOpener_) return false;
    opened_.emplace_back(url);
    succeeds = openSucceeds_;
  }
  if (finished) finished(succeeds);
  return true;
}

void FakeWorkspace::setHasOpener(bool hasOpener) {
  std::lock_guard lock(mutex_);
  hasOpener_ = hasOpener;
}

void FakeWorkspace::setOpenSucceeds(bool succeeds) {
  std::lock_guard lock(mutex_);
  openSucceeds_ = succeeds;
}

void FakeWorkspace::setFrontmostApplication(std::optional<RunningApplication> application) {
  std::lock_guard lock(mutex_);
  front_ = application;
}

void FakeWorkspace::setActivationSucceeds(bool succeeds) {
  std::lock_guard lock(mutex_);
  activationSucceeds_ = succeeds;
}

std::vector<RunningApplication> FakeWorkspace::activated() const {
  std::lock_guard lock(mutex_);
  return activated_;
}

std::vector<std::string> FakeWorkspace::openedURLs() const {
  std::lock_guard lock(mutex_);
  return opened_;
}

}  // namespace appkit
