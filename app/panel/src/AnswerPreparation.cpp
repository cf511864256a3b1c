#include "panel/AnswerPreparation.h"

namespace panel {

namespace {
constexpr std::size_t kStep = 2048;
constexpr std::size_t kLaterStep = 4096;
constexpr std::size_t kStepsUntil = 16384;
}  // namespace

std::size_t preparedAnswerLength(std::string_view streamed) {
  std::size_t mark = 0;
  if (streamed.size() >= kStepsUntil)
    mark = kStepsUntil + (streamed.size() - kStepsUntil) / kLaterStep * kLaterStep;
  else
    mark = streamed.size() / kStep * kStep;
  if (mark == 0) return 0;
  const std::size_t blank = streamed.substr(0, mark).rfind("\n\n");
  return blank == std::string_view::npos ? 0 : blank + 2;
}

}  // namespace panel
