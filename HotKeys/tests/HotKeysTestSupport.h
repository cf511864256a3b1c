#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "HotKeys/CarbonHotKeys.h"
#include "HotKeys/HotKeys.h"
#include "carbon/FakeHotKeyService.h"
#include "carbon/KeyboardLayout.h"
#include "testsupport/ScopedHome.h"

namespace HotKeys::testing {

// A private home, a recording hot-key service, the US layout and an empty registry.
class HotKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::make_unique<testsupport::ScopedHome>();
    service = std::make_shared<carbon::FakeHotKeyService>();
    CarbonHotKeys::setService(service);
    resetForTesting();
    carbon::KeyboardLayout::setCurrent(carbon::TableKeyboardLayout::us());
  }
  void TearDown() override {
    resetForTesting();
    CarbonHotKeys::setService(std::make_shared<carbon::FakeHotKeyService>());
    carbon::KeyboardLayout::setCurrent(nullptr);
    home_.reset();
  }

  static std::uint32_t code(const Shortcut& s) {
    return static_cast<std::uint32_t>(s.carbonKeyCode);
  }
  static std::uint32_t bits(const Shortcut& s) {
    return static_cast<std::uint32_t>(s.carbonModifiers);
  }
  bool grabbed(const Shortcut& s) const { return service->isGrabbed(code(s), bits(s)); }
  void press(const Shortcut& s) { service->press(code(s), bits(s)); }
  void release(const Shortcut& s) { service->release(code(s), bits(s)); }

  std::shared_ptr<carbon::FakeHotKeyService> service;

 private:
  std::unique_ptr<testsupport::ScopedHome> home_;
};

}  // namespace HotKeys::testing
