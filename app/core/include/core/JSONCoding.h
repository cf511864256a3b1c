#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/JSONWriter.h"

namespace core {

// Why some bytes did not decode as the wanted record; the text says where and why.
class DecodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How a type travels as JSON. Specialised for the primitives below and for every record.
// decode() is strict: wrong types fail, integers must be exact, strings are never coerced.
// `path` names the place in the document, for error texts.
template <class T>
struct JSONCodable;

template <>
struct JSONCodable<std::string> {
  static Json encode(const std::string& value) { return value; }
  static std::string decode(const Json& json, const std::string& path);
};
template <>
struct JSONCodable<bool> {
  static Json encode(bool value) { return value; }
  static bool decode(const Json& json, const std::string& path);
};
template <>
struct JSONCodable<std::int64_t> {
  static Json encode(std::int64_t value) { return value; }
  static std::int64_t decode(const Json& json, const std::string& path);
};
template <>
struct JSONCodable<float> {
  // Stored as the double with the same shortest decimal form, so 0.1f is written as 0.1.
  static Json encode(float value);
  static float decode(const Json& json, const std::string& path);
};
template <>
struct JSONCodable<double> {
  static Json encode(double value);
  static double decode(const Json& json, const std::string& path);
};
template <class T>
struct JSONCodable<std::vector<T>> {
  static Json encode(const std::vector<T>& values) {
    Json array = Json::array();
    for (const auto& value : values) array.push_back(JSONCodable<T>::encode(value));
    return array;
  }
  static std::vector<T> decode(const Json& json, const std::string& path);
};

[[noreturn]] void throwTypeMismatch(const std::string& path, std::string_view expected,
                                    const Json& found);

template <class T>
std::vector<T> JSONCodable<std::vector<T>>::decode(const Json& json, const std::string& path) {
  if (!json.is_array()) throwTypeMismatch(path, "an array", json);
  std::vector<T> values;
  values.reserve(json.size());
  for (std::size_t i = 0; i < json.size(); ++i) {
    values.push_back(JSONCodable<T>::decode(json[i], path + "[" + std::to_string(i) + "]"));
  }
  return values;
}

// Reads the keys of one JSON object; keys match exactly and unknown keys are ignored.
class JSONObjectReader {
 public:
  JSONObjectReader(const Json& json, std::string path);

  // A missing or null key fails.
  template <class T>
  T required(const char* key) const {
    const Json* value = find(key);
    if (value == nullptr || value->is_null()) throwKeyNotFound(key);
    return JSONCodable<T>::decode(*value, childPath(key));
  }
  // A missing or null key is absent; a present key of the wrong type still fails.
  template <class T>
  std::optional<T> optional(const char* key) const {
    const Json* value = find(key);
    if (value == nullptr || value->is_null()) return std::nullopt;
    return JSONCodable<T>::decode(*value, childPath(key));
  }

 private:
  const Json* find(const char* key) const;
  std::string childPath(const char* key) const;
  [[noreturn]] void throwKeyNotFound(const char* key) const;

  const Json& json_;
  std::string path_;
};

// Builds one JSON object in the order of the calls; absent optionals are left out.
class JSONObjectWriter {
 public:
  template <class T>
  void required(const char* key, const T& value) {
    object_[key] = JSONCodable<T>::encode(value);
  }
  template <class T>
  void optional(const char* key, const std::optional<T>& value) {
    if (value) object_[key] = JSONCodable<T>::encode(*value);
  }
  Json take() { return std::move(object_); }

 private:
  Json object_ = Json::object();
};

// Parses strict UTF-8 JSON; throws DecodingError.
Json parseJSON(std::string_view bytes);

template <class T>
std::string encodeJSON(const T& value) {
  return writeJSON(JSONCodable<T>::encode(value));
}

template <class T>
T decodeJSON(std::string_view bytes) {
  return JSONCodable<T>::decode(parseJSON(bytes), "");
}

}  // namespace core
