#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace HotKeys {

// The text of a key: a fixed symbol for named keys (↩, ⎵, F5...), else what the key types
// unshifted on the current layout. Nothing for keys that type nothing or a control character.
std::optional<std::string> keyToCharacter(int keyCode);

// Key code to display symbol (35 keys).
const std::map<int, std::string>& keyDisplayTexts();
// Key code to the private-use character menus take for F1–F20.
const std::map<int, std::string>& specialKeyTexts();

// Full Unicode upper-casing ("ß" becomes "SS").
std::string uppercased(std::string_view text);
std::string lowercased(std::string_view text);
// User-perceived characters ("?⃝" is one).
std::size_t graphemeCount(std::string_view text);

}  // namespace HotKeys
