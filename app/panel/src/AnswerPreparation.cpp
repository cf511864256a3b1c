#include "panel/AnswerPreparation.h"

namespace panel {

namespace {
constexpr std::size_t kFirstStep = 512;
constexpr std::size_t kFirstStepsUntil = 4096;
constexpr std::size_t kStep = 2048;
constexpr std::size_t kLaterStep = 4096;
constexpr std::size_t kStepsUntil = 16384;
}  // namespace

std::size_t preparedAnswerLength(std::string_view streamed) {
  const std::size_t size = streamed.size();
  std::size_t mark = 0;
  if (size >= kStepsUntil)
    mark = kStepsUntil + (size - kStepsUntil) / kLaterStep * kLaterStep;
  else if (size >= kFirstStepsUntil)
    mark = size / kStep * kStep;
  else
    mark = size / kFirstStep * kFirstStep;
  if (mark == 0) return 0;
  const std::size_t blank = streamed.substr(0, mark).rfind("\n\n");
  return blank == std::string_view::npos ? 0 : blank + 2;
}

}  // namespace panel
