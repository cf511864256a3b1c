#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "security/SecretItemEngine.h"
#include "security/SecretStorage.h"

namespace security {

// A Secret Service in memory, for tests: a lockable collection, a user who accepts or dismisses
// the unlock prompt, and failures on demand.
class InMemorySecretStorage final : public SecretStorage {
 public:
  OSStatus search(const std::map<std::string, std::string>& attributes, LockedItems locked,
                  bool loadSecrets, std::vector<StoredItem>& items) override;
  OSStatus create(const std::map<std::string, std::string>& attributes, const std::string& label,
                  const Bytes& secret) override;
  OSStatus modify(const StoredItem& item, const std::map<std::string, std::string>& attributes,
                  const std::string& label, const Bytes* secret) override;
  OSStatus remove(const StoredItem& item) override;

  void setLocked(bool locked);
  void setUserUnlocks(bool unlocks);
  // Every call fails with this status until cleared with success.
  void failWith(OSStatus status);
  std::vector<StoredItem> items() const;

 private:
  mutable std::mutex mutex_;
  std::vector<StoredItem> items_;
  bool locked_ = false, userUnlocks_ = true;
  OSStatus failure_ = 0;
  int nextId_ = 1;
};

// An engine over a fresh in-memory storage, and that storage.
struct InMemorySecretBackend {
  std::shared_ptr<InMemorySecretStorage> storage = std::make_shared<InMemorySecretStorage>();
  std::shared_ptr<SecretItemEngine> backend =
      std::make_shared<SecretItemEngine>(storage, kDefaultSchemaPrefix);
};

}  // namespace security
