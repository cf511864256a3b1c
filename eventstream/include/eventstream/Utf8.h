#pragma once

#include <cstddef>
#include <string_view>

namespace eventstream {

// One scalar value read from UTF-8 text. An ill-formed sequence reads as one invalid byte.
struct Utf8Scalar {
  char32_t value = 0;
  std::size_t length = 1;
  bool valid = false;
};

// Strict decoding: overlong forms, surrogates, values past U+10FFFF and truncated sequences
// are all ill-formed.
Utf8Scalar decodeUtf8Scalar(std::string_view text, std::size_t offset);

bool isValidUtf8(std::string_view text);

}  // namespace eventstream
