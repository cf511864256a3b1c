#include "panel/ModelChanges.h"

namespace panel {

ModelChanges::ModelChanges(core::DataModel& model) {
  willChange_ = model.subscribeWillChange([this, &model] {
    // The first piece of an answer also turns an empty answer into one: that shows elsewhere
    // (the toolbar's buttons) and goes to every view.
    if (model.appendingToAnswer() && !model.responseValue->empty()) return;
    all_.sendWillChange();
  });
  appended_ =
      model.subscribeAnswerAppended([this](const std::string&) { answerGrowth_.sendWillChange(); });
}

}  // namespace panel
