#pragma once

#include <memory>

#include "core/DataModel.h"
#include "foundation/ObservableObject.h"

namespace panel {

// The model's changes as the panel's views take them: a shown answer that grows changes the
// conversation alone, so the rest of the panel is not built again for every piece of a stream.
// Main thread only.
class ModelChanges {
 public:
  explicit ModelChanges(core::DataModel& model);
  ModelChanges(const ModelChanges&) = delete;
  ModelChanges& operator=(const ModelChanges&) = delete;

  // Every change of the model but the growth of an answer already shown.
  foundation::ObservableObject& all() { return all_; }
  // The growth of an answer already shown.
  foundation::ObservableObject& answerGrowth() { return answerGrowth_; }

 private:
  foundation::ObservableObject all_;
  foundation::ObservableObject answerGrowth_;
  foundation::Cancellable willChange_;
  foundation::Cancellable appended_;
};

}  // namespace panel
