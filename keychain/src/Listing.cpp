#include <security/Constants.h>

#include "keychain/Keychain.h"

namespace keychain {

namespace k = security::key;
using security::Dictionary;

namespace {

// Attribute dictionaries of a search; failures other than "nothing found" log their line.
std::vector<Dictionary> search(security::SecretBackend& backend, const Dictionary& query) {
  security::Result result;
  const OSStatus s = backend.copyMatching(query, &result);
  if (s == security::status::kItemNotFound) return {};
  if (s == security::status::kSuccess) {
    if (auto* items = std::get_if<std::vector<Dictionary>>(&result)) return *items;
  }
  errorForStatus(s);
  return {};
}

std::string textOr(const Dictionary& d, std::string_view key) {
  const auto* text = d.get<std::string>(key);
  return text ? *text : std::string();
}

template <class T>
void setDescription(Dictionary& out, std::string_view key, const Dictionary& raw,
                    std::string_view rawKey) {
  if (const auto* text = raw.get<std::string>(rawKey))
    if (auto value = fromRawValue<T>(*text)) out.set(key, std::string(description(*value)));
}

}  // namespace

Dictionary readableItem(const Dictionary& raw, ItemClass itemClass) {
  Dictionary item;
  item.set("class", std::string(description(itemClass)));
  if (const auto* group = raw.get<std::string>(k::kAccessGroup)) item.set("accessGroup", *group);
  if (itemClass == ItemClass::genericPassword) {
    if (const auto* service = raw.get<std::string>(k::kService)) item.set("service", *service);
  } else {
    if (const auto* server = raw.get<std::string>(k::kServer)) item.set("server", *server);
    setDescription<ProtocolType>(item, "protocol", raw, k::kProtocol);
    setDescription<AuthenticationType>(item, "authenticationType", raw, k::kAuthenticationType);
  }
  if (const auto* account = raw.get<std::string>(k::kAccount)) item.set("key", *account);
  if (const auto* data = raw.get<Bytes>(k::kValueData)) {
    // Text when it decodes, the bytes otherwise.
    const bool text = isValidUTF8(*data);
    if (text) {
      item.set("value", std::string(data->begin(), data->end()));
    } else {
      item.set("value", *data);
    }
  }
  setDescription<Accessibility>(item, "accessibility", raw, k::kAccessible);
  if (const auto* sync = raw.get<bool>(k::kSynchronizable))
    item.set("synchronizable", std::string(*sync ? "true" : "false"));
  return item;
}

std::vector<std::pair<std::string, std::string>> Keychain::allKeys(
    ItemClass itemClass, const std::shared_ptr<security::SecretBackend>& backend) {
  std::vector<std::pair<std::string, std::string>> keys;
  const Dictionary query{{k::kClass, std::string(rawValue(itemClass))},
                         {k::kSynchronizable, security::SynchronizableAny{}},
                         {k::kMatchLimit, security::MatchLimit::all},
                         {k::kReturnAttributes, true}};
  for (const auto& raw : search(*backend, query)) {
    const Dictionary item = readableItem(raw, itemClass);
    keys.emplace_back(textOr(item, itemClass == ItemClass::internetPassword ? "server" : "service"),
                      textOr(item, "key"));
  }
  return keys;
}

std::vector<Dictionary> Keychain::allItems(
    ItemClass itemClass, const std::shared_ptr<security::SecretBackend>& backend) {
  const Dictionary query{{k::kClass, std::string(rawValue(itemClass))},
                         {k::kMatchLimit, security::MatchLimit::all},
                         {k::kReturnAttributes, true}};
  std::vector<Dictionary> items;
  for (const auto& raw : search(*backend, query)) items.push_back(readableItem(raw, itemClass));
  return items;
}

std::vector<Dictionary> Keychain::items() const {
  Dictionary query = searchQuery(true);
  query.set(k::kMatchLimit, security::MatchLimit::all);
  query.set(k::kReturnAttributes, true);
  return search(*backend_, query);
}

std::vector<std::string> Keychain::allKeys() const {
  std::vector<std::string> keys;
  for (const auto& raw : items()) {
    const Dictionary item = readableItem(raw, options_.itemClass);
    if (const auto* key = item.get<std::string>("key")) keys.push_back(*key);
  }
  return keys;
}

std::vector<Dictionary> Keychain::allItems() const {
  std::vector<Dictionary> readable;
  for (const auto& raw : items()) readable.push_back(readableItem(raw, options_.itemClass));
  return readable;
}

std::string Keychain::description() const {
  const auto readable = allItems();
  if (readable.empty()) return "[]";
  std::string text = "[\n";
  for (const auto& item : readable) text += "  " + textForm(item) + "\n";
  return text + "]";
}

std::string Keychain::debugDescription() const {
  return textForm(items());
}

}  // namespace keychain
