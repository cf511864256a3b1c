#pragma once

#include <memory>
#include <string>

#include "accessibility/Accessibility.h"
#include "appkit/Pasteboard.h"
#include "core/DataModel.h"
#include "foundation/OperationQueue.h"

namespace panel {

// Where answers go: the clipboard and the application that was in front.
struct AnswerServices {
  std::shared_ptr<appkit::Pasteboard> pasteboard;
  std::shared_ptr<accessibility::Accessibility> accessibility;
};

// Copy and accept. The panel resigns on the main thread first; the clipboard and the other
// application are reached on a queue of their own, since they may wait for other programs.
class AnswerActions {
 public:
  AnswerActions(core::DataModel& model, AnswerServices services);
  ~AnswerActions();

  // The answer onto the clipboard, then the panel resigns. An empty answer leaves the
  // clipboard as it is.
  void copyAnswer();
  // The panel resigns, then the answer replaces the selection of the application in front.
  // An empty answer writes nothing.
  void acceptAnswer();

  // Any text onto the clipboard (a selection copied with Ctrl+C).
  void copyText(const std::string& text);

  // Lets the queued clipboard and write-back work finish (tests, shutdown).
  void waitUntilIdle();

 private:
  void resignPanel();

  core::DataModel& model_;
  AnswerServices services_;
  std::unique_ptr<foundation::OperationQueue> queue_;
};

}  // namespace panel
