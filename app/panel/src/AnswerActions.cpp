#include "panel/AnswerActions.h"

#include <string>

#include "core/AnswerReadiness.h"
#include "core/Console.h"
#include "foundation/DispatchQueue.h"
#include "panel/FloatingViewPanel.h"
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
  model_.writeBackStatus = "";
  const std::string answer = model_.responseValue;
  const auto target = model_.captureTarget();
  if (!target || !services_.accessibility) {
    resignPanel();
    beep();
    return;
  }
  // Asked first, off the main thread: a target that cannot be written keeps the panel open
  // with the answer, and the panel says why.
  std::weak_ptr<bool> weak = alive_;
  queue_->addOperation([this, weak, accessibility = services_.accessibility, answer,
                        target = *target] {
    const auto checked = checkAnswerTarget(*accessibility, target);
    foundation::DispatchQueue::main().async([this, weak, checked, answer, target] {
      if (weak.expired()) return;
      if (checked != WriteBackOutcome::written) {
        tellNothingWritten(checked);
        return;
      }
      // The panel gives the keyboard back before the text goes where the user goes on.
      resignPanel();
      queue_->addOperation([this, weak, accessibility = services_.accessibility, answer, target] {
        const auto outcome = writeAnswerBack(*accessibility, target, answer);
        if (outcome == WriteBackOutcome::written) return;
        foundation::DispatchQueue::main().async([this, weak, outcome] {
          if (!weak.expired()) tellNothingWritten(outcome);
        });
      });
    });
  });
}

void AnswerActions::tellNothingWritten(WriteBackOutcome outcome) {
  beep();
  model_.writeBackStatus = std::string(writeBackStatus(outcome));
  // The answer is still to be had: the panel comes back with it.
  auto* panel = dynamic_cast<FloatingViewPanel*>(model_.FloatingViewPanel.get().get());
  if (panel && !panel->isOpen()) panel->toggle(model_);
}

void AnswerActions::waitUntilIdle() {
  queue_->waitUntilAllOperationsAreFinished();
}

}  // namespace panel
