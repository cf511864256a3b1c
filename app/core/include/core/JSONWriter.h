#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace core {

using Json = nlohmann::ordered_json;

// A value that cannot be written as JSON (a NaN or infinite number).
class EncodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes compact JSON the way the assistant's files and requests have always looked: keys in
// their stored order, "/" escaped as "\/", non-ASCII as raw UTF-8, control characters as short
// escapes or \u00xx, whole floating-point numbers without ".0" and others in their shortest
// round-trip form. Invalid UTF-8 in strings becomes U+FFFD. Throws EncodingError.
std::string writeJSON(const Json& value);

// Pieces of the same writing, for documents built piece by piece: a string with its quotes, and
// a number (throws EncodingError).
void appendJSONString(std::string& out, std::string_view text);
void appendJSONNumber(std::string& out, double value);

}  // namespace core
