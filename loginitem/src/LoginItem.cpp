#include "loginitem/LoginItem.h"

#include <foundation/DispatchQueue.h>
#include <foundation/MainThread.h>
#include <foundation/OperationQueue.h>
#include <servicemanagement/XdgAutostart.h>

#include <algorithm>

#include "Observers.h"

namespace LoginItem {

struct Publisher::Subscribers : loginitem::Observers<bool> {};
struct Observable::DidChange : loginitem::Observers<> {};

Publisher::Publisher(bool initial)
    : value_(initial), subscribers_(std::make_shared<Subscribers>()) {}
Publisher::~Publisher() = default;

foundation::Cancellable Publisher::subscribe(std::function<void(bool)> receiver) {
  receiver(value_);
  return subscribers_->add(std::move(receiver));
}

void Publisher::send(bool value) {
  value_ = value;
  subscribers_->notify(value);
}

Observable::Observable(std::shared_ptr<loginitem::LoginItemControl> control)
    : control_(std::move(control)),
      enabled_(control_->isEnabled()),
      publisher_(enabled_),
      worker_(std::make_unique<foundation::OperationQueue>("quill-loginitem")),
      didChange_(std::make_shared<DidChange>()) {}

Observable::~Observable() = default;

void Observable::setEnabled(bool enabled) {
  foundation::assertMainThread();
  sendWillChange();
  const bool state = control_->setEnabled(enabled);
  enabled_ = state;
  didChange_->notify();
  publisher_.send(state);
}

void Observable::requestEnabled(bool enabled) {
  worker_->addOperation([control = control_, weak = weak_from_this(), enabled] {
    const bool state = control->setEnabled(enabled);
    foundation::DispatchQueue::main().async([weak, state] {
      if (auto self = weak.lock()) self->finish(state);
    });
  });
}

void Observable::refresh() {
  worker_->addOperation([control = control_, weak = weak_from_this()] {
    const bool state = control->isEnabled();
    foundation::DispatchQueue::main().async([weak, state] {
      if (auto self = weak.lock(); self && self->enabled_ != state) self->finish(state);
    });
  });
}

void Observable::finish(bool state) {
  foundation::assertMainThread();
  sendWillChange();
  enabled_ = state;
  didChange_->notify();
  publisher_.send(state);
}

foundation::Cancellable Observable::subscribeDidChange(std::function<void()> observer) {
  return didChange_->add(std::move(observer));
}

std::shared_ptr<Observable> sharedObservable() {
  static const std::shared_ptr<Observable> shared = [] {
    static servicemanagement::XdgAutostart autostart({kApplicationId, kApplicationName, {}});
    static loginitem::SystemLog log("com.brambleworth.LoginItem", "main");
    return std::make_shared<Observable>(
        std::make_shared<loginitem::LoginItemControl>(autostart, log));
  }();
  return shared;
}

Observable& observable() {
  return *sharedObservable();
}
Publisher& publisher() {
  return observable().publisher();
}

bool isEnabled() {
  servicemanagement::XdgAutostart autostart({kApplicationId, kApplicationName, {}});
  return autostart.isEnabled();
}

void setEnabled(bool enabled) {
  observable().setEnabled(enabled);
}

void migrateIfNeeded(foundation::UserDefaults& defaults) {
  if (defaults.boolForKey(kMigrationKey)) return;
  defaults.set(kMigrationKey, true);
}

}  // namespace LoginItem
