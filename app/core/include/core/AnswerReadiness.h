#pragma once

#include <string_view>

namespace core {

class DataModel;

// What the answer in the panel is fit for. Only a finished answer may leave the panel: an
// error placeholder or the part of an answer that is still arriving must never land in the
// user's document or on the clipboard.
enum class AnswerReadiness {
  none,       // nothing to give: no answer yet, the waiting placeholder, or a reopened chat
  streaming,  // still arriving
  failed,     // an error placeholder, or what a request that failed left behind
  ready,
};

AnswerReadiness answerReadiness(const DataModel& model);

// "Error 400", "Error 429": what a refused request leaves as its answer.
bool isStatusAnswerMarker(std::string_view text);

}  // namespace core
