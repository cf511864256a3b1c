#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "security/Dictionary.h"

namespace security {

// How a search treats locked items: unlock them (the user may be asked), report them as
// needing interaction, or leave them out.
enum class LockedItems { unlock, report, skip };

// One stored secret as a Secret Service keeps it: text attributes, a label and the bytes.
struct StoredItem {
  std::string id;  // stable for the item's life (the D-Bus object path)
  std::map<std::string, std::string> attributes;
  std::string label;
  Bytes secret;  // loaded only when asked for and unlocked
  bool locked = false;
  Date created{}, modified{};
  std::shared_ptr<void> handle;  // the backend's own object
};

// The few operations of a Secret Service that the item engine builds on.
class SecretStorage {
 public:
  virtual ~SecretStorage() = default;
  // Every item whose attributes include all of `attributes`. With LockedItems::unlock the
  // storage tries to unlock what matched; items that stay locked come back locked.
  virtual OSStatus search(const std::map<std::string, std::string>& attributes, LockedItems locked,
                          bool loadSecrets, std::vector<StoredItem>& items) = 0;
  virtual OSStatus create(const std::map<std::string, std::string>& attributes,
                          const std::string& label, const Bytes& secret) = 0;
  // Replaces the attributes and label; the secret only when given.
  virtual OSStatus modify(const StoredItem& item,
                          const std::map<std::string, std::string>& attributes,
                          const std::string& label, const Bytes* secret) = 0;
  virtual OSStatus remove(const StoredItem& item) = 0;
};

}  // namespace security
