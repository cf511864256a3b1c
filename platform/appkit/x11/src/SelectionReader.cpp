#include "appkit/x11/SelectionReader.h"

#include "appkit/x11/Latin1.h"

namespace appkit::x11 {
namespace {

const auto* asSelectionNotify(const xcb_generic_event_t& e) {
  return reinterpret_cast<const xcb_selection_notify_event_t*>(&e);
}

const auto* asPropertyNotify(const xcb_generic_event_t& e) {
  return reinterpret_cast<const xcb_property_notify_event_t*>(&e);
}

}  // namespace

SelectionReader::SelectionReader(const char* displayName, std::chrono::milliseconds timeout)
    : connection_(displayName), timeout_(timeout) {
  window_ = connection_.createHelperWindow(XCB_EVENT_MASK_PROPERTY_CHANGE);
  // Made at start: the first capture then asks the server for none of them.
  connection_.internAtoms({"PRIMARY", "TARGETS", "UTF8_STRING", "TIMESTAMP", "QUILL_SELECTION",
                           "INCR", "COMPOUND_TEXT"});
}

bool SelectionReader::ok() {
  std::lock_guard lock(mutex_);
  return connection_.ok();
}

xcb_window_t SelectionReader::owner(std::string_view selection) {
  std::lock_guard lock(mutex_);
  if (!connection_.ok()) return XCB_NONE;
  auto* c = connection_.get();
  Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
      c, xcb_get_selection_owner(c, connection_.atom(selection)), nullptr));
  return reply ? reply->owner : XCB_NONE;
}

std::string SelectionReader::atomName(xcb_atom_t atom) {
  std::lock_guard lock(mutex_);
  return connection_.atomName(atom);
}

SelectionResult<Property> SelectionReader::convert(std::string_view selection,
                                                   std::string_view target) {
  std::lock_guard lock(mutex_);
  if (!connection_.ok()) return SelectionError::NoDisplay;
  return convertLocked(connection_.atom(selection), connection_.atom(target));
}

SelectionResult<Property> SelectionReader::convertLocked(xcb_atom_t selection, xcb_atom_t target) {
  auto* c = connection_.get();
  Reply<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
  if (!owner) return SelectionError::NoDisplay;
  if (owner->owner == XCB_NONE) return SelectionError::NoOwner;

  xcb_atom_t property = connection_.atom("QUILL_SELECTION");
  xcb_delete_property(c, window_, property);
  // Answers to earlier requests that came too late must not be taken for this one.
  while (Event stale{xcb_poll_for_event(c)}) {
  }
  xcb_convert_selection(c, window_, selection, target, property, XCB_CURRENT_TIME);
  xcb_flush(c);

  Event notify = connection_.waitForEvent(
      [&](const xcb_generic_event_t& e) {
        if (eventType(e) != XCB_SELECTION_NOTIFY) return false;
        const auto* n = asSelectionNotify(e);
        return n->requestor == window_ && n->selection == selection && n->target == target;
      },
      Clock::now() + timeout_);
  if (!notify) return connection_.ok() ? SelectionError::TimedOut : SelectionError::NoDisplay;
  if (asSelectionNotify(*notify)->property == XCB_NONE) return SelectionError::Refused;

  auto value = connection_.property(window_, property, true);
  if (!value) return SelectionError::Refused;
  if (value->type == connection_.atom("INCR")) return readIncremental(property, Clock::now());
  return std::move(*value);
}

SelectionResult<Property> SelectionReader::readIncremental(xcb_atom_t property,
                                                           Clock::time_point start) {
  const auto cap = start + timeout_ * 10;
  Property whole;
  for (;;) {
    auto deadline = std::min(cap, Clock::now() + timeout_);
    Event next = connection_.waitForEvent(
        [&](const xcb_generic_event_t& e) {
          if (eventType(e) != XCB_PROPERTY_NOTIFY) return false;
          const auto* p = asPropertyNotify(e);
          return p->window == window_ && p->atom == property && p->state == XCB_PROPERTY_NEW_VALUE;
        },
        deadline);
    if (!next) return SelectionError::TimedOut;
    auto chunk = connection_.property(window_, property, true);
    if (!chunk) continue;
    if (chunk->bytes.empty()) {
      if (whole.type == XCB_ATOM_NONE) {
        whole.type = chunk->type;
        whole.format = chunk->format;
      }
      return whole;
    }
    whole.type = chunk->type;
    whole.format = chunk->format;
    whole.bytes += chunk->bytes;
    if (whole.bytes.size() > maximumBytes) return SelectionError::Refused;
  }
}

SelectionResult<std::vector<std::string>> SelectionReader::targets(std::string_view selection) {
  std::lock_guard lock(mutex_);
  if (!connection_.ok()) return SelectionError::NoDisplay;
  auto result = convertLocked(connection_.atom(selection), connection_.atom("TARGETS"));
  if (!result.ok()) return result.error();
  const Property& list = result.value();
  if (list.format != 32) return SelectionError::Refused;
  std::vector<std::string> names;
  for (std::size_t i = 0; i + 4 <= list.bytes.size(); i += 4) {
    xcb_atom_t atom = XCB_ATOM_NONE;
    list.bytes.copy(reinterpret_cast<char*>(&atom), 4, i);
    if (auto name = connection_.atomName(atom); !name.empty()) names.push_back(std::move(name));
  }
  return names;
}

SelectionResult<std::string> SelectionReader::text(std::string_view selection) {
  std::lock_guard lock(mutex_);
  if (!connection_.ok()) return SelectionError::NoDisplay;
  const xcb_atom_t utf8 = connection_.atom("UTF8_STRING");
  const xcb_atom_t latin1 = XCB_ATOM_STRING;
  const xcb_atom_t selectionAtom = connection_.atom(selection);

  auto decode = [&](const Property& p) -> std::optional<std::string> {
    if (p.format != 8 || p.type == connection_.atom("COMPOUND_TEXT")) return std::nullopt;
    if (p.type == latin1) return latin1ToUtf8(p.bytes);
    return p.bytes;
  };

  auto result = convertLocked(selectionAtom, utf8);
  if (result.ok()) {
    if (auto text = decode(result.value())) return std::move(*text);
  } else if (result.error() != SelectionError::Refused) {
    return result.error();
  }
  result = convertLocked(selectionAtom, latin1);
  if (!result.ok()) return result.error();
  if (auto text = decode(result.value())) return std::move(*text);
  return SelectionError::Refused;
}

}  // namespace appkit::x11
