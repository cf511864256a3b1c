#include "security/LibsecretStorage.h"

#include <libsecret/secret.h>

#include <mutex>

#include "security/Constants.h"
#include "security/SecretItemEngine.h"

namespace security {
namespace {

struct ErrorHolder {
  GError* error = nullptr;
  ~ErrorHolder() { g_clear_error(&error); }
  GError** out() {
    g_clear_error(&error);
    return &error;
  }
};

OSStatus statusOf(const GError* error) {
  if (!error) return status::kUnexpected;
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return status::kUserCanceled;
  if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED))
    return status::kInteractionNotAllowed;
  if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_NO_SUCH_OBJECT))
    return status::kItemNotFound;
  if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_ALREADY_EXISTS))
    return status::kDuplicateItem;
  if (error->domain == G_DBUS_ERROR) {
    switch (error->code) {
      case G_DBUS_ERROR_SERVICE_UNKNOWN:
      case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
      case G_DBUS_ERROR_NO_SERVER:
      case G_DBUS_ERROR_DISCONNECTED:
      case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
      case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
      case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
      case G_DBUS_ERROR_FILE_NOT_FOUND:
      case G_DBUS_ERROR_TIMEOUT:
      case G_DBUS_ERROR_TIMED_OUT:
        return status::kNotAvailable;
      case G_DBUS_ERROR_UNKNOWN_METHOD:
      case G_DBUS_ERROR_UNKNOWN_OBJECT:
        return status::kNotAvailable;
      default:
        return status::kUnexpected;
    }
  }
  // No session bus, a socket that is gone, a closed connection.
  if (error->domain == G_IO_ERROR) return status::kNotAvailable;
  return status::kUnexpected;
}

GHashTable* hashTable(const std::map<std::string, std::string>& attributes) {
  GHashTable* table = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
  for (const auto& [k, v] : attributes)
    g_hash_table_insert(table, g_strdup(k.c_str()), g_strdup(v.c_str()));
  return table;
}

Date dateOf(guint64 seconds) {
  return Date(std::chrono::seconds(static_cast<std::int64_t>(seconds)));
}

}  // namespace

struct LibsecretStorage::Impl {
  std::mutex mutex;
  SecretService* service = nullptr;

  // Opened on first use and again after a failure, so a service started later is found.
  OSStatus open() {
    if (service) return status::kSuccess;
    ErrorHolder e;
    service = secret_service_open_sync(SECRET_TYPE_SERVICE, nullptr, SECRET_SERVICE_NONE, nullptr,
                                       e.out());
    if (!service) return e.error ? statusOf(e.error) : status::kNotAvailable;
    // A bus that goes away must not end the program.
    g_dbus_connection_set_exit_on_close(g_dbus_proxy_get_connection(G_DBUS_PROXY(service)), FALSE);
    return status::kSuccess;
  }

  OSStatus fail(const GError* error) {
    const OSStatus s = statusOf(error);
    if (s == status::kNotAvailable && service) {
      g_object_unref(service);
      service = nullptr;
    }
    return s;
  }

  // Unlocks one object; asks the user when the service wants to.
  OSStatus unlock(gpointer object) {
    GList* objects = g_list_append(nullptr, object);
    ErrorHolder e;
    GList* unlocked = nullptr;
    const gint count = secret_service_unlock_sync(service, objects, nullptr, &unlocked, e.out());
    g_list_free(objects);
    g_list_free_full(unlocked, g_object_unref);
    if (e.error) return fail(e.error);
    return count > 0 ? status::kSuccess : status::kUserCanceled;
  }

  // Runs `op` with the service open. A service that restarted since the last call fails once
  // on the old connection's stale view of it; then it is opened afresh and asked again.
  template <class F>
  OSStatus run(F&& op) {
    std::lock_guard lock(mutex);
    for (int attempt = 0;; ++attempt) {
      const bool wasOpen = service != nullptr;
      if (OSStatus s = open()) return s;
      const OSStatus s = op();
      if (s == status::kNotAvailable && wasOpen && attempt == 0) continue;
      return s;
    }
  }

  ~Impl() {
    if (service) g_object_unref(service);
  }
};

LibsecretStorage::LibsecretStorage() : impl_(std::make_unique<Impl>()) {}
LibsecretStorage::~LibsecretStorage() = default;

OSStatus LibsecretStorage::search(const std::map<std::string, std::string>& attributes,
                                  LockedItems locked, bool loadSecrets,
                                  std::vector<StoredItem>& items) {
  return impl_->run([&] { return searchOpen(attributes, locked, loadSecrets, items); });
}

OSStatus LibsecretStorage::searchOpen(const std::map<std::string, std::string>& attributes,
                                      LockedItems locked, bool loadSecrets,
                                      std::vector<StoredItem>& items) {
  int flags = SECRET_SEARCH_ALL;
  if (locked == LockedItems::unlock) flags |= SECRET_SEARCH_UNLOCK;
  if (loadSecrets) flags |= SECRET_SEARCH_LOAD_SECRETS;
  GHashTable* table = hashTable(attributes);
  ErrorHolder e;
  GList* found = secret_service_search_sync(
      impl_->service, nullptr, table, static_cast<SecretSearchFlags>(flags), nullptr, e.out());
  g_hash_table_unref(table);
  if (e.error) return impl_->fail(e.error);
  for (GList* l = found; l; l = l->next) {
    auto* item = SECRET_ITEM(l->data);
    StoredItem stored;
    stored.id = g_dbus_proxy_get_object_path(G_DBUS_PROXY(item));
    if (GHashTable* attrs = secret_item_get_attributes(item)) {
      GHashTableIter it;
      gpointer k, v;
      g_hash_table_iter_init(&it, attrs);
      while (g_hash_table_iter_next(&it, &k, &v))
        stored.attributes[static_cast<const char*>(k)] = static_cast<const char*>(v);
      g_hash_table_unref(attrs);
    }
    if (gchar* label = secret_item_get_label(item)) {
      stored.label = label;
      g_free(label);
    }
    stored.locked = secret_item_get_locked(item);
    stored.created = dateOf(secret_item_get_created(item));
    stored.modified = dateOf(secret_item_get_modified(item));
    if (SecretValue* value =
            loadSecrets && !stored.locked ? secret_item_get_secret(item) : nullptr) {
      gsize length = 0;
      const gchar* bytes = secret_value_get(value, &length);
      stored.secret.assign(bytes, bytes + length);
      secret_value_unref(value);
    }
    stored.handle = std::shared_ptr<void>(g_object_ref(item), g_object_unref);
    items.push_back(std::move(stored));
  }
  g_list_free_full(found, g_object_unref);
  return status::kSuccess;
}

OSStatus LibsecretStorage::create(const std::map<std::string, std::string>& attributes,
                                  const std::string& label, const Bytes& secret) {
  return impl_->run([&] { return createOpen(attributes, label, secret); });
}

OSStatus LibsecretStorage::createOpen(const std::map<std::string, std::string>& attributes,
                                      const std::string& label, const Bytes& secret) {
  ErrorHolder e;
  SecretCollection* collection = secret_collection_for_alias_sync(
      impl_->service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, e.out());
  if (!collection) return e.error ? impl_->fail(e.error) : status::kNoDefaultKeychain;
  OSStatus s = status::kSuccess;
  if (secret_collection_get_locked(collection)) s = impl_->unlock(collection);
  if (!s) {
    GHashTable* table = hashTable(attributes);
    SecretValue* value =
        secret_value_new(reinterpret_cast<const gchar*>(secret.data()),
                         static_cast<gssize>(secret.size()), "application/octet-stream");
    SecretItem* item = secret_item_create_sync(collection, nullptr, table, label.c_str(), value,
                                               SECRET_ITEM_CREATE_NONE, nullptr, e.out());
    secret_value_unref(value);
    g_hash_table_unref(table);
    if (item) {
      g_object_unref(item);
    } else {
      s = impl_->fail(e.error);
    }
  }
  g_object_unref(collection);
  return s;
}

OSStatus LibsecretStorage::modify(const StoredItem& stored,
                                  const std::map<std::string, std::string>& attributes,
                                  const std::string& label, const Bytes* secret) {
  return impl_->run([&] { return modifyOpen(stored, attributes, label, secret); });
}

OSStatus LibsecretStorage::modifyOpen(const StoredItem& stored,
                                      const std::map<std::string, std::string>& attributes,
                                      const std::string& label, const Bytes* secret) {
  auto* item = SECRET_ITEM(stored.handle.get());
  if (secret_item_get_locked(item))
    if (OSStatus s = impl_->unlock(item)) return s;
  ErrorHolder e;
  GHashTable* table = hashTable(attributes);
  const bool ok = secret_item_set_attributes_sync(item, nullptr, table, nullptr, e.out());
  g_hash_table_unref(table);
  if (!ok) return impl_->fail(e.error);
  if (label != stored.label && !secret_item_set_label_sync(item, label.c_str(), nullptr, e.out()))
    return impl_->fail(e.error);
  if (secret) {
    SecretValue* value =
        secret_value_new(reinterpret_cast<const gchar*>(secret->data()),
                         static_cast<gssize>(secret->size()), "application/octet-stream");
    const bool set = secret_item_set_secret_sync(item, value, nullptr, e.out());
    secret_value_unref(value);
    if (!set) return impl_->fail(e.error);
  }
  return status::kSuccess;
}

OSStatus LibsecretStorage::remove(const StoredItem& stored) {
  return impl_->run([&] { return removeOpen(stored); });
}

OSStatus LibsecretStorage::removeOpen(const StoredItem& stored) {
  ErrorHolder e;
  if (!secret_item_delete_sync(SECRET_ITEM(stored.handle.get()), nullptr, e.out()))
    return impl_->fail(e.error);
  return status::kSuccess;
}

std::shared_ptr<SecretBackend> SecretBackend::system() {
  static const std::shared_ptr<SecretBackend> backend = std::make_shared<SecretItemEngine>(
      std::make_shared<LibsecretStorage>(), kDefaultSchemaPrefix);
  return backend;
}

}  // namespace security
