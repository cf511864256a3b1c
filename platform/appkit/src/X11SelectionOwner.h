#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "appkit/Pasteboard.h"
#include "appkit/x11/Connection.h"

namespace appkit::x11 {

// Holds one selection for this program: a thread with a connection of its own answers the
// other programs' requests (TARGETS, TIMESTAMP, the offered entries, text forms derived from
// UTF8_STRING, INCR for large data) and notices when another program takes the selection.
class SelectionOwner {
 public:
  // `chunkBytes` 0: data larger than the server's request limit (at most 1 MiB) goes by INCR.
  SelectionOwner(std::string selection, const char* displayName, std::size_t chunkBytes);
  ~SelectionOwner();
  SelectionOwner(const SelectionOwner&) = delete;
  SelectionOwner& operator=(const SelectionOwner&) = delete;

  bool ok() const { return window_ != XCB_NONE; }
  xcb_window_t window() const { return window_; }

  // Takes the selection offering `entries`. False when the server would not give it in time.
  // A false from here or from clear() is final: the command never runs afterwards.
  bool own(std::vector<PasteboardEntry> entries);
  // Leaves the selection without owner, also when another program holds it.
  bool clear();
  // What is offered, while this owner holds the selection.
  std::optional<std::vector<PasteboardEntry>> contents() const;

 private:
  struct Command;
  struct Transfer {
    xcb_atom_t type;
    std::uint8_t format;
    std::string bytes;
    std::size_t offset = 0;
    Clock::time_point lastActivity;
  };

  bool submit(std::shared_ptr<Command> command);
  void run();
  void perform(Command& command);
  void handle(const xcb_generic_event_t& event);
  void answer(const xcb_selection_request_event_t& request);
  bool serve(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property);
  void write(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type, std::uint8_t format,
             std::string bytes);
  void continueTransfer(xcb_window_t requestor, xcb_atom_t property);
  void dropIdleTransfers();
  void wake();

  Connection connection_;
  xcb_window_t window_ = XCB_NONE;
  xcb_atom_t selection_ = XCB_ATOM_NONE;
  std::size_t chunkBytes_ = 0;
  int wakeFd_ = -1;

  mutable std::mutex mutex_;
  std::deque<std::shared_ptr<Command>> commands_;
  bool owned_ = false;
  std::vector<PasteboardEntry> entries_;
  xcb_timestamp_t ownedSince_ = 0;

  // Owner thread only.
  std::vector<Event> backlog_;
  std::map<std::pair<xcb_window_t, xcb_atom_t>, Transfer> transfers_;

  std::thread thread_;
};

}  // namespace appkit::x11
