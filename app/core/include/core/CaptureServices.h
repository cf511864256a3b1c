#pragma once

#include <memory>

#include "accessibility/Accessibility.h"
#include "accessibility/KeyEventPoster.h"
#include "appkit/Pasteboard.h"
#include "appkit/Workspace.h"

namespace core {

// The desktop the selected text is captured from. Each is thread-safe; the capture calls them
// off the main thread, as a read may wait for another program.
struct CaptureServices {
  std::shared_ptr<accessibility::Accessibility> accessibility = nullptr;
  std::shared_ptr<appkit::Pasteboard> pasteboard = nullptr;
  std::shared_ptr<appkit::Workspace> workspace = nullptr;
  std::shared_ptr<accessibility::KeyEventPoster> keyEventPoster = nullptr;

  // `given` with the X11 backends in the places it leaves empty. The X11 accessibility layer
  // works through the pasteboard, workspace and key poster it ends up with.
  static CaptureServices completed(CaptureServices given);
};

}  // namespace core
