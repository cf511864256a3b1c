#include "core/JSONCoding.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace core {
namespace {

std::string describe(const Json& json) {
  switch (json.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return "a Boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return "the number " + json.dump();
    case Json::value_t::string:
      return "a string";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::object:
      return "an object";
    default:
      return "an unknown value";
  }
}

std::string place(const std::string& path) {
  return path.empty() ? "the top level" : path;
}

}  // namespace

void throwTypeMismatch(const std::string& path, std::string_view expected, const Json& found) {
  throw DecodingError("Expected " + std::string(expected) + " at " + place(path) + " but found " +
                      describe(found));
}

std::string JSONCodable<std::string>::decode(const Json& json, const std::string& path) {
  if (!json.is_string()) throwTypeMismatch(path, "a string", json);
  return json.get<std::string>();
}

bool JSONCodable<bool>::decode(const Json& json, const std::string& path) {
  if (!json.is_boolean()) throwTypeMismatch(path, "a Boolean", json);
  return json.get<bool>();
}

std::int64_t JSONCodable<std::int64_t>::decode(const Json& json, const std::string& path) {
  if (json.is_number_integer() && !json.is_number_unsigned()) return json.get<std::int64_t>();
  if (json.is_number_unsigned()) {
    const auto value = json.get<std::uint64_t>();
    if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return static_cast<std::int64_t>(value);
    }
  } else if (json.is_number_float()) {
    // 5.0 is an exact integer; 5.5 and anything beyond 64 bits are not.
    const double value = json.get<double>();
    if (std::trunc(value) == value && value >= -0x1.0p63 && value < 0x1.0p63) {
      return static_cast<std::int64_t>(value);
    }
  }
  throwTypeMismatch(path, "a 64-bit integer", json);
}

Json JSONCodable<float>::encode(float value) {
  if (!std::isfinite(value)) return JSONCodable<double>::encode(value);
  char buffer[32];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
  double shortest = 0;
  std::from_chars(buffer, written.ptr, shortest);
  return shortest;
}

float JSONCodable<float>::decode(const Json& json, const std::string& path) {
  if (!json.is_number()) throwTypeMismatch(path, "a 32-bit number", json);
  const double value = json.get<double>();
  if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max())) {
    throwTypeMismatch(path, "a number that fits in 32 bits", json);
  }
  return static_cast<float>(value);
}

Json JSONCodable<double>::encode(double value) {
  // A NaN would turn into null inside the value; refuse it here already.
  if (!std::isfinite(value)) {
    throw EncodingError("Unable to encode the number " + std::to_string(value) + " as JSON");
  }
  return value;
}

double JSONCodable<double>::decode(const Json& json, const std::string& path) {
  if (!json.is_number()) throwTypeMismatch(path, "a number", json);
  return json.get<double>();
}

JSONObjectReader::JSONObjectReader(const Json& json, std::string path)
    : json_(json), path_(std::move(path)) {
  if (!json_.is_object()) throwTypeMismatch(path_, "an object", json_);
}

const Json* JSONObjectReader::find(const char* key) const {
  const auto it = json_.find(key);
  return it == json_.end() ? nullptr : &*it;
}

std::string JSONObjectReader::childPath(const char* key) const {
  return path_.empty() ? std::string(key) : path_ + "." + key;
}

void JSONObjectReader::throwKeyNotFound(const char* key) const {
  throw DecodingError("No value for the key \"" + std::string(key) + "\" at " + place(path_));
}

Json parseJSON(std::string_view bytes) {
  try {
    return Json::parse(bytes.begin(), bytes.end());
  } catch (const Json::exception& error) {
    // Also a number beyond a double ("1E400"), which the parser reports as out of range.
    throw DecodingError(std::string("The given data was not valid JSON: ") + error.what());
  }
}

}  // namespace core
