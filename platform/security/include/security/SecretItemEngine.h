#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "security/SecretBackend.h"
#include "security/SecretStorage.h"

namespace security {

// Keychain semantics over a Secret Service: one schema per item class, every search restricted
// to our schemas, uniqueness of an item's primary attributes enforced on add, every item
// marked synchronizable or not, and access-control policies refused because nothing here can
// enforce them.
class SecretItemEngine final : public SecretBackend {
 public:
  // Schemas are "<schemaPrefix>.GenericPassword" and "<schemaPrefix>.InternetPassword".
  SecretItemEngine(std::shared_ptr<SecretStorage> storage, std::string schemaPrefix);

  OSStatus copyMatching(const Dictionary& query, Result* result) override;
  OSStatus add(const Dictionary& attributes) override;
  OSStatus update(const Dictionary& query, const Dictionary& changes) override;
  OSStatus remove(const Dictionary& query) override;

  std::string schemaName(std::string_view itemClass) const;

 private:
  struct Search;
  OSStatus find(const Dictionary& query, bool loadSecrets, std::vector<StoredItem>& items);
  Dictionary attributesOf(const StoredItem& item, bool withData) const;

  std::shared_ptr<SecretStorage> storage_;
  std::string schemaPrefix_;
  std::mutex mutex_;  // makes the existence check and the write of add() one step here
};

// The name of the attribute that holds the schema, as the Secret Service tools expect it.
inline constexpr const char* kSchemaAttribute = "xdg:schema";
// The schema prefix of this program's items.
inline constexpr const char* kDefaultSchemaPrefix = "org.quillcast.Quillcast";

}  // namespace security
