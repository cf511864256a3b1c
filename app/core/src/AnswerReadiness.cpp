#include "core/AnswerReadiness.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "core/CaptureMessages.h"
#include "core/ChatCompletionsService.h"
#include "core/DataModel.h"

namespace core {
namespace {

bool isBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isspace(c) != 0; });
}

}  // namespace

bool isStatusAnswerMarker(std::string_view text) {
  constexpr std::string_view prefix = "Error ";
  if (!text.starts_with(prefix)) return false;
  const std::string_view digits = text.substr(prefix.size());
  int code = 0;
  const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
  if (failure != std::errc() || end != digits.data() + digits.size()) return false;
  const auto marker = statusAnswerMarker(code);
  return marker && *marker == text;
}

AnswerReadiness answerReadiness(const DataModel& model) {
  const std::string& answer = model.responseValue.get();
  if (model.isLoading) return AnswerReadiness::streaming;
  if (isBlank(answer) || answer == kOpenChatMarker) return AnswerReadiness::none;
  if (isStatusAnswerMarker(answer)) return AnswerReadiness::failed;
  // Every request empties the error line when it starts; whatever stands there now (but the
  // capture's own message) is how the last one ended.
  const std::string& error = model.error.get();
  if (!error.empty() && error != kAccessibilityMessage) return AnswerReadiness::failed;
  return AnswerReadiness::ready;
}

}  // namespace core
