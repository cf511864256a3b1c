#include "panel/AppKitPanelWindow.h"

namespace panel {

AppKitPanelWindow::AppKitPanelWindow(ui::Rect contentRect) : panel_(contentRect) {}

}  // namespace panel
