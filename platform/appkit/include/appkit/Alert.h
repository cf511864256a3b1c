#pragma once

#include <string>
#include <vector>

namespace appkit {

class Window;

enum class AlertStyle { informational, warning, critical };

// A modal message to the user: a message, an optional informative text below it, and buttons
// (the first is the default; none given means one "OK").
struct Alert {
  std::string messageText;
  std::string informativeText;
  std::vector<std::string> buttons;
  AlertStyle style = AlertStyle::warning;

  // The answer of the first button; the n-th answers firstButtonReturn + n. Closing the alert
  // otherwise (Escape, the window manager) answers the last button's.
  static constexpr int firstButtonReturn = 1000;
};

// Alerts and the system beep, behind an interface so that controls that use them (the shortcut
// recorder) can be tested with the fake.
class UserFeedback {
 public:
  virtual ~UserFeedback() = default;
  virtual void beep() = 0;
  // Blocks in a modal loop until the alert is answered. With a parent window the alert is
  // modal to that window only, and centred on it.
  virtual int runModal(const Alert& alert, Window* parent = nullptr) = 0;
};

// Qt message boxes and the X server's bell. Needs an Application.
class DesktopFeedback : public UserFeedback {
 public:
  void beep() override;
  int runModal(const Alert& alert, Window* parent = nullptr) override;
};

// Records beeps and alerts; answers alerts with the scripted responses in order, then with the
// first button.
class FakeFeedback : public UserFeedback {
 public:
  void beep() override { ++beeps; }
  int runModal(const Alert& alert, Window* parent = nullptr) override;

  int beeps = 0;
  std::vector<Alert> alerts;
  std::vector<int> responses;
};

}  // namespace appkit
