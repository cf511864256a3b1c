#include "panel/AnswerActions.h"

#include <string>

#include "core/Console.h"
#include "panel/WriteBack.h"

namespace panel {

AnswerActions::AnswerActions(core::DataModel& model, AnswerServices services)
    : model_(model),
      services_(std::move(services)),
      queue_(std::make_unique<foundation::OperationQueue>()) {}

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

void AnswerActions::copyAnswer() {
  copyText(model_.responseValue);
  resignPanel();
}

void AnswerActions::acceptAnswer() {
  const std::string answer = model_.responseValue;
  resignPanel();
  if (answer.empty() || !services_.accessibility) return;
  queue_->addOperation([accessibility = services_.accessibility, answer] {
    writeAnswerBack(*accessibility, answer);
  });
}

void AnswerActions::waitUntilIdle() {
  queue_->waitUntilAllOperationsAreFinished();
}

}  // namespace panel
