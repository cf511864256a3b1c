#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "appkit/x11/Connection.h"

namespace appkit::x11 {

enum class SelectionError {
  NoDisplay,  // no X display could be opened
  NoOwner,    // nobody holds the selection
  Refused,    // the owner cannot give it in the asked form
  TimedOut,   // the owner did not answer in time
};

template <class T>
class SelectionResult {
 public:
  SelectionResult(T value) : value_(std::move(value)) {}
  SelectionResult(SelectionError error) : error_(error) {}
  bool ok() const { return value_.has_value(); }
  const T& value() const { return *value_; }
  T& value() { return *value_; }
  SelectionError error() const { return error_; }

 private:
  std::optional<T> value_;
  SelectionError error_ = SelectionError::Refused;
};

// Reads selections (PRIMARY, CLIPBOARD) from their owners over a connection of its own.
// Every call waits for the owner, at most `timeout` per answer (the whole of a large transfer is
// capped at ten times that), so call it off the main thread. Thread-safe.
class SelectionReader {
 public:
  static constexpr std::chrono::milliseconds defaultTimeout{300};
  // A transfer larger than this is abandoned.
  static constexpr std::size_t maximumBytes = 64 * 1024 * 1024;

  explicit SelectionReader(const char* displayName = nullptr,
                           std::chrono::milliseconds timeout = defaultTimeout);
  SelectionReader(const SelectionReader&) = delete;
  SelectionReader& operator=(const SelectionReader&) = delete;

  bool ok();
  xcb_window_t owner(std::string_view selection);

  // The selection converted to `target`; INCR transfers are put together.
  SelectionResult<Property> convert(std::string_view selection, std::string_view target);
  // The target names the owner offers.
  SelectionResult<std::vector<std::string>> targets(std::string_view selection);
  // The selection as UTF-8 text: asked as UTF8_STRING, then as (Latin-1) STRING.
  SelectionResult<std::string> text(std::string_view selection);

  // The name of a property type or target atom.
  std::string atomName(xcb_atom_t atom);

 private:
  SelectionResult<Property> convertLocked(xcb_atom_t selection, xcb_atom_t target);
  SelectionResult<Property> readIncremental(xcb_atom_t property, Clock::time_point start);

  std::mutex mutex_;
  Connection connection_;
  xcb_window_t window_ = XCB_NONE;
  std::chrono::milliseconds timeout_;
};

}  // namespace appkit::x11
