#include "keychain/Keychain.h"

#include <foundation/UTF8.h>
#include <security/Constants.h>

#include <cstdio>

namespace keychain {

namespace k = security::key;
using security::Dictionary;
using security::Result;

namespace {

std::string& applicationIdStorage() {
  static std::string id;
  return id;
}

void printLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

[[noreturn]] void fail(OSStatus code) {
  throw KeychainError(errorForStatus(code));
}

}  // namespace

bool isValidUTF8(const Bytes& bytes) {
  return foundation::utf8::isValid(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void setApplicationId(std::string id) {
  applicationIdStorage() = std::move(id);
}
const std::string& applicationId() {
  return applicationIdStorage();
}

Keychain::Keychain(Options options)
    : options_(std::move(options)), backend_(security::SecretBackend::system()) {}

Keychain::Keychain() : Keychain(Options{}) {
  options_.service = applicationId();
}

Keychain Keychain::withService(std::string service) {
  Options o;
  o.service = std::move(service);
  return Keychain(std::move(o));
}

Keychain Keychain::withAccessGroup(std::string accessGroup) {
  Keychain keychain;
  keychain.options_.accessGroup = std::move(accessGroup);
  return keychain;
}

Keychain Keychain::withService(std::string service, std::string accessGroup) {
  Options o;
  o.service = std::move(service);
  o.accessGroup = std::move(accessGroup);
  return Keychain(std::move(o));
}

Keychain Keychain::withServer(const foundation::URL& server, ProtocolType protocolType,
                              std::optional<std::string> accessGroup,
                              AuthenticationType authenticationType) {
  // Without a host the queries would match the items of every server.
  if (server.host().empty()) throw KeychainError(Status::param);
  Options o;
  o.itemClass = ItemClass::internetPassword;
  o.server = server;
  o.protocolType = protocolType;
  o.accessGroup = std::move(accessGroup);
  o.authenticationType = authenticationType;
  return Keychain(std::move(o));
}

Keychain Keychain::withServer(std::string_view server, ProtocolType protocolType,
                              std::optional<std::string> accessGroup,
                              AuthenticationType authenticationType) {
  auto url = foundation::URL::parse(server);
  if (!url) throw KeychainError(Status::param);
  return withServer(*url, protocolType, std::move(accessGroup), authenticationType);
}

#define KEYCHAIN_MODIFIER(signature, change) \
  Keychain Keychain::signature const {       \
    Keychain copy = *this;                   \
    change;                                  \
    return copy;                             \
  }

KEYCHAIN_MODIFIER(accessibility(Accessibility a), copy.options_.accessibility = a)
KEYCHAIN_MODIFIER(accessibility(Accessibility a, AuthenticationPolicy p),
                  (copy.options_.accessibility = a, copy.options_.authenticationPolicy = p))
KEYCHAIN_MODIFIER(synchronizable(bool s), copy.options_.synchronizable = s)
KEYCHAIN_MODIFIER(label(std::string l), copy.options_.label = std::move(l))
KEYCHAIN_MODIFIER(comment(std::string c), copy.options_.comment = std::move(c))
KEYCHAIN_MODIFIER(attributes(const Dictionary& a), copy.options_.attributes.merge(a))
KEYCHAIN_MODIFIER(authenticationPrompt(std::string p),
                  copy.options_.authenticationPrompt = std::move(p))
KEYCHAIN_MODIFIER(authenticationUI(AuthenticationUI ui), copy.options_.authenticationUI = ui)
KEYCHAIN_MODIFIER(authenticationContext(security::Opaque c),
                  copy.options_.authenticationContext = std::move(c))
KEYCHAIN_MODIFIER(backend(std::shared_ptr<security::SecretBackend> b), copy.backend_ = std::move(b))

#undef KEYCHAIN_MODIFIER

Dictionary Keychain::searchQuery(bool ignoringAttributeSynchronizable) const {
  Dictionary q;
  q.set(k::kClass, std::string(rawValue(options_.itemClass)));
  if (options_.accessGroup) q.set(k::kAccessGroup, *options_.accessGroup);
  if (ignoringAttributeSynchronizable) {
    q.set(k::kSynchronizable, security::SynchronizableAny{});
  } else {
    q.set(k::kSynchronizable, options_.synchronizable);
  }
  if (options_.itemClass == ItemClass::genericPassword) {
    q.set(k::kService, options_.service);
  } else {
    if (options_.server && !options_.server->host().empty())
      q.set(k::kServer, options_.server->host());
    if (options_.server && options_.server->port())
      q.set(k::kPort, static_cast<std::int64_t>(*options_.server->port()));
    if (options_.protocolType) q.set(k::kProtocol, std::string(rawValue(*options_.protocolType)));
    q.set(k::kAuthenticationType, std::string(rawValue(options_.authenticationType)));
  }
  if (options_.authenticationPrompt) q.set(k::kUseOperationPrompt, *options_.authenticationPrompt);
  if (options_.authenticationContext)
    q.set(k::kUseAuthenticationContext, options_.authenticationContext);
  return q;
}

Dictionary Keychain::itemAttributes(const std::string* key, const Bytes& value) const {
  Dictionary a;
  if (key) {
    a = searchQuery(true);
    a.set(k::kAccount, *key);
  }
  a.set(k::kValueData, value);
  if (options_.label) a.set(k::kLabel, *options_.label);
  if (options_.comment) a.set(k::kComment, *options_.comment);
  if (options_.authenticationPolicy) {
    // No Secret Service enforces per-item policies; storing one would promise a protection that
    // the item does not have.
    throw KeychainError(Status::unimplemented);
  }
  a.set(k::kAccessible, std::string(rawValue(options_.accessibility)));
  a.set(k::kSynchronizable, options_.synchronizable);
  return a;
}

std::optional<Bytes> Keychain::getData(const std::string& key, bool ignoring) const {
  Dictionary q = searchQuery(ignoring);
  q.set(k::kMatchLimit, security::MatchLimit::one);
  q.set(k::kReturnData, true);
  q.set(k::kAccount, key);
  Result result;
  const OSStatus s = backend_->copyMatching(q, &result);
  if (s == security::status::kItemNotFound) return std::nullopt;
  if (s != security::status::kSuccess) fail(s);
  if (auto* data = std::get_if<Bytes>(&result)) return *data;
  throw KeychainError(Status::unexpectedError);
}

std::optional<std::string> Keychain::getString(const std::string& key, bool ignoring) const {
  auto data = getData(key, ignoring);
  if (!data) return std::nullopt;
  if (!isValidUTF8(*data)) {
    printLine("failed to convert data to string");
    throw KeychainError(Status::conversionError);
  }
  return std::string(data->begin(), data->end());
}

std::optional<Attributes> Keychain::getAttributes(const std::string& key, bool ignoring) const {
  Dictionary q = searchQuery(ignoring);
  q.set(k::kMatchLimit, security::MatchLimit::one);
  q.set(k::kReturnData, true);
  q.set(k::kReturnAttributes, true);
  q.set(k::kReturnRef, true);
  q.set(k::kReturnPersistentRef, true);
  q.set(k::kAccount, key);
  Result result;
  const OSStatus s = backend_->copyMatching(q, &result);
  if (s == security::status::kItemNotFound) return std::nullopt;
  if (s != security::status::kSuccess) fail(s);
  if (auto* d = std::get_if<Dictionary>(&result)) return Attributes(*d);
  throw KeychainError(Status::unexpectedError);
}

void Keychain::set(std::string_view value, const std::string& key, bool ignoring) const {
  const Bytes bytes(value.begin(), value.end());
  if (!isValidUTF8(bytes)) {
    printLine("failed to convert string to data");
    throw KeychainError(Status::conversionError);
  }
  set(bytes, key, ignoring);
}

void Keychain::set(const Bytes& value, const std::string& key, bool ignoring) const {
  Dictionary exists = searchQuery(ignoring);
  exists.set(k::kAccount, key);
  exists.set(k::kReturnData, true);
  exists.set(k::kUseAuthenticationUI,
             std::string(rawValue(options_.authenticationUI.value_or(AuthenticationUI::fail))));
  const OSStatus s = backend_->copyMatching(exists, nullptr);

  // A failure to build the item is printed on a line of its own; nothing is written then.
  auto build = [&](const std::string* withKey) {
    try {
      Dictionary attributes = itemAttributes(withKey, value);
      attributes.merge(options_.attributes);
      return attributes;
    } catch (const KeychainError& error) {
      printLine(keychain::description(error.status()));
      throw;
    }
  };
  if (s == security::status::kSuccess || s == security::status::kInteractionNotAllowed) {
    // The match keeps the synchronizable setting of the check above, so an item with the other
    // setting is left alone.
    Dictionary match = searchQuery(ignoring);
    match.set(k::kAccount, key);
    if (OSStatus u = backend_->update(match, build(nullptr))) fail(u);
  } else if (s == security::status::kItemNotFound) {
    if (OSStatus a = backend_->add(build(&key))) fail(a);
  } else {
    fail(s);
  }
}

void Keychain::remove(const std::string& key, bool ignoring) const {
  Dictionary q = searchQuery(ignoring);
  q.set(k::kAccount, key);
  const OSStatus s = backend_->remove(q);
  if (s != security::status::kSuccess && s != security::status::kItemNotFound) fail(s);
}

void Keychain::removeAll() const {
  Dictionary q = searchQuery(true);
  q.set(k::kMatchLimit, security::MatchLimit::all);
  const OSStatus s = backend_->remove(q);
  if (s != security::status::kSuccess && s != security::status::kItemNotFound) fail(s);
}

bool Keychain::contains(const std::string& key, bool withoutAuthenticationUI) const {
  Dictionary q = searchQuery(true);
  q.set(k::kAccount, key);
  if (withoutAuthenticationUI) {
    q.set(k::kUseAuthenticationUI,
          std::string(rawValue(options_.authenticationUI.value_or(AuthenticationUI::fail))));
  } else if (options_.authenticationUI) {
    q.set(k::kUseAuthenticationUI, std::string(rawValue(*options_.authenticationUI)));
  }
  const OSStatus s = backend_->copyMatching(q, nullptr);
  if (s == security::status::kSuccess) return true;
  if (s == security::status::kItemNotFound) return false;
  if (s == security::status::kInteractionNotAllowed) return withoutAuthenticationUI;
  fail(s);
}

std::optional<std::string> Keychain::string(const std::string& key) const {
  try {
    return getString(key, true);
  } catch (const KeychainError&) {
    return std::nullopt;
  }
}

void Keychain::setString(const std::string& key, const std::optional<std::string>& value) const {
  try {
    if (value) {
      set(std::string_view(*value), key, true);
    } else {
      remove(key, true);
    }
  } catch (const KeychainError&) {
  }
}

std::optional<Bytes> Keychain::data(const std::string& key) const {
  try {
    return getData(key, true);
  } catch (const KeychainError&) {
    return std::nullopt;
  }
}

void Keychain::setData(const std::string& key, const std::optional<Bytes>& value) const {
  try {
    if (value) {
      set(*value, key, true);
    } else {
      remove(key, true);
    }
  } catch (const KeychainError&) {
  }
}

std::optional<Attributes> Keychain::attributes(const std::string& key) const {
  try {
    return getAttributes(key, true);
  } catch (const KeychainError&) {
    return std::nullopt;
  }
}

}  // namespace keychain
