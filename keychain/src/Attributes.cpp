#include "keychain/Attributes.h"

#include <security/Constants.h>

#include <ctime>

namespace keychain {

namespace k = security::key;
using security::Bytes;
using security::Date;

std::optional<std::string> Attributes::itemClass() const {
  return get<std::string>(k::kClass);
}
std::optional<Bytes> Attributes::data() const {
  return get<Bytes>(k::kValueData);
}
std::optional<Bytes> Attributes::ref() const {
  return get<Bytes>(k::kValueRef);
}
std::optional<Bytes> Attributes::persistentRef() const {
  return get<Bytes>(k::kValuePersistentRef);
}
std::optional<std::string> Attributes::accessible() const {
  return get<std::string>(k::kAccessible);
}
std::optional<std::string> Attributes::accessGroup() const {
  return get<std::string>(k::kAccessGroup);
}
std::optional<bool> Attributes::synchronizable() const {
  return get<bool>(k::kSynchronizable);
}
std::optional<Date> Attributes::creationDate() const {
  return get<Date>(k::kCreationDate);
}
std::optional<Date> Attributes::modificationDate() const {
  return get<Date>(k::kModificationDate);
}
std::optional<std::string> Attributes::attributeDescription() const {
  return get<std::string>(k::kDescription);
}
std::optional<std::string> Attributes::comment() const {
  return get<std::string>(k::kComment);
}
std::optional<std::string> Attributes::creator() const {
  return get<std::string>(k::kCreator);
}
std::optional<std::string> Attributes::type() const {
  return get<std::string>(k::kType);
}
std::optional<std::string> Attributes::label() const {
  return get<std::string>(k::kLabel);
}
std::optional<bool> Attributes::isInvisible() const {
  return get<bool>(k::kIsInvisible);
}
std::optional<bool> Attributes::isNegative() const {
  return get<bool>(k::kIsNegative);
}
std::optional<std::string> Attributes::account() const {
  return get<std::string>(k::kAccount);
}
std::optional<std::string> Attributes::service() const {
  return get<std::string>(k::kService);
}
std::optional<Bytes> Attributes::generic() const {
  return get<Bytes>(k::kGeneric);
}
std::optional<std::string> Attributes::securityDomain() const {
  return get<std::string>(k::kSecurityDomain);
}
std::optional<std::string> Attributes::server() const {
  return get<std::string>(k::kServer);
}
std::optional<std::string> Attributes::protocol() const {
  return get<std::string>(k::kProtocol);
}
std::optional<std::string> Attributes::authenticationType() const {
  return get<std::string>(k::kAuthenticationType);
}
std::optional<std::int64_t> Attributes::port() const {
  return get<std::int64_t>(k::kPort);
}
std::optional<std::string> Attributes::path() const {
  return get<std::string>(k::kPath);
}

std::string Attributes::description() const {
  return textForm(attributes_);
}

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string textOf(const security::Value& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return quoted(v);
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? "true" : "false";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return std::to_string(v);
        } else if constexpr (std::is_same_v<T, Bytes>) {
          return std::to_string(v.size()) + " bytes";
        } else if constexpr (std::is_same_v<T, Date>) {
          const std::time_t t = std::chrono::system_clock::to_time_t(v);
          std::tm utc{};
          gmtime_r(&t, &utc);
          char buffer[32];
          std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &utc);
          return buffer;
        } else if constexpr (std::is_same_v<T, security::SynchronizableAny>) {
          return "any";
        } else if constexpr (std::is_same_v<T, security::MatchLimit>) {
          return v == security::MatchLimit::all ? "all" : "one";
        } else {
          return "<object>";
        }
      },
      value);
}

}  // namespace

std::string textForm(const security::Dictionary& dictionary) {
  if (dictionary.empty()) return "[:]";
  std::string out = "[";
  bool first = true;
  for (const auto& [key, value] : dictionary) {
    if (!first) out += ", ";
    first = false;
    out += quoted(key) + ": " + textOf(value);
  }
  return out + "]";
}

std::string textForm(const std::vector<security::Dictionary>& dictionaries) {
  std::string out = "[";
  for (std::size_t i = 0; i < dictionaries.size(); ++i) {
    if (i) out += ", ";
    out += textForm(dictionaries[i]);
  }
  return out + "]";
}

}  // namespace keychain
