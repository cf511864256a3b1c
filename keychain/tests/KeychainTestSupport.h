#pragma once

#include <gtest/gtest.h>
#include <keychain/Keychain.h>
#include <security/Constants.h>
#include <security/InMemorySecretStorage.h>

#include <functional>
#include <string>

namespace keychain::testing {

inline Bytes bytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// What `run` printed to standard output.
inline std::string printed(const std::function<void()>& run) {
  ::testing::internal::CaptureStdout();
  run();
  return ::testing::internal::GetCapturedStdout();
}

// A backend that answers every call with one scripted status and result, and records queries.
class ScriptedBackend final : public security::SecretBackend {
 public:
  OSStatus status = 0;
  security::Result result;
  std::vector<security::Dictionary> queries;

  OSStatus copyMatching(const security::Dictionary& query, security::Result* out) override {
    queries.push_back(query);
    if (out) *out = result;
    return status;
  }
  OSStatus add(const security::Dictionary& a) override { return record(a); }
  OSStatus update(const security::Dictionary& q, const security::Dictionary&) override {
    return record(q);
  }
  OSStatus remove(const security::Dictionary& q) override { return record(q); }

 private:
  OSStatus record(const security::Dictionary& d) {
    queries.push_back(d);
    return status;
  }
};

}  // namespace keychain::testing
