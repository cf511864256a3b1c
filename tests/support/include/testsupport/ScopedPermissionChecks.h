#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testsupport {

// Root passes every permission check on files, so a read-only folder would not stop its writes.
// While this lives, the calling thread (only it) is held to the permissions like any user: it
// lays down the capabilities that override them and takes them up again at the end.
class ScopedPermissionChecks {
 public:
  ScopedPermissionChecks() {
    header_ = {_LINUX_CAPABILITY_VERSION_3, 0};
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    constexpr unsigned kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    lowered[0].effective &= ~kOverrides;
    active_ = ::syscall(SYS_capset, &header_, lowered) == 0;
  }
  ~ScopedPermissionChecks() {
    if (active_) ::syscall(SYS_capset, &header_, saved_);
  }
  ScopedPermissionChecks(const ScopedPermissionChecks&) = delete;
  ScopedPermissionChecks& operator=(const ScopedPermissionChecks&) = delete;

  // Whether permissions now bind this thread (always for a user other than root).
  bool binding() const { return active_ || ::geteuid() != 0; }

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool active_ = false;
};

}  // namespace testsupport
