#include "panel/AnswerActions.h"

#include <string>

#include "core/AnswerReadiness.h"
#include "core/Console.h"
#include "foundation/DispatchQueue.h"
#include "panel/WriteBack.h"

namespace panel {

AnswerActions::AnswerActions(core::DataModel& model, AnswerServices services)
    : model_(model),
      services_(std::move(services)),
      queue_(std::make_unique<foundation::OperationQueue>("quill-writeback")) {}

AnswerActions::~AnswerActions() = default;

void AnswerActions::resignPanel() {
  if (const auto& panel = model_.FloatingViewPanel.get()) {
    panel->resignMainWindow();
  } else {
    core::printLine("The floating panel is not there to resign");
  }
}

void AnswerActions::copyText(const std::string& text) {
  if (text.empty() || !services_.pasteboard) return;
  queue_->addOperation([pasteboard = services_.pasteboard, text] {
    pasteboard->clearContents();
    pasteboard->setString(text);
  });
}

void AnswerActions::beep() {
  if (services_.feedback) services_.feedback->beep();
}

bool AnswerActions::answerMayLeave() {
  switch (core::answerReadiness(model_)) {
    case core::AnswerReadiness::ready:
      return true;
    case core::AnswerReadiness::none:
      resignPanel();
      return false;
    case core::AnswerReadiness::streaming:
    case core::AnswerReadiness::failed:
      beep();
      return false;
  }
  return false;
}

void AnswerActions::copyAnswer() {
  if (!answerMayLeave()) return;
  copyText(model_.responseValue);
  resignPanel();
}

void AnswerActions::acceptAnswer() {
  if (!answerMayLeave()) return;
  const std::string answer = model_.responseValue;
  const auto target = model_.captureTarget();
  resignPanel();
  if (!target || !services_.accessibility) {
    beep();
    return;
  }
  queue_->addOperation([accessibility = services_.accessibility, feedback = services_.feedback,
                        answer, target = *target] {
    if (writeAnswerBack(*accessibility, target, answer) || !feedback) return;
    foundation::DispatchQueue::main().async([feedback] { feedback->beep(); });
  });
}

void AnswerActions::waitUntilIdle() {
  queue_->waitUntilAllOperationsAreFinished();
}

}  // namespace panel
