#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <bitset>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace accessibility::x11 {

// Key presses that leave a selection in the field where it was made.
struct SelectionKeeping {
  std::vector<std::uint32_t> modifiers;  // pressed: the hot key's
  // A caret key (arrows, Home, End, Page Up and Down) pressed while a Shift key is held
  // extends the selection it was made from.
  std::vector<std::uint32_t> shifts;
  std::vector<std::uint32_t> caretKeys;
  // Presses of the chord pressed last (its key with the same modifiers held), wherever they
  // come.
  bool latestChord = false;
};

// The times of the latest key and button presses on the whole display, whichever window got
// them, as the X server stamps them (XInput 2 raw events, which grabs do not hide), with the
// keys held at each, read by a thread of its own from start to end. Scroll wheel clicks are no
// presses here. Thread-safe.
class X11InputHistory {
 public:
  using Keys = std::bitset<256>;
  struct Press {
    xcb_timestamp_t time = 0;
    std::uint32_t key = 0;  // the key code; 0 for a button
    Keys held;              // the keys down when it came, itself not counted
  };
  static constexpr std::size_t kKept = 256;

  explicit X11InputHistory(const std::string& displayName = {});
  ~X11InputHistory();
  X11InputHistory(const X11InputHistory&) = delete;
  X11InputHistory& operator=(const X11InputHistory&) = delete;

  // False without a display or XInput 2.
  bool ok() const { return started_; }
  // Whether a press other than those `keeping` names came after `after` and at or before
  // `until` (server times, which wrap). Unknown (nullopt) without the history, or when it has
  // forgotten presses of that time. Presses before the history began are not known of.
  std::optional<bool> pressedBetween(xcb_timestamp_t after, xcb_timestamp_t until,
                                     const SelectionKeeping& keeping);

 private:
  // Takes in every event the server sent before now.
  void catchUp();
  void run();
  void take(xcb_generic_event_t* event);

  xcb_connection_t* connection_ = nullptr;
  std::uint8_t opcode_ = 0;
  int wake_[2] = {-1, -1};
  bool started_ = false;
  mutable std::mutex mutex_;
  std::deque<Press> presses_;  // guarded by mutex_
  bool forgot_ = false;        // guarded
  Keys held_;                  // guarded
  std::thread thread_;
};

// Whether server time `a` is later than `b`, across the wrap of the 32-bit clock.
inline bool laterThan(xcb_timestamp_t a, xcb_timestamp_t b) {
  return static_cast<std::int32_t>(a - b) > 0;
}

}  // namespace accessibility::x11
