#include "HotKeys/RecorderController.h"

#include <algorithm>

#include "HotKeys/CarbonHotKeys.h"
#include "HotKeys/RecorderTexts.h"
#include "carbon/KeyboardLayout.h"
#include "foundation/NotificationCenter.h"

namespace HotKeys {
namespace {

constexpr std::uint64_t kIgnoredFlags =
    ModifierFlags::capsLock | ModifierFlags::numericPad | ModifierFlags::function;

std::uint64_t significantFlags(const InputEvent& event) {
  return event.modifierFlags.rawValue & ModifierFlags::deviceIndependentFlagsMask & ~kIgnoredFlags;
}

bool hasNoModifiers(const InputEvent& event) {
  return significantFlags(event) == 0;
}

bool hasAtMostShift(const InputEvent& event) {
  return (significantFlags(event) & ~ModifierFlags::shift) == 0;
}

bool isFunctionKey(const InputEvent& event) {
  return event.specialKey == SpecialKey::functionKey && event.functionKeyNumber >= 1 &&
         event.functionKeyNumber <= 35;
}

bool isReservedBySystem(const Shortcut& shortcut) {
  if (shortcut.carbonKeyCode == Key::f12.rawValue && shortcut.carbonModifiers == 0) return false;
  const auto reserved = CarbonHotKeys::systemSymbolicHotKeys();
  if (std::find(reserved.begin(), reserved.end(), shortcut) != reserved.end()) return true;
  return CarbonHotKeys::isTakenElsewhere(shortcut);
}

}  // namespace

RecorderController::RecorderController(Name name,
                                       std::function<void(std::optional<Shortcut>)> onChange,
                                       RecorderEffects effects)
    : name_(std::move(name)),
      onChange_(std::move(onChange)),
      effects_(std::move(effects)),
      placeholder_(localized("record_shortcut")) {
  refresh();
  observer_ = foundation::NotificationCenter::defaultCenter().addObserver(
      kShortcutByNameDidChange, [this](const foundation::Notification& notification) {
        const auto* change = std::any_cast<ShortcutChange>(&notification.object);
        if (change && change->name.rawValue == name_.rawValue) refresh();
      });
  // The key's name is what it types on the layout in use now.
  layoutObserver_ = foundation::NotificationCenter::defaultCenter().addObserver(
      carbon::kKeyboardLayoutDidChange, [this](const foundation::Notification&) { refresh(); });
  // The user went to another window while recording.
  pauseObserver_ = onPauseInterrupted([this] {
    if (recording_) endRecording();
  });
}

RecorderController::~RecorderController() {
  // A field that goes away while recording must not leave the hot keys paused.
  if (recording_) setPaused(false);
}

void RecorderController::setShortcutName(Name name) {
  const bool differs = name.rawValue != name_.rawValue;
  name_ = std::move(name);
  if (differs) refresh();
}

bool RecorderController::showsRegistrationWarning() const {
  return storedShortcut(name_) && !isRegistered(name_);
}

void RecorderController::refresh() {
  auto shortcut = storedShortcut(name_);
  text_ = shortcut ? shortcut->displayText() : std::string();
  changed();
}

void RecorderController::changed() {
  if (onDisplayChange) onDisplayChange();
}

void RecorderController::focusGained() {
  if (recording_) return;
  recording_ = true;
  placeholder_ = localized("press_shortcut");
  setPaused(true);
  changed();
}

void RecorderController::focusLost() {
  if (!recording_) return;
  recording_ = false;
  placeholder_ = localized("record_shortcut");
  setPaused(false);
  changed();
}

void RecorderController::endRecording() {
  if (effects_.resignFocus) effects_.resignFocus();
  focusLost();  // in case the focus had nowhere to go
}

void RecorderController::refuse(const std::string& message, const std::string& informativeText) {
  endRecording();
  if (effects_.alert) effects_.alert(message, informativeText);
  if (effects_.takeFocus) effects_.takeFocus();
  focusGained();
}

bool RecorderController::handleRecordingEvent(const InputEvent& event, ui::Rect bounds) {
  const bool mouseUp =
      event.type == InputEventType::leftMouseUp || event.type == InputEventType::rightMouseUp;
  if (mouseUp && !bounds.insetBy(-3, -3).contains(event.location)) {
    endRecording();
    return true;
  }
  if (!event.isKey()) return false;
  if (hasNoModifiers(event) && event.specialKey == SpecialKey::tab) {
    endRecording();
    return true;
  }
  if (hasNoModifiers(event) && event.keyCode == Key::escape.rawValue) {
    endRecording();
    return false;
  }
  if (hasNoModifiers(event) &&
      (event.specialKey == SpecialKey::delete_ || event.specialKey == SpecialKey::deleteForward ||
       event.specialKey == SpecialKey::backspace)) {
    clear();
    return false;
  }
  if (event.withLevelThree) {
    refuse(localized("keyboard_shortcut_with_altgr"), localized("keyboard_shortcut_without_altgr"));
    return false;
  }
  if (hasAtMostShift(event) && !isFunctionKey(event)) {
    if (effects_.beep) effects_.beep();
    return false;
  }
  auto shortcut = Shortcut::fromEvent(event);
  if (!shortcut) {
    if (effects_.beep) effects_.beep();
    return false;
  }
  if (effects_.menuItemTitleUsing) {
    if (auto title = effects_.menuItemTitleUsing(*shortcut)) {
      refuse(formatted(localized("keyboard_shortcut_used_by_menu_item"), *title), {});
      return false;
    }
  }
  if (isReservedBySystem(*shortcut)) {
    refuse(localized("keyboard_shortcut_used_by_system"),
           localized("keyboard_shortcuts_can_be_changed"));
    return false;
  }
  text_ = shortcut->displayText();
  changed();
  saveShortcut(*shortcut, name_);
  if (onChange_) onChange_(*shortcut);
  endRecording();
  return false;
}

void RecorderController::clear() {
  text_.clear();
  setShortcut(std::nullopt, name_);
  if (onChange_) onChange_(std::nullopt);
  changed();
  if (effects_.takeFocus) effects_.takeFocus();
  focusGained();
}

}  // namespace HotKeys
