#include "ui/State.h"
#include "ui/node/Node.h"

#include <stdexcept>
#include <string>

namespace ui {

BuildContext::BuildContext(detail::Node& node) : node_(node) {}

const Environment& BuildContext::environment() const {
  return node_.environment();
}

std::weak_ptr<detail::NodeHandle> BuildContext::handle() const {
  return node_.handle();
}

std::shared_ptr<void>& BuildContext::nextSlot(const std::type_info& type) {
  auto& slots = node_.stateSlots();
  if (next_ >= slots.size()) slots.resize(next_ + 1);
  auto& slot = slots[next_++];
  if (!slot.type) {
    slot.type = &type;
  } else if (*slot.type != type) {
    throw std::logic_error("state slot " + std::to_string(next_ - 1) + " of a view was made as " +
                           slot.type->name() + " and is now read as " + type.name() +
                           "; ask for state in the same order and types on every build");
  }
  return slot.value;
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
