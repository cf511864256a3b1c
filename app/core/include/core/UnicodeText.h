#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace core::unicode {

// The full Unicode upper-case mapping, independent of the user's locale ("ß" becomes "SS").
std::string uppercased(std::string_view utf8);

// Canonical composition (NFC), so that equivalent spellings compare equal byte for byte.
std::string normalizedNFC(std::string_view utf8);

// The form in which texts are compared when case does not count: upper-cased, then composed.
std::string caseInsensitiveKey(std::string_view utf8);

// Whether `text` contains `part` once both are upper-cased and composed.
bool containsIgnoringCase(std::string_view text, std::string_view part);

// The user-perceived characters (extended grapheme clusters), as slices of the input.
std::vector<std::string_view> graphemeClusters(std::string_view utf8);

}  // namespace core::unicode
