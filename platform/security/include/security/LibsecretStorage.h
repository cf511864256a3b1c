#pragma once

#include <memory>

#include "security/SecretStorage.h"

namespace security {

// The Secret Service of the session bus (gnome-keyring, KWallet, KeePassXC) through libsecret.
// New items go into the default collection. A service that is not running, or no session bus,
// gives kNotAvailable on every call.
class LibsecretStorage final : public SecretStorage {
 public:
  LibsecretStorage();
  ~LibsecretStorage() override;

  OSStatus search(const std::map<std::string, std::string>& attributes, LockedItems locked,
                  bool loadSecrets, std::vector<StoredItem>& items) override;
  OSStatus create(const std::map<std::string, std::string>& attributes, const std::string& label,
                  const Bytes& secret) override;
  OSStatus modify(const StoredItem& item, const std::map<std::string, std::string>& attributes,
                  const std::string& label, const Bytes* secret) override;
  OSStatus remove(const StoredItem& item) override;

 private:
  OSStatus searchOpen(const std::map<std::string, std::string>& attributes, LockedItems locked,
                      bool loadSecrets, std::vector<StoredItem>& items);
  OSStatus createOpen(const std::map<std::string, std::string>& attributes,
                      const std::string& label, const Bytes& secret);
  OSStatus modifyOpen(const StoredItem& item, const std::map<std::string, std::string>& attributes,
                      const std::string& label, const Bytes* secret);
  OSStatus removeOpen(const StoredItem& item);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace security
