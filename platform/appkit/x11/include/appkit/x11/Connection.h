#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace appkit::x11 {

struct FreeDeleter {
  void operator()(void* p) const;
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;
using Event = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;

using Clock = std::chrono::steady_clock;

// A window property as the server keeps it: its type, its unit size (8, 16 or 32 bits) and the
// raw bytes (32-bit units in the client's byte order, as xcb hands them over).
struct Property {
  xcb_atom_t type = XCB_ATOM_NONE;
  std::uint8_t format = 0;
  std::string bytes;
};

// One xcb connection with the helpers every X11 backend here needs. Not thread-safe beyond what
// xcb itself guarantees: each user serialises its own calls.
class Connection {
 public:
  // nullptr opens $DISPLAY.
  explicit Connection(const char* displayName = nullptr);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // False when no display could be opened or the connection broke since.
  bool ok() const;
  xcb_connection_t* get() const { return connection_; }
  xcb_window_t root() const { return root_; }
  // Requests larger than this must be split (selection transfers use INCR then).
  std::size_t maximumRequestBytes() const;

  // Interned once, then cached. XCB_ATOM_NONE when the server cannot be asked.
  xcb_atom_t atom(std::string_view name);
  // Interns all of them in one round trip, into the same cache.
  void internAtoms(std::initializer_list<std::string_view> names);
  std::string atomName(xcb_atom_t atom);

  // An unmapped input-only window that receives `eventMask`.
  xcb_window_t createHelperWindow(std::uint32_t eventMask);

  std::optional<Property> property(xcb_window_t window, xcb_atom_t name, bool remove = false);
  std::optional<std::uint32_t> cardinalProperty(xcb_window_t window, std::string_view name);
  xcb_window_t windowProperty(xcb_window_t window, std::string_view name);

  // A server time stamp, taken from the PropertyNotify of an empty append on `window` (which
  // must select XCB_EVENT_MASK_PROPERTY_CHANGE). Other events read meanwhile go to `others`.
  std::optional<xcb_timestamp_t> serverTime(xcb_window_t window, std::chrono::milliseconds timeout,
                                            std::vector<Event>* others);

  // Waits for the first event that `match` accepts, at most until `deadline`; events it
  // rejects are passed to `others` when given, else dropped.
  Event waitForEvent(const std::function<bool(const xcb_generic_event_t&)>& match,
                     Clock::time_point deadline,
                     const std::function<void(Event)>& others = nullptr);

  // Blocks until the server has handled every request sent so far.
  void sync();

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = XCB_NONE;
  std::mutex atomsMutex_;
  std::unordered_map<std::string, xcb_atom_t> atoms_;
};

inline std::uint8_t eventType(const xcb_generic_event_t& event) {
  return event.response_type & 0x7f;
}

}  // namespace appkit::x11
