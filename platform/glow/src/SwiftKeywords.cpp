#include "SwiftKeywords.h"

#include <algorithm>
#include <array>

namespace glow {

namespace {

// Sorted, for binary search.
constexpr std::array<std::string_view, 84> kKeywords = {
    "Any",         "Self",        "actor",
    "any",         "as",          "associatedtype",
    "async",       "await",       "borrowing",
    "break",       "case",        "catch",
    "class",       "consuming",   "continue",
    "convenience", "default",     "defer",
    "deinit",      "didSet",      "do",
    "dynamic",     "else",        "enum",
    "extension",   "fallthrough", "false",
    "fileprivate", "final",       "for",
    "func",        "get",         "guard",
    "if",          "import",      "in",
    "indirect",    "infix",       "init",
    "inout",       "internal",    "is",
    "isolated",    "lazy",        "let",
    "macro",       "mutating",    "nil",
    "nonisolated", "nonmutating", "open",
    "operator",    "optional",    "override",
    "package",     "postfix",     "precedencegroup",
    "prefix",      "private",     "protocol",
    "public",      "repeat",      "required",
    "rethrows",    "return",      "self",
    "set",         "some",        "static",
    "struct",      "subscript",   "super",
    "switch",      "throw",       "throws",
    "true",        "try",         "typealias",
    "unowned",     "var",         "weak",
    "where",       "while",       "willSet",
};
static_assert(std::is_sorted(kKeywords.begin(), kKeywords.end()));

}  // namespace

bool isSwiftKeyword(std::string_view word) {
  return std::binary_search(kKeywords.begin(), kKeywords.end(), word);
}

bool isSwiftValueKeyword(std::string_view word) {
  return word == "self" || word == "Self" || word == "super" || word == "nil" || word == "true" ||
         word == "false";
}

}  // namespace glow
