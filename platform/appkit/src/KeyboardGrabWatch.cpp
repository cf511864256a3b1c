#include "KeyboardGrabWatch.h"

#include <xcb/xcb.h>
#include <QCoreApplication>

namespace appkit {

KeyboardGrabWatch::KeyboardGrabWatch(QWidget* window, std::function<void()> focusGoneWhileLent)
    : window_(window), focusGoneWhileLent_(std::move(focusGoneWhileLent)) {
  if (auto* app = QCoreApplication::instance()) app->installNativeEventFilter(this);
}

KeyboardGrabWatch::~KeyboardGrabWatch() {
  if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

bool KeyboardGrabWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || !window_) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const auto kind = event->response_type & ~0x80;
  if (kind != XCB_FOCUS_IN && kind != XCB_FOCUS_OUT) return false;
  // Focus in and out events share their layout.
  const auto* focus = reinterpret_cast<const xcb_focus_in_event_t*>(event);
  if (focus->event != static_cast<xcb_window_t>(window_->internalWinId()) ||
      focus->detail == XCB_NOTIFY_DETAIL_POINTER)
    return false;
  const bool wasLent = lent_;
  lent_ = kind == XCB_FOCUS_OUT && focus->mode == XCB_NOTIFY_MODE_GRAB;
  if (wasLent && kind == XCB_FOCUS_OUT && !lent_ && focusGoneWhileLent_) focusGoneWhileLent_();
  return false;
}

}  // namespace appkit
