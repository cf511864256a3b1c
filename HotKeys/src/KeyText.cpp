#include "HotKeys/KeyText.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <memory>

#include "HotKeys/Key.h"
#include "carbon/KeyboardLayout.h"

namespace HotKeys {
namespace {

// A C0 or C1 control character (what Return or keypad Enter "type") is no text to show.
bool isControlText(const std::string& text) {
  if (text.empty()) return true;
  const auto first = static_cast<unsigned char>(text[0]);
  if (text.size() == 1) return first < 0x20 || first == 0x7f;
  if (text.size() == 2 && first == 0xc2) {
    const auto second = static_cast<unsigned char>(text[1]);
    return second >= 0x80 && second <= 0x9f;
  }
  return false;
}

icu::UnicodeString unicode(std::string_view text) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string utf8(const icu::UnicodeString& text) {
  std::string result;
  text.toUTF8String(result);
  return result;
}

}  // namespace

const std::map<int, std::string>& keyDisplayTexts() {
  static const std::map<int, std::string> texts = [] {
    std::map<int, std::string> t = {
        {Key::return_.rawValue, "\u21A9"},       {Key::delete_.rawValue, "\u232B"},
        {Key::deleteForward.rawValue, "\u2326"}, {Key::end.rawValue, "\u2198"},
        {Key::escape.rawValue, "\u238B"},        {Key::help.rawValue, "?\u20DD"},
        {Key::home.rawValue, "\u2196"},          {Key::space.rawValue, "\u23B5"},
        {Key::tab.rawValue, "\u21E5"},           {Key::pageUp.rawValue, "\u21DE"},
        {Key::pageDown.rawValue, "\u21DF"},      {Key::upArrow.rawValue, "\u2191"},
        {Key::rightArrow.rawValue, "\u2192"},    {Key::downArrow.rawValue, "\u2193"},
        {Key::leftArrow.rawValue, "\u2190"},
    };
    for (int i = 0; i < 20; ++i) t[kFunctionKeys[i].rawValue] = "F" + std::to_string(i + 1);
    return t;
  }();
  return texts;
}

const std::map<int, std::string>& specialKeyTexts() {
  static const std::map<int, std::string> texts = [] {
    std::map<int, std::string> t;
    for (int i = 0; i < 20; ++i) {
      std::string character;
      icu::UnicodeString(static_cast<UChar32>(0xF704 + i)).toUTF8String(character);
      t[kFunctionKeys[i].rawValue] = character;
    }
    return t;
  }();
  return texts;
}

std::optional<std::string> keyToCharacter(int keyCode) {
  const auto& fixed = keyDisplayTexts();
  if (auto it = fixed.find(keyCode); it != fixed.end()) return it->second;
  if (keyCode < 0 || keyCode > 0xffff) return std::nullopt;
  auto text = carbon::KeyboardLayout::current()->unshiftedText(keyCode);
  if (!text || isControlText(*text)) return std::nullopt;
  return text;
}

std::string uppercased(std::string_view text) {
  return utf8(unicode(text).toUpper(icu::Locale::getRoot()));
}

std::string lowercased(std::string_view text) {
  return utf8(unicode(text).toLower(icu::Locale::getRoot()));
}

std::size_t graphemeCount(std::string_view text) {
  auto characters = unicode(text);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> breaks(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !breaks) return static_cast<std::size_t>(characters.countChar32());
  breaks->setText(characters);
  std::size_t count = 0;
  for (auto position = breaks->next(); position != icu::BreakIterator::DONE;
       position = breaks->next())
    ++count;
  return count;
}

}  // namespace HotKeys
