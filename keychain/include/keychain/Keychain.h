#pragma once

#include <security/SecretBackend.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "keychain/Attributes.h"
#include "keychain/Options.h"
#include "keychain/Status.h"

namespace keychain {

using security::Bytes;

// The application id that a Keychain made without a service uses ("" until set). Set once at
// start-up, before any Keychain is made.
void setApplicationId(std::string id);
const std::string& applicationId();

// One family of password items (a generic-password service or an internet-password server) with
// the options for new items. Immutable: every modifier returns a changed copy, so one value
// may be used from any thread. Every operation blocks on the secret store: keep it off the UI
// thread. Failures throw KeychainError.
class Keychain {
 public:
  // The service is the application id.
  Keychain();
  static Keychain withService(std::string service);
  static Keychain withAccessGroup(std::string accessGroup);
  static Keychain withService(std::string service, std::string accessGroup);
  // An internet-password family. A server without a host is refused (param): it would reach
  // every server's items.
  static Keychain withServer(const foundation::URL& server, ProtocolType protocolType,
                             std::optional<std::string> accessGroup = std::nullopt,
                             AuthenticationType authenticationType = AuthenticationType::default_);
  // The text must be a URL with a host (param otherwise).
  static Keychain withServer(std::string_view server, ProtocolType protocolType,
                             std::optional<std::string> accessGroup = std::nullopt,
                             AuthenticationType authenticationType = AuthenticationType::default_);

  const Options& options() const { return options_; }
  ItemClass itemClass() const { return options_.itemClass; }
  const std::string& service() const { return options_.service; }
  const std::optional<std::string>& accessGroup() const { return options_.accessGroup; }
  const std::optional<foundation::URL>& server() const { return options_.server; }
  std::optional<ProtocolType> protocolType() const { return options_.protocolType; }
  AuthenticationType authenticationType() const { return options_.authenticationType; }
  Accessibility accessibility() const { return options_.accessibility; }
  std::optional<AuthenticationPolicy> authenticationPolicy() const {
    return options_.authenticationPolicy;
  }
  bool synchronizable() const { return options_.synchronizable; }
  const std::optional<std::string>& label() const { return options_.label; }
  const std::optional<std::string>& comment() const { return options_.comment; }
  const std::optional<std::string>& authenticationPrompt() const {
    return options_.authenticationPrompt;
  }
  AuthenticationUI authenticationUI() const {
    return options_.authenticationUI.value_or(AuthenticationUI::allow);
  }
  const security::Opaque& authenticationContext() const { return options_.authenticationContext; }

  Keychain accessibility(Accessibility accessibility) const;
  // Refused when the item is written: nothing here can enforce such a policy.
  Keychain accessibility(Accessibility accessibility, AuthenticationPolicy policy) const;
  Keychain synchronizable(bool synchronizable) const;
  Keychain label(std::string label) const;
  Keychain comment(std::string comment) const;
  Keychain attributes(const security::Dictionary& attributes) const;
  Keychain authenticationPrompt(std::string prompt) const;
  Keychain authenticationUI(AuthenticationUI ui) const;
  Keychain authenticationContext(security::Opaque context) const;
  // The store this keychain talks to (the user's Secret Service by default).
  Keychain backend(std::shared_ptr<security::SecretBackend> backend) const;

  std::optional<Bytes> getData(const std::string& key,
                               bool ignoringAttributeSynchronizable = true) const;
  std::optional<std::string> getString(const std::string& key,
                                       bool ignoringAttributeSynchronizable = true) const;
  std::optional<std::string> get(const std::string& key,
                                 bool ignoringAttributeSynchronizable = true) const {
    return getString(key, ignoringAttributeSynchronizable);
  }
  template <class F>
  auto get(const std::string& key, bool ignoringAttributeSynchronizable, F&& handler) const {
    return std::forward<F>(handler)(getAttributes(key, ignoringAttributeSynchronizable));
  }
  void set(std::string_view value, const std::string& key,
           bool ignoringAttributeSynchronizable = true) const;
  void set(const Bytes& value, const std::string& key,
           bool ignoringAttributeSynchronizable = true) const;
  void remove(const std::string& key, bool ignoringAttributeSynchronizable = true) const;
  void removeAll() const;
  bool contains(const std::string& key, bool withoutAuthenticationUI = false) const;

  // The subscripts: never throw; reading gives none on failure, writing none removes the item.
  std::optional<std::string> operator[](const std::string& key) const { return string(key); }
  std::optional<std::string> string(const std::string& key) const;
  void setString(const std::string& key, const std::optional<std::string>& value) const;
  std::optional<Bytes> data(const std::string& key) const;
  void setData(const std::string& key, const std::optional<Bytes>& value) const;
  std::optional<Attributes> attributes(const std::string& key) const;

  // Listing never throws: failures log their status line and give an empty result.
  static std::vector<std::pair<std::string, std::string>> allKeys(
      ItemClass itemClass,
      const std::shared_ptr<security::SecretBackend>& backend = security::SecretBackend::system());
  static std::vector<security::Dictionary> allItems(
      ItemClass itemClass,
      const std::shared_ptr<security::SecretBackend>& backend = security::SecretBackend::system());
  std::vector<std::string> allKeys() const;
  std::vector<security::Dictionary> allItems() const;
  // "[]", or "[", one readable item a line indented by two spaces, "]".
  std::string description() const;
  std::string debugDescription() const;

  // The query that finds this family's items.
  security::Dictionary searchQuery(bool ignoringAttributeSynchronizable) const;

 private:
  explicit Keychain(Options options);
  std::optional<Attributes> getAttributes(const std::string& key, bool ignoring) const;
  security::Dictionary itemAttributes(const std::string* key, const Bytes& value) const;
  std::vector<security::Dictionary> items() const;

  Options options_;
  std::shared_ptr<security::SecretBackend> backend_;
};

// Well-formed UTF-8, the test for bytes that may be read as text.
bool isValidUTF8(const Bytes& bytes);

// One raw attribute dictionary in readable form ("class", "service" or "server", "key",
// "value", "accessibility", "synchronizable" ...).
security::Dictionary readableItem(const security::Dictionary& attributes, ItemClass itemClass);

}  // namespace keychain
