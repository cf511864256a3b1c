#pragma once

#include <memory>

#include "accessibility/Accessibility.h"
#include "accessibility/KeyEventPoster.h"
#include "appkit/Pasteboard.h"
#include "appkit/Workspace.h"

namespace core {

// The desktop the selected text is captured from, chosen by whoever makes the model. Each is
// thread-safe; the capture calls them off the main thread, as a read may wait for another
// program. A capture that lacks a piece it needs captures nothing.
struct CaptureServices {
  std::shared_ptr<accessibility::Accessibility> accessibility = nullptr;
  std::shared_ptr<appkit::Pasteboard> pasteboard = nullptr;
  std::shared_ptr<appkit::Workspace> workspace = nullptr;
  std::shared_ptr<accessibility::KeyEventPoster> keyEventPoster = nullptr;
};

}  // namespace core
