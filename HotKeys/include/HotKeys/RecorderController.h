#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "HotKeys/HotKeys.h"
#include "HotKeys/InputEvent.h"
#include "foundation/ObservableObject.h"
#include "ui/Geometry.h"

namespace HotKeys {

// What the recorder asks of the field that shows it and of the desktop.
struct RecorderEffects {
  std::function<void()> beep;
  // A warning; returns once the user dismissed it.
  std::function<void(const std::string& message, const std::string& informativeText)> alert;
  // The field gives the keyboard focus away (recording ends) or takes it (recording starts).
  std::function<void()> resignFocus;
  std::function<void()> takeFocus;
  // The title of an item of the program's menus that answers to the shortcut, if any.
  std::function<std::optional<std::string>(const Shortcut&)> menuItemTitleUsing;
};

// The logic of the field in which the user records one name's shortcut: while the field has the
// keyboard focus it records (and the hot keys are paused); keys are refused with a beep when no
// modifier but Shift is held (function keys excepted) or the key has no code, with an alert
// when a menu item or the desktop already uses the shortcut; Escape and Tab end recording,
// Delete and Backspace clear. Main thread only.
class RecorderController {
 public:
  static constexpr double kMinimumWidth = 130;

  RecorderController(Name name, std::function<void(std::optional<Shortcut>)> onChange,
                     RecorderEffects effects);
  RecorderController(const RecorderController&) = delete;
  RecorderController& operator=(const RecorderController&) = delete;
  ~RecorderController();

  const Name& shortcutName() const { return name_; }
  // Shows the other name's shortcut when the name differs.
  void setShortcutName(Name name);

  const std::string& text() const { return text_; }
  const std::string& placeholder() const { return placeholder_; }
  bool showsClearButton() const { return !text_.empty(); }
  bool isRecording() const { return recording_; }
  // The name's hot key is stored but the desktop would not give it to us.
  bool showsRegistrationWarning() const;
  // Told after every change of what the field shows.
  std::function<void()> onDisplayChange;

  // The field got or lost the keyboard focus (also when its window stopped being active).
  void focusGained();
  void focusLost();

  // A key or mouse-up event of the program while recording; `bounds` is the field's own
  // rectangle and mouse locations are in its coordinates. True lets the event go on.
  bool handleRecordingEvent(const InputEvent& event, ui::Rect bounds);
  // The clear button: clears the shortcut and records again.
  void clear();

 private:
  void refresh();
  void endRecording();
  void refuse(const std::string& message, const std::string& informativeText);
  void changed();

  Name name_;
  std::function<void(std::optional<Shortcut>)> onChange_;
  RecorderEffects effects_;
  std::string text_;
  std::string placeholder_;
  bool recording_ = false;
  foundation::Cancellable observer_;
  foundation::Cancellable layoutObserver_;
  foundation::Cancellable pauseObserver_;
};

}  // namespace HotKeys
