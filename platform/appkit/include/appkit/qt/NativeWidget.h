#pragma once

// The Qt side of the windows, for the program's entry point and for tests. Nothing outside
// platform/ and the entry point includes this header.

#include <QWidget>

#include "appkit/Panel.h"
#include "appkit/Window.h"

namespace appkit::qt {

QWidget* nativeWidget(Panel& panel);
// Null once the window has been closed.
QWidget* nativeWidget(Window& window);

// Puts a Qt widget in place of the panel's content view (the panel takes ownership).
void setContentWidget(Panel& panel, QWidget* content);

}  // namespace appkit::qt
