#include "core/Node.h"
#include "ui/State.h"

namespace ui {

BuildContext::BuildContext(detail::Node& node) : node_(node) {}

const Environment& BuildContext::environment() const {
  return node_.environment();
}

std::weak_ptr<detail::NodeHandle> BuildContext::handle() const {
  return node_.handle();
}

std::shared_ptr<void>& BuildContext::nextSlot() {
  auto& slots = node_.stateSlots();
  if (next_ >= slots.size()) slots.resize(next_ + 1);
  return slots[next_++];
}

void BuildContext::keepSubscribed(foundation::ObservableObject& object) {
  node_.persistentSubscriptions().push_back(
      object.subscribeWillChange([owner = handle()] { detail::invalidate(owner); }));
}

void BuildContext::observe(foundation::ObservableObject& object) {
  node_.buildSubscriptions().push_back(
      object.subscribeWillChange([owner = handle()] { detail::invalidate(owner); }));
}

}  // namespace ui
