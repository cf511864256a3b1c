#include "security/InMemorySecretStorage.h"

#include <algorithm>

#include "security/Constants.h"

namespace security {
namespace {

bool matches(const StoredItem& item, const std::map<std::string, std::string>& attributes) {
  return std::all_of(attributes.begin(), attributes.end(), [&](const auto& wanted) {
    auto it = item.attributes.find(wanted.first);
    return it != item.attributes.end() && it->second == wanted.second;
  });
}

}  // namespace

OSStatus InMemorySecretStorage::search(const std::map<std::string, std::string>& attributes,
                                       LockedItems locked, bool loadSecrets,
                                       std::vector<StoredItem>& items) {
  std::lock_guard lock(mutex_);
  if (failure_) return failure_;
  const bool anyMatch =
      std::any_of(items_.begin(), items_.end(), [&](auto& i) { return matches(i, attributes); });
  if (anyMatch && locked_ && locked == LockedItems::unlock && userUnlocks_) locked_ = false;
  for (const auto& item : items_) {
    if (!matches(item, attributes)) continue;
    StoredItem copy = item;
    copy.locked = locked_;
    if (locked_ || !loadSecrets) copy.secret.clear();
    items.push_back(std::move(copy));
  }
  return status::kSuccess;
}

OSStatus InMemorySecretStorage::create(const std::map<std::string, std::string>& attributes,
                                       const std::string& label, const Bytes& secret) {
  std::lock_guard lock(mutex_);
  if (failure_) return failure_;
  if (locked_ && !userUnlocks_) return status::kUserCanceled;
  locked_ = false;
  const Date now = std::chrono::system_clock::now();
  items_.push_back(
      {"/item/" + std::to_string(nextId_++), attributes, label, secret, false, now, now, nullptr});
  return status::kSuccess;
}

OSStatus InMemorySecretStorage::modify(const StoredItem& item,
                                       const std::map<std::string, std::string>& attributes,
                                       const std::string& label, const Bytes* secret) {
  std::lock_guard lock(mutex_);
  if (failure_) return failure_;
  auto it = std::find_if(items_.begin(), items_.end(), [&](auto& i) { return i.id == item.id; });
  if (it == items_.end()) return status::kItemNotFound;
  it->attributes = attributes;
  it->label = label;
  if (secret) it->secret = *secret;
  it->modified = std::chrono::system_clock::now();
  return status::kSuccess;
}

OSStatus InMemorySecretStorage::remove(const StoredItem& item) {
  std::lock_guard lock(mutex_);
  if (failure_) return failure_;
  return std::erase_if(items_, [&](auto& i) { return i.id == item.id; }) ? status::kSuccess
                                                                         : status::kItemNotFound;
}

void InMemorySecretStorage::setLocked(bool locked) {
  std::lock_guard lock(mutex_);
  locked_ = locked;
}

void InMemorySecretStorage::setUserUnlocks(bool unlocks) {
  std::lock_guard lock(mutex_);
  userUnlocks_ = unlocks;
}

void InMemorySecretStorage::failWith(OSStatus status) {
  std::lock_guard lock(mutex_);
  failure_ = status;
}

std::vector<StoredItem> InMemorySecretStorage::items() const {
  std::lock_guard lock(mutex_);
  return items_;
}

}  // namespace security
