#include "X11SelectionOwner.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <future>

#include "appkit/x11/Latin1.h"
#include "foundation/ThreadName.h"

namespace appkit::x11 {
namespace {

constexpr std::chrono::milliseconds kServerTimeTimeout{500};
constexpr std::chrono::milliseconds kCommandTimeout{1500};
// A requestor that stops taking chunks of an INCR transfer for this long is given up.
constexpr std::chrono::seconds kTransferIdleLimit{5};
constexpr std::size_t kLargestChunk = 1024 * 1024;

constexpr std::string_view kDerivedTextTargets[] = {"STRING", "TEXT", "text/plain;charset=utf-8"};

}  // namespace

struct SelectionOwner::Command {
  enum class Kind { Own, Clear, Quit } kind;
  std::vector<PasteboardEntry> entries;
  std::promise<bool> done;
  // Under the owner's mutex: the thread takes up a command only if its caller has not given up.
  bool started = false;
  bool abandoned = false;
};

SelectionOwner::SelectionOwner(std::string selection, const char* displayName,
                               std::size_t chunkBytes)
    : connection_(displayName) {
  if (!connection_.ok()) return;
  selection_ = connection_.atom(selection);
  const std::size_t limit = connection_.maximumRequestBytes();
  chunkBytes_ = chunkBytes ? chunkBytes : std::min(kLargestChunk, limit > 1024 ? limit - 512 : 512);
  chunkBytes_ = std::max<std::size_t>(chunkBytes_ & ~std::size_t{3}, 4);
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0 || selection_ == XCB_ATOM_NONE) return;
  // Atoms used while serving are interned now, so the owner thread never waits for them.
  for (auto name : {"TARGETS", "TIMESTAMP", "INCR", "UTF8_STRING", "TEXT", "STRING",
                    "text/plain;charset=utf-8", "QUILL_TIME_STAMP"})
    connection_.atom(name);
  window_ = connection_.createHelperWindow(XCB_EVENT_MASK_PROPERTY_CHANGE);
  thread_ = std::thread([this] {
    foundation::setCurrentThreadName("quill-clipboard");
    run();
  });
}

SelectionOwner::~SelectionOwner() {
  if (thread_.joinable()) {
    auto quit = std::make_shared<Command>();
    quit->kind = Command::Kind::Quit;
    {
      std::lock_guard lock(mutex_);
      commands_.push_back(quit);
    }
    wake();
    thread_.join();
  }
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

bool SelectionOwner::own(std::vector<PasteboardEntry> entries) {
  auto command = std::make_shared<Command>();
  command->kind = Command::Kind::Own;
  command->entries = std::move(entries);
  return submit(command);
}

bool SelectionOwner::clear() {
  auto command = std::make_shared<Command>();
  command->kind = Command::Kind::Clear;
  return submit(command);
}

std::optional<std::vector<PasteboardEntry>> SelectionOwner::contents() const {
  std::lock_guard lock(mutex_);
  if (!owned_) return std::nullopt;
  return entries_;
}

bool SelectionOwner::submit(std::shared_ptr<Command> command) {
  if (!ok()) return false;
  auto result = command->done.get_future();
  {
    std::lock_guard lock(mutex_);
    commands_.push_back(command);
  }
  wake();
  if (result.wait_for(kCommandTimeout) != std::future_status::ready) {
    std::lock_guard lock(mutex_);
    if (!command->started) {
      // Called off before it ran: the failure reported stays true, the selection is left alone.
      command->abandoned = true;
      return false;
    }
  }
  // Under way already, so it cannot be called off: its own outcome is the answer. It gives up on
  // the server's time by itself; what remains is a single round trip.
  return result.get();
}

void SelectionOwner::wake() {
  std::uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
}

void SelectionOwner::run() {
  auto* c = connection_.get();
  for (;;) {
    std::deque<std::shared_ptr<Command>> commands;
    {
      std::lock_guard lock(mutex_);
      commands.swap(commands_);
    }
    for (auto& command : commands) {
      {
        std::lock_guard lock(mutex_);
        if (command->abandoned) continue;
        command->started = true;
      }
      if (command->kind == Command::Kind::Quit) {
        command->done.set_value(true);
        return;
      }
      perform(*command);
    }
    auto backlog = std::move(backlog_);
    backlog_.clear();
    for (auto& event : backlog) handle(*event);
    while (Event event{xcb_poll_for_event(c)}) handle(*event);
    xcb_flush(c);
    if (!connection_.ok()) {
      std::lock_guard lock(mutex_);
      owned_ = false;
      entries_.clear();
    }
    dropIdleTransfers();

    pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int timeout = transfers_.empty() ? -1 : 1000;
    if (!connection_.ok()) fds[0].fd = -1;
    ::poll(fds, 2, timeout);
    if (fds[1].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] auto n = ::read(wakeFd_, &count, sizeof count);
    }
  }
}

void SelectionOwner::perform(Command& command) {
  auto* c = connection_.get();
  if (command.kind == Command::Kind::Clear) {
    xcb_set_selection_owner(c, XCB_NONE, selection_, XCB_CURRENT_TIME);
    connection_.sync();
    std::lock_guard lock(mutex_);
    owned_ = false;
    entries_.clear();
    command.done.set_value(connection_.ok());
    return;
  }
  // Taking a selection at "current time" is discouraged: requests must be checked against the
  // real moment of taking it.
  auto time = connection_.serverTime(window_, kServerTimeTimeout, &backlog_);
  bool owned = false;
  if (time) {
    xcb_set_selection_owner(c, window_, selection_, *time);
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection_), nullptr));
    owned = reply && reply->owner == window_;
  }
  {
    std::lock_guard lock(mutex_);
    owned_ = owned;
    if (owned) {
      entries_ = std::move(command.entries);
      ownedSince_ = *time;
    } else {
      entries_.clear();
    }
  }
  command.done.set_value(owned);
}

void SelectionOwner::handle(const xcb_generic_event_t& event) {
  switch (eventType(event)) {
    case XCB_SELECTION_REQUEST:
      answer(reinterpret_cast<const xcb_selection_request_event_t&>(event));
      break;
    case XCB_SELECTION_CLEAR: {
      const auto& clear = reinterpret_cast<const xcb_selection_clear_event_t&>(event);
      if (clear.selection != selection_ || clear.owner != window_) break;
      std::lock_guard lock(mutex_);
      owned_ = false;
      entries_.clear();
      break;
    }
    case XCB_PROPERTY_NOTIFY: {
      const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
      if (change.state == XCB_PROPERTY_DELETE) continueTransfer(change.window, change.atom);
      break;
    }
    default:
      break;  // errors of requests to windows that went away, and the like
  }
}

void SelectionOwner::answer(const xcb_selection_request_event_t& request) {
  // Obsolete clients name no property: the target's name is used then.
  xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
  bool current = false;
  {
    std::lock_guard lock(mutex_);
    current = owned_ && request.owner == window_ && request.selection == selection_ &&
              (request.time == XCB_CURRENT_TIME ||
               static_cast<std::int32_t>(request.time - ownedSince_) >= 0);
  }
  bool served = current && serve(request.requestor, request.target, property);

  xcb_selection_notify_event_t notify{};
  notify.response_type = XCB_SELECTION_NOTIFY;
  notify.time = request.time;
  notify.requestor = request.requestor;
  notify.selection = request.selection;
  notify.target = request.target;
  notify.property = served ? property : XCB_NONE;
  char buffer[32] = {};
  static_assert(sizeof notify <= sizeof buffer);
  std::memcpy(buffer, &notify, sizeof notify);
  xcb_send_event(connection_.get(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, buffer);
  xcb_flush(connection_.get());
}

bool SelectionOwner::serve(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property) {
  std::vector<PasteboardEntry> entries;
  xcb_timestamp_t since = 0;
  {
    std::lock_guard lock(mutex_);
    entries = entries_;
    since = ownedSince_;
  }
  auto find = [&](xcb_atom_t atom) -> const PasteboardEntry* {
    for (const auto& entry : entries)
      if (connection_.atom(entry.target) == atom) return &entry;
    return nullptr;
  };
  const PasteboardEntry* utf8 = find(connection_.atom("UTF8_STRING"));

  if (target == connection_.atom("TARGETS")) {
    std::vector<xcb_atom_t> atoms{connection_.atom("TARGETS"), connection_.atom("TIMESTAMP")};
    auto add = [&](xcb_atom_t atom) {
      if (atom != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), atom) == atoms.end())
        atoms.push_back(atom);
    };
    for (const auto& entry : entries) add(connection_.atom(entry.target));
    if (utf8)
      for (auto name : kDerivedTextTargets) add(connection_.atom(name));
    write(requestor, property, XCB_ATOM_ATOM, 32,
          std::string(reinterpret_cast<const char*>(atoms.data()), atoms.size() * 4));
    return true;
  }
  if (target == connection_.atom("TIMESTAMP")) {
    write(requestor, property, XCB_ATOM_INTEGER, 32,
          std::string(reinterpret_cast<const char*>(&since), 4));
    return true;
  }
  if (const PasteboardEntry* entry = find(target)) {
    if (entry->format != 8 && entry->format != 16 && entry->format != 32) return false;
    write(requestor, property, connection_.atom(entry->type),
          static_cast<std::uint8_t>(entry->format), entry->bytes);
    return true;
  }
  if (!utf8) return false;
  if (target == XCB_ATOM_STRING) {
    write(requestor, property, XCB_ATOM_STRING, 8, utf8ToLatin1(utf8->bytes));
    return true;
  }
  if (target == connection_.atom("TEXT")) {
    write(requestor, property, connection_.atom("UTF8_STRING"), 8, utf8->bytes);
    return true;
  }
  if (target == connection_.atom("text/plain;charset=utf-8")) {
    write(requestor, property, target, 8, utf8->bytes);
    return true;
  }
  return false;
}

void SelectionOwner::write(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type,
                           std::uint8_t format, std::string bytes) {
  auto* c = connection_.get();
  const std::size_t unit = format / 8;
  bytes.resize(bytes.size() / unit * unit);
  if (bytes.size() <= chunkBytes_) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, type, format,
                        static_cast<std::uint32_t>(bytes.size() / unit), bytes.data());
    return;
  }
  // Too large for one request: announce the size, then hand out a chunk each time the
  // requestor deletes the property.
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &mask);
  auto size = static_cast<std::uint32_t>(bytes.size());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, connection_.atom("INCR"), 32,
                      1, &size);
  transfers_[{requestor, property}] = Transfer{type, format, std::move(bytes), 0, Clock::now()};
}

void SelectionOwner::continueTransfer(xcb_window_t requestor, xcb_atom_t property) {
  auto it = transfers_.find({requestor, property});
  if (it == transfers_.end()) return;
  Transfer& transfer = it->second;
  auto* c = connection_.get();
  const std::size_t unit = transfer.format / 8;
  const std::size_t length =
      std::min(chunkBytes_ / unit * unit, transfer.bytes.size() - transfer.offset);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, transfer.type, transfer.format,
                      static_cast<std::uint32_t>(length / unit),
                      transfer.bytes.data() + transfer.offset);
  transfer.offset += length;
  transfer.lastActivity = Clock::now();
  // The empty chunk ends the transfer.
  if (length == 0) {
    transfers_.erase(it);
    bool more = std::any_of(transfers_.begin(), transfers_.end(),
                            [&](const auto& t) { return t.first.first == requestor; });
    if (!more) {
      const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
      xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &none);
    }
  }
  xcb_flush(c);
}

void SelectionOwner::dropIdleTransfers() {
  const auto now = Clock::now();
  std::erase_if(transfers_,
                [&](const auto& t) { return now - t.second.lastActivity > kTransferIdleLimit; });
}

}  // namespace appkit::x11
