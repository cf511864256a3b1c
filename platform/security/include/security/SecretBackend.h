#pragma once

#include <memory>

#include "security/Dictionary.h"

namespace security {

// Keychain items by query dictionary: a query holds the class, attributes that must match
// exactly, and the match, return and use keys of Constants.h. Calls block; keep them off the UI
// thread. Thread-safe.
class SecretBackend {
 public:
  virtual ~SecretBackend() = default;
  // `result` may be null when only the status is wanted.
  virtual OSStatus copyMatching(const Dictionary& query, Result* result) = 0;
  virtual OSStatus add(const Dictionary& attributes) = 0;
  // Changes every item the query matches.
  virtual OSStatus update(const Dictionary& query, const Dictionary& changes) = 0;
  // Deletes every item the query matches.
  virtual OSStatus remove(const Dictionary& query) = 0;

  // The user's Secret Service, opened on first use.
  static std::shared_ptr<SecretBackend> system();
};

}  // namespace security
