#pragma once

#include <security/Dictionary.h>

#include <optional>
#include <string>
#include <string_view>

namespace keychain {

// A typed view of one item's attribute dictionary: each property has a value only when the
// dictionary holds one of the stated type.
class Attributes {
 public:
  explicit Attributes(security::Dictionary attributes) : attributes_(std::move(attributes)) {}

  std::optional<std::string> itemClass() const;  // the "class" attribute
  std::optional<security::Bytes> data() const;
  std::optional<security::Bytes> ref() const;
  std::optional<security::Bytes> persistentRef() const;
  std::optional<std::string> accessible() const;
  std::optional<std::string> accessGroup() const;
  std::optional<bool> synchronizable() const;
  std::optional<security::Date> creationDate() const;
  std::optional<security::Date> modificationDate() const;
  std::optional<std::string> attributeDescription() const;
  std::optional<std::string> comment() const;
  std::optional<std::string> creator() const;
  std::optional<std::string> type() const;
  std::optional<std::string> label() const;
  std::optional<bool> isInvisible() const;
  std::optional<bool> isNegative() const;
  std::optional<std::string> account() const;
  std::optional<std::string> service() const;
  std::optional<security::Bytes> generic() const;
  std::optional<std::string> securityDomain() const;
  std::optional<std::string> server() const;
  std::optional<std::string> protocol() const;
  std::optional<std::string> authenticationType() const;
  std::optional<std::int64_t> port() const;
  std::optional<std::string> path() const;
  // Nothing on this platform can carry an access-control object.
  std::optional<security::Opaque> accessControl() const { return std::nullopt; }

  const security::Value* operator[](std::string_view key) const { return attributes_.find(key); }
  const security::Dictionary& dictionary() const { return attributes_; }
  std::string description() const;

 private:
  template <class T>
  std::optional<T> get(std::string_view key) const {
    const T* v = attributes_.get<T>(key);
    return v ? std::optional<T>(*v) : std::nullopt;
  }
  security::Dictionary attributes_;
};

// The textual form of dictionaries and lists of them: ["key": "text", "n": 3, "data": 5 bytes],
// keys in their order, "[:]" when empty.
std::string textForm(const security::Dictionary& dictionary);
std::string textForm(const std::vector<security::Dictionary>& dictionaries);

}  // namespace keychain
