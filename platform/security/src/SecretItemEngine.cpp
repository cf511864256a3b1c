#include "security/SecretItemEngine.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

#include "security/Constants.h"

namespace security {
namespace {

namespace k = key;

// Keys that steer a call rather than name an attribute.
constexpr std::array<std::string_view, 11> kControlKeys = {k::kMatchLimit,
                                                           k::kReturnData,
                                                           k::kReturnAttributes,
                                                           k::kReturnRef,
                                                           k::kReturnPersistentRef,
                                                           k::kValueData,
                                                           k::kValueRef,
                                                           k::kValuePersistentRef,
                                                           k::kUseOperationPrompt,
                                                           k::kUseAuthenticationUI,
                                                           k::kUseAuthenticationContext};

// Attributes that identify an item: no two items may share all of them.
constexpr std::array<std::string_view, 5> kGenericPrimary = {
    k::kClass, k::kAccessGroup, k::kSynchronizable, k::kService, k::kAccount};
constexpr std::array<std::string_view, 10> kInternetPrimary = {
    k::kClass,    k::kAccessGroup, k::kSynchronizable,     k::kServer,         k::kPort,
    k::kProtocol, k::kPath,        k::kAuthenticationType, k::kSecurityDomain, k::kAccount};

bool isControlKey(std::string_view key) {
  return std::find(kControlKeys.begin(), kControlKeys.end(), key) != kControlKeys.end();
}

bool isBooleanAttribute(std::string_view key) {
  return key == k::kSynchronizable || key == k::kIsInvisible || key == k::kIsNegative;
}

std::optional<std::string> attributeText(const Value& value) {
  if (auto s = std::get_if<std::string>(&value)) return *s;
  if (auto b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  if (auto i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
  return std::nullopt;
}

bool flag(const Dictionary& d, std::string_view key) {
  auto b = d.get<bool>(key);
  return b && *b;
}

bool isKnownClass(std::string_view c) {
  return c == value::kClassGenericPassword || c == value::kClassInternetPassword;
}

// Writes an item dictionary's entries into the stored form: the data, the label and the
// attributes as text. Nothing is written when an entry has the wrong type.
OSStatus applyEntries(const Dictionary& entries, std::map<std::string, std::string>& attributes,
                      std::string& label, const Bytes*& secret) {
  for (const auto& [key, value] : entries) {
    if (key == k::kValueData || key == k::kLabel || isControlKey(key)) continue;
    if (!attributeText(value)) return status::kParam;
  }
  if (const Value* data = entries.find(k::kValueData)) {
    secret = std::get_if<Bytes>(data);
    if (!secret) return status::kParam;
  }
  if (const Value* text = entries.find(k::kLabel)) {
    if (!std::holds_alternative<std::string>(*text)) return status::kParam;
    label = std::get<std::string>(*text);
  }
  for (const auto& [key, value] : entries)
    if (key != k::kValueData && key != k::kLabel && !isControlKey(key))
      attributes[key] = *attributeText(value);
  return status::kSuccess;
}

}  // namespace

SecretItemEngine::SecretItemEngine(std::shared_ptr<SecretStorage> storage, std::string schemaPrefix)
    : storage_(std::move(storage)), schemaPrefix_(std::move(schemaPrefix)) {}

std::string SecretItemEngine::schemaName(std::string_view itemClass) const {
  return schemaPrefix_ +
         (itemClass == value::kClassInternetPassword ? ".InternetPassword" : ".GenericPassword");
}

OSStatus SecretItemEngine::find(const Dictionary& query, bool loadSecrets,
                                std::vector<StoredItem>& items) {
  const auto* itemClass = query.get<std::string>(k::kClass);
  if (!itemClass) return status::kItemClassMissing;
  if (!isKnownClass(*itemClass)) return status::kNoSuchClass;

  // Only our own schema is ever searched: other programs' secrets stay out of every result.
  std::map<std::string, std::string> attributes{{kSchemaAttribute, schemaName(*itemClass)}};
  const std::string* label = nullptr;
  for (const auto& [key, value] : query) {
    if (isControlKey(key) || std::holds_alternative<SynchronizableAny>(value)) continue;
    if (key == k::kLabel) {
      label = std::get_if<std::string>(&value);
      if (!label) return status::kParam;
      continue;
    }
    auto text = attributeText(value);
    if (!text) return status::kParam;
    attributes[key] = *text;
  }

  LockedItems locked = LockedItems::unlock;
  if (auto ui = query.get<std::string>(k::kUseAuthenticationUI)) {
    if (*ui == value::kAuthenticationUIFail) {
      locked = LockedItems::report;
    } else if (*ui == value::kAuthenticationUISkip) {
      locked = LockedItems::skip;
    } else if (*ui != value::kAuthenticationUIAllow) {
      return status::kParam;
    }
  }

  items.clear();
  if (OSStatus s = storage_->search(attributes, locked, loadSecrets, items)) return s;
  if (label) std::erase_if(items, [label](const StoredItem& i) { return i.label != *label; });
  const bool anyUnlocked =
      std::any_of(items.begin(), items.end(), [](const StoredItem& i) { return !i.locked; });
  if (!items.empty() && !anyUnlocked) {
    if (locked == LockedItems::report) return status::kInteractionNotAllowed;
    // Still locked after unlocking was allowed: the user dismissed the prompt.
    if (locked == LockedItems::unlock) return status::kUserCanceled;
  }
  std::erase_if(items, [](const StoredItem& i) { return i.locked; });
  return items.empty() ? status::kItemNotFound : status::kSuccess;
}

Dictionary SecretItemEngine::attributesOf(const StoredItem& item, bool withData) const {
  Dictionary d;
  if (auto c = item.attributes.find(k::kClass); c != item.attributes.end())
    d.set(k::kClass, c->second);
  for (const auto& [name, text] : item.attributes) {
    if (name == kSchemaAttribute || name == k::kClass) continue;
    if (isBooleanAttribute(name) && (text == "true" || text == "false")) {
      d.set(name, text == "true");
      continue;
    }
    std::int64_t number = 0;
    if (name == k::kPort &&
        std::from_chars(text.data(), text.data() + text.size(), number).ec == std::errc()) {
      d.set(name, number);
      continue;
    }
    d.set(name, text);
  }
  if (!item.label.empty()) d.set(k::kLabel, item.label);
  d.set(k::kCreationDate, item.created);
  d.set(k::kModificationDate, item.modified);
  d.set(k::kValuePersistentRef, Bytes(item.id.begin(), item.id.end()));
  if (withData) d.set(k::kValueData, item.secret);
  return d;
}

OSStatus SecretItemEngine::copyMatching(const Dictionary& query, Result* result) {
  std::lock_guard lock(mutex_);
  const bool wantData = flag(query, k::kReturnData);
  const bool wantAttributes = flag(query, k::kReturnAttributes) || flag(query, k::kReturnRef) ||
                              flag(query, k::kReturnPersistentRef);
  std::vector<StoredItem> items;
  if (OSStatus s = find(query, wantData && result, items)) return s;
  if (!result) return status::kSuccess;

  const auto* limit = query.get<MatchLimit>(k::kMatchLimit);
  if (limit && *limit == MatchLimit::all) {
    if (!wantData && !wantAttributes) {
      *result = std::monostate{};
      return status::kSuccess;
    }
    std::vector<Dictionary> all;
    for (const auto& item : items) all.push_back(attributesOf(item, wantData));
    *result = std::move(all);
  } else if (wantAttributes) {
    *result = attributesOf(items.front(), wantData);
  } else if (wantData) {
    *result = items.front().secret;
  } else {
    *result = std::monostate{};
  }
  return status::kSuccess;
}

OSStatus SecretItemEngine::add(const Dictionary& attributes) {
  std::lock_guard lock(mutex_);
  const auto* itemClass = attributes.get<std::string>(k::kClass);
  if (!itemClass) return status::kItemClassMissing;
  if (!isKnownClass(*itemClass)) return status::kNoSuchClass;
  // A policy that no Secret Service can enforce is refused rather than stored as if it held.
  if (attributes.contains(k::kAccessControl)) return status::kUnimplemented;

  std::map<std::string, std::string> stored{{kSchemaAttribute, schemaName(*itemClass)},
                                            {k::kSynchronizable, "false"}};
  const bool internet = *itemClass == value::kClassInternetPassword;
  std::string label;
  const Bytes* data = nullptr;
  if (OSStatus s = applyEntries(attributes, stored, label, data)) return s;
  const Bytes secret = data ? *data : Bytes();
  if (label.empty()) {
    auto text = [&](std::string_view key) {
      auto it = stored.find(std::string(key));
      return it == stored.end() ? std::string() : it->second;
    };
    const std::string place = text(internet ? k::kServer : k::kService);
    const std::string account = text(k::kAccount);
    label = place.empty() || account.empty() ? place + account : place + " – " + account;
    if (label.empty()) label = internet ? "Internet password" : "Password";
  }

  // The Secret Service keeps duplicates happily; the primary attributes must stay unique.
  std::map<std::string, std::string> primary{{kSchemaAttribute, stored[kSchemaAttribute]}};
  auto primaryKeys = [&](auto&& each) {
    if (internet) {
      for (auto key : kInternetPrimary) each(std::string(key));
    } else {
      for (auto key : kGenericPrimary) each(std::string(key));
    }
  };
  primaryKeys([&](const std::string& key) {
    if (auto it = stored.find(key); it != stored.end()) primary[key] = it->second;
  });
  std::vector<StoredItem> existing;
  OSStatus s = storage_->search(primary, LockedItems::report, false, existing);
  if (s) return s;
  for (const auto& item : existing) {
    bool same = true;
    primaryKeys([&](const std::string& key) {
      auto a = stored.find(key);
      auto b = item.attributes.find(key);
      const bool bothAbsent = a == stored.end() && b == item.attributes.end();
      if (!bothAbsent &&
          (a == stored.end() || b == item.attributes.end() || a->second != b->second))
        same = false;
    });
    if (same) return status::kDuplicateItem;
  }
  return storage_->create(stored, label, secret);
}

OSStatus SecretItemEngine::update(const Dictionary& query, const Dictionary& changes) {
  std::lock_guard lock(mutex_);
  if (changes.contains(k::kAccessControl)) return status::kUnimplemented;
  const auto* queried = query.get<std::string>(k::kClass);
  if (auto c = changes.get<std::string>(k::kClass); c && (!queried || *c != *queried))
    return status::kParam;
  std::vector<StoredItem> items;
  if (OSStatus s = find(query, false, items)) return s;
  for (const auto& item : items) {
    auto attributes = item.attributes;
    std::string label = item.label;
    const Bytes* secret = nullptr;
    if (OSStatus s = applyEntries(changes, attributes, label, secret)) return s;
    if (OSStatus s = storage_->modify(item, attributes, label, secret)) return s;
  }
  return status::kSuccess;
}

OSStatus SecretItemEngine::remove(const Dictionary& query) {
  std::lock_guard lock(mutex_);
  std::vector<StoredItem> items;
  if (OSStatus s = find(query, false, items)) return s;
  for (const auto& item : items)
    if (OSStatus s = storage_->remove(item)) return s;
  return status::kSuccess;
}

}  // namespace security
