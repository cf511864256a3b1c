#pragma once

#include <system_error>

#include "servicemanagement/Autostart.h"

namespace servicemanagement {

// An in-memory login item for tests; the next enable()/disable() can be made to fail.
class FakeAutostart final : public Autostart {
 public:
  bool isEnabled() const override { return enabled_; }
  std::error_code enable() override { return change(true); }
  std::error_code disable() override { return change(false); }

  void setEnabled(bool enabled) { enabled_ = enabled; }
  void failWith(std::error_code error) { failure_ = error; }
  int enableCalls() const { return enableCalls_; }
  int disableCalls() const { return disableCalls_; }

 private:
  std::error_code change(bool enabled) {
    (enabled ? enableCalls_ : disableCalls_)++;
    if (failure_) return failure_;
    enabled_ = enabled;
    return {};
  }
  bool enabled_ = false;
  std::error_code failure_;
  int enableCalls_ = 0, disableCalls_ = 0;
};

}  // namespace servicemanagement
