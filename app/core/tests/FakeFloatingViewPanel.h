#pragma once

#include "core/FloatingViewPanel.h"

namespace core {

// A panel that only remembers what was asked of it.
class FakeFloatingViewPanel : public FloatingViewPanel {
 public:
  bool isOntop() const override { return ontop; }
  bool isOpen() const override { return open; }
  void resignMainWindow() override {
    ++resignCalls;
    if (ontop) return;
    ++savedFrames;
    open = false;
  }

  bool ontop = false;
  bool open = true;
  int resignCalls = 0;
  int savedFrames = 0;
};

}  // namespace core
