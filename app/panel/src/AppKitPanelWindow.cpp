#include "panel/AppKitPanelWindow.h"

#include "appkit/WindowFrame.h"
#include "foundation/UserDefaults.h"

namespace panel {

AppKitPanelWindow::AppKitPanelWindow(ui::Rect contentRect) : panel_(contentRect) {}

bool AppKitPanelWindow::setFrameUsingName(const std::string& name) {
  // A frame left on a monitor that is gone is forgotten: the panel opens centred instead.
  const auto saved = appkit::savedFrame(foundation::UserDefaults::standard(), name);
  if (!saved || !framesOverlap(*saved, appkit::Panel::screens())) return false;
  return panel_.setFrameUsingName(name);
}

}  // namespace panel
