#pragma once

// Our rectangles and Qt's, and the screen a window should open on.

#include <QCursor>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include "ui/Geometry.h"

namespace appkit {

inline ui::Rect toRect(const QRect& r) {
  return {double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

inline QRect toQRect(const ui::Rect& r) {
  return QRect(int(r.x), int(r.y), int(r.width), int(r.height));
}

// The one under the pointer, where the user is looking.
inline QScreen* screenUnderPointer() {
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  return screen ? screen : QGuiApplication::primaryScreen();
}

}  // namespace appkit
