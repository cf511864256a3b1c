#include "AccessibilityBusWatch.h"

#include <atspi/atspi.h>

#include <cstring>

namespace accessibility {
namespace {

constexpr const char* kLauncherName = "org.a11y.Bus";
constexpr const char* kLauncherPath = "/org/a11y/bus";
constexpr const char* kStatusInterface = "org.a11y.Status";
constexpr const char* kEnabledProperty = "IsEnabled";
constexpr const char* kOwnerRule =
    "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
    "member='NameOwnerChanged',arg0='org.a11y.Bus'";
constexpr const char* kStatusRule =
    "type='signal',sender='org.a11y.Bus',path='/org/a11y/bus',"
    "interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',arg0='org.a11y.Status'";
// Without a session bus, connecting tries to launch one (a program started each time). A bus
// that comes later is found within half a minute; until then the capture reads through X11.
constexpr auto kMissingSessionRetry = std::chrono::seconds(30);

struct Message {
  DBusMessage* message = nullptr;
  explicit Message(DBusMessage* m) : message(m) {}
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;
  ~Message() {
    if (message) dbus_message_unref(message);
  }
  DBusMessage* get() const { return message; }
  explicit operator bool() const { return message != nullptr; }
};

// The Boolean inside the variant `iter` points at, if it is one.
std::optional<bool> variantBoolean(DBusMessageIter* iter) {
  if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_VARIANT) return std::nullopt;
  DBusMessageIter variant;
  dbus_message_iter_recurse(iter, &variant);
  if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_BOOLEAN) return std::nullopt;
  dbus_bool_t value = FALSE;
  dbus_message_iter_get_basic(&variant, &value);
  return value != FALSE;
}

// IsEnabled among the changed properties of a PropertiesChanged signal (s a{sv} as).
std::optional<bool> changedEnabled(DBusMessage* message) {
  DBusMessageIter iter;
  if (!dbus_message_iter_init(message, &iter) ||
      dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRING)
    return std::nullopt;
  const char* interface = nullptr;
  dbus_message_iter_get_basic(&iter, &interface);
  if (!interface || std::strcmp(interface, kStatusInterface) != 0 ||
      !dbus_message_iter_next(&iter) || dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY)
    return std::nullopt;
  DBusMessageIter entries;
  dbus_message_iter_recurse(&iter, &entries);
  for (; dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY;
       dbus_message_iter_next(&entries)) {
    DBusMessageIter entry;
    dbus_message_iter_recurse(&entries, &entry);
    if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING) continue;
    const char* name = nullptr;
    dbus_message_iter_get_basic(&entry, &name);
    if (name && std::strcmp(name, kEnabledProperty) == 0 && dbus_message_iter_next(&entry))
      return variantBoolean(&entry);
  }
  return std::nullopt;
}

}  // namespace

AccessibilityBusWatch::AccessibilityBusWatch(GMainContext* context,
                                             std::chrono::milliseconds callTimeout,
                                             std::function<void()> changed)
    : context_(context), callTimeout_(callTimeout), changed_(std::move(changed)) {}

AccessibilityBusWatch::~AccessibilityBusWatch() {
  disconnect();
}

bool AccessibilityBusWatch::mayTryAgain() const {
  return std::chrono::steady_clock::now().time_since_epoch().count() >= nextTry_.load();
}

bool AccessibilityBusWatch::connect() {
  if (session_ && dbus_connection_get_is_connected(session_)) return true;
  disconnect();
  if (!mayTryAgain()) return false;
  DBusError error;
  dbus_error_init(&error);
  session_ = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
  dbus_error_free(&error);
  sessionMissing_ = session_ == nullptr;
  if (!session_) {
    nextTry_ = (std::chrono::steady_clock::now() + kMissingSessionRetry).time_since_epoch().count();
    return false;
  }
  dbus_connection_set_exit_on_disconnect(session_, FALSE);
  dbus_connection_add_filter(session_, &AccessibilityBusWatch::handleMessage, this, nullptr);
  // Without an error to fill these do not wait for the bus's answer.
  dbus_bus_add_match(session_, kOwnerRule, nullptr);
  dbus_bus_add_match(session_, kStatusRule, nullptr);
  atspi_dbus_connection_setup_with_g_main(session_, context_);
  return true;
}

void AccessibilityBusWatch::disconnect() {
  if (!session_) return;
  dbus_connection_remove_filter(session_, &AccessibilityBusWatch::handleMessage, this);
  dbus_connection_close(session_);
  dbus_connection_unref(session_);
  session_ = nullptr;
}

DBusMessage* AccessibilityBusWatch::callProperties(DBusMessage* message, int timeoutMs) {
  DBusError error;
  dbus_error_init(&error);
  DBusMessage* reply =
      dbus_connection_send_with_reply_and_block(session_, message, timeoutMs, &error);
  dbus_error_free(&error);
  return reply;
}

void AccessibilityBusWatch::look() {
  lookDue_ = false;
  if (!connect()) {
    state_ = AccessibilityBus::absent;
    return;
  }
  Message request(
      dbus_message_new_method_call(kLauncherName, kLauncherPath, DBUS_INTERFACE_PROPERTIES, "Get"));
  const char* interface = kStatusInterface;
  const char* property = kEnabledProperty;
  dbus_message_append_args(request.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                           DBUS_TYPE_INVALID);
  // The session bus may first have to start the launcher.
  Message reply(callProperties(request.get(), static_cast<int>(callTimeout_.count()) * 10));
  std::optional<bool> enabled;
  DBusMessageIter iter;
  if (reply && dbus_message_iter_init(reply.get(), &iter)) enabled = variantBoolean(&iter);
  if (!enabled) {
    state_ = AccessibilityBus::absent;
    return;
  }
  state_ = *enabled ? AccessibilityBus::enabled : AccessibilityBus::disabled;
}

bool AccessibilityBusWatch::enable() {
  if (!connect()) return false;
  Message request(
      dbus_message_new_method_call(kLauncherName, kLauncherPath, DBUS_INTERFACE_PROPERTIES, "Set"));
  const char* interface = kStatusInterface;
  const char* property = kEnabledProperty;
  DBusMessageIter iter, variant;
  dbus_message_iter_init_append(request.get(), &iter);
  dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &interface);
  dbus_message_iter_append_basic(&iter, DBUS_TYPE_STRING, &property);
  dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, DBUS_TYPE_BOOLEAN_AS_STRING, &variant);
  const dbus_bool_t on = TRUE;
  dbus_message_iter_append_basic(&variant, DBUS_TYPE_BOOLEAN, &on);
  dbus_message_iter_close_container(&iter, &variant);
  Message reply(callProperties(request.get(), static_cast<int>(callTimeout_.count()) * 10));
  if (!reply || dbus_message_get_type(reply.get()) != DBUS_MESSAGE_TYPE_METHOD_RETURN) return false;
  // What the launcher holds now, not what was asked of it.
  look();
  return state_ == AccessibilityBus::enabled;
}

DBusHandlerResult AccessibilityBusWatch::handleMessage(DBusConnection*, DBusMessage* message,
                                                       void* watch) {
  static_cast<AccessibilityBusWatch*>(watch)->signalled(message);
  return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
}

void AccessibilityBusWatch::signalled(DBusMessage* message) {
  if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_SIGNAL) return;
  if (dbus_message_is_signal(message, DBUS_INTERFACE_LOCAL, "Disconnected")) {
    // Closed on the next look, outside the connection's own dispatch.
    state_ = AccessibilityBus::absent;
    lookDue_ = true;
  } else if (dbus_message_is_signal(message, DBUS_INTERFACE_DBUS, "NameOwnerChanged")) {
    const char *name = nullptr, *before = nullptr, *now = nullptr;
    if (!dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &before,
                               DBUS_TYPE_STRING, &now, DBUS_TYPE_INVALID) ||
        std::strcmp(name, kLauncherName) != 0)
      return;
    if (*now == '\0') {
      state_ = AccessibilityBus::absent;
    } else {
      lookDue_ = true;
    }
  } else if (dbus_message_is_signal(message, DBUS_INTERFACE_PROPERTIES, "PropertiesChanged") &&
             dbus_message_has_path(message, kLauncherPath)) {
    const auto enabled = changedEnabled(message);
    if (!enabled) return;
    state_ = *enabled ? AccessibilityBus::enabled : AccessibilityBus::disabled;
  } else {
    return;
  }
  if (changed_) changed_();
}

}  // namespace accessibility
