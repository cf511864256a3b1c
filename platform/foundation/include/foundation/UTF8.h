#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// UTF-8 by the strict rules of the Unicode standard: overlong forms, surrogates, values past
// U+10FFFF and truncated sequences are ill-formed. Where text is repaired or counted, each
// maximal ill-formed subpart stands for one U+FFFD, as the standard recommends and as browsers
// and Qt show it, so every module agrees on where a character starts and how many there are.
namespace foundation::utf8 {

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';
inline constexpr std::string_view kReplacementCharacterUTF8 = "\xEF\xBF\xBD";

// One scalar value read from UTF-8 text.
struct Scalar {
  char32_t value = kReplacementCharacter;  // U+FFFD when ill-formed
  std::size_t length = 1;  // bytes read; for ill-formed bytes, their maximal subpart (1 to 3)
  bool valid = false;
};

// The scalar that starts at `offset` (which must be inside `text`).
Scalar decode(std::string_view text, std::size_t offset);

bool isValid(std::string_view text);

// The length of the longest well-formed prefix of `text`.
std::size_t validPrefixLength(std::string_view text);

// `text` with each maximal ill-formed subpart replaced by U+FFFD.
std::string repaired(std::string_view text);
// The same, but absent when `text` is already well-formed (no copy is made).
std::optional<std::string> repairedIfInvalid(std::string_view text);

// Appends the encoding of `scalar`; a surrogate or a value past U+10FFFF becomes U+FFFD.
void append(std::string& out, char32_t scalar);

// The number of characters once repaired.
std::size_t characterCount(std::string_view text);

// UTF-16, with ill-formed UTF-8 (and unpaired surrogates the other way) as U+FFFD.
std::u16string toUTF16(std::string_view text);
std::string fromUTF16(std::u16string_view text);
// toUTF16(text).size(), without building it.
std::size_t utf16Length(std::string_view text);

// The longest prefix of at most `maxBytes` bytes that does not cut a scalar in two.
std::string_view prefix(std::string_view text, std::size_t maxBytes);

}  // namespace foundation::utf8
