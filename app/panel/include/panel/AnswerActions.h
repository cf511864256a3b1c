#pragma once

#include <memory>
#include <string>

#include "accessibility/Accessibility.h"
#include "appkit/Alert.h"
#include "appkit/Pasteboard.h"
#include "core/DataModel.h"
#include "foundation/OperationQueue.h"
#include "panel/WriteBack.h"

namespace panel {

// Where answers go: the clipboard and the application that was in front; the beep that says
// an answer cannot go.
struct AnswerServices {
  std::shared_ptr<appkit::Pasteboard> pasteboard;
  std::shared_ptr<accessibility::Accessibility> accessibility;
  std::shared_ptr<appkit::UserFeedback> feedback;
};

// Copy and accept. The panel resigns on the main thread first; the clipboard and the other
// application are reached on a queue of their own, since they may wait for other programs.
class AnswerActions {
 public:
  AnswerActions(core::DataModel& model, AnswerServices services);
  ~AnswerActions();

  // The answer onto the clipboard, then the panel resigns. Without an answer the clipboard
  // stays as it is; an answer still arriving or an error placeholder only beeps.
  void copyAnswer();
  // The answer replaces the selection of the element the capture found, once the panel has
  // resigned. Without an answer nothing is written; an answer still arriving or an error
  // placeholder only beeps, and the panel stays. When the element cannot be written to (a
  // terminal, a window that went away or shows something else now, an application that
  // refuses the text) it beeps, nothing is written anywhere, and the panel stays open (or
  // opens again) with the answer and says why (`writeBackStatus` of the model).
  void acceptAnswer();

  // Any text onto the clipboard (a selection copied with Ctrl+C).
  void copyText(const std::string& text);

  // Lets the queued clipboard and write-back work finish (tests, shutdown).
  void waitUntilIdle();

 private:
  // Only a complete answer leaves the panel: one still arriving or an error placeholder beeps,
  // no answer at all just closes the panel.
  bool answerMayLeave();
  void resignPanel();
  void beep();
  // Main thread.
  void tellNothingWritten(WriteBackOutcome outcome);

  core::DataModel& model_;
  AnswerServices services_;
  // The queue's blocks come back to this object only while it lives.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::unique_ptr<foundation::OperationQueue> queue_;
};

}  // namespace panel
