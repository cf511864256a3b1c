#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace appkit {

// Whether a window's keyboard focus is only lent to a grab: a window manager that moves or
// resizes the window holds the keyboard meanwhile, and the focus comes back when it lets go.
// Qt tells of such a grab as of any loss of the focus.
class KeyboardGrabWatch final : public QAbstractNativeEventFilter {
 public:
  // `focusGoneWhileLent`: the focus moved on while it was lent, so it does not come back.
  KeyboardGrabWatch(QWidget* window, std::function<void()> focusGoneWhileLent);
  ~KeyboardGrabWatch() override;
  KeyboardGrabWatch(const KeyboardGrabWatch&) = delete;
  KeyboardGrabWatch& operator=(const KeyboardGrabWatch&) = delete;

  bool lent() const { return lent_; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  QPointer<QWidget> window_;
  std::function<void()> focusGoneWhileLent_;
  bool lent_ = false;
};

}  // namespace appkit
