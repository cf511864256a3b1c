#include "core/UnicodeText.h"

#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

namespace core::unicode {
namespace {

icu::UnicodeString fromUTF8(std::string_view utf8) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<std::int32_t>(utf8.size())));
}

std::string toUTF8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

}  // namespace

std::string uppercased(std::string_view utf8) {
  icu::UnicodeString text = fromUTF8(utf8);
  text.toUpper(icu::Locale::getRoot());
  return toUTF8(text);
}

std::string normalizedNFC(std::string_view utf8) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return std::string(utf8);
  const icu::UnicodeString composed = nfc->normalize(fromUTF8(utf8), status);
  if (U_FAILURE(status)) return std::string(utf8);
  return toUTF8(composed);
}

std::string caseInsensitiveKey(std::string_view utf8) {
  return normalizedNFC(uppercased(utf8));
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
  return caseInsensitiveKey(text).find(caseInsensitiveKey(part)) != std::string::npos;
}

std::vector<std::string_view> graphemeClusters(std::string_view utf8) {
  std::vector<std::string_view> clusters;
  if (utf8.empty()) return clusters;
  UErrorCode status = U_ZERO_ERROR;
  // A UTF-8 UText makes the break positions byte offsets into the input.
  UText* text =
      utext_openUTF8(nullptr, utf8.data(), static_cast<std::int64_t>(utf8.size()), &status);
  std::unique_ptr<icu::BreakIterator> breaks(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !breaks) {
    utext_close(text);
    for (std::size_t i = 0; i < utf8.size(); ++i) clusters.push_back(utf8.substr(i, 1));
    return clusters;
  }
  breaks->setText(text, status);
  std::int32_t start = breaks->first();
  for (std::int32_t end = breaks->next(); end != icu::BreakIterator::DONE;
       start = end, end = breaks->next()) {
    clusters.push_back(
        utf8.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
  }
  breaks.reset();
  utext_close(text);
  return clusters;
}

}  // namespace core::unicode
