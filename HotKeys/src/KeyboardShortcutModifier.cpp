#include "HotKeys/KeyboardShortcutModifier.h"

#include "ui/State.h"

namespace HotKeys {
namespace {

// Listens while its content is on screen; the subscription lives with the view's identity.
class KeyboardShortcutListener final : public ui::View {
 public:
  KeyboardShortcutListener(ui::AnyView content, Name name, std::optional<EventType> type,
                           std::function<void(EventType)> perform)
      : content_(std::move(content)),
        name_(std::move(name)),
        type_(type),
        perform_(std::move(perform)) {}

  ui::AnyView body(ui::BuildContext& context) const override {
    struct Subscription {
      EventStream stream;
      std::function<void(EventType)> perform;
    };
    auto subscription =
        *context.state<std::shared_ptr<Subscription>>(std::make_shared<Subscription>());
    subscription->perform = perform_;  // the latest action runs
    auto forward = [weak = std::weak_ptr<Subscription>(subscription)](EventType type) {
      if (auto live = weak.lock(); live && live->perform) live->perform(type);
    };
    return content_
        .onAppear([subscription, forward, name = name_, type = type_] {
          subscription->stream =
              type ? events(*type, name, [forward, type = *type] { forward(type); })
                   : events(name, forward);
        })
        .onDisappear([subscription] { subscription->stream = {}; });
  }

 private:
  ui::AnyView content_;
  Name name_;
  std::optional<EventType> type_;
  std::function<void(EventType)> perform_;
};

}  // namespace

ui::AnyView onKeyboardShortcut(ui::AnyView content, const Name& name,
                               std::function<void(EventType)> perform) {
  return ui::AnyView(
      KeyboardShortcutListener(std::move(content), name, std::nullopt, std::move(perform)));
}

ui::AnyView onKeyboardShortcut(ui::AnyView content, const Name& name, EventType type,
                               std::function<void()> perform) {
  return ui::AnyView(KeyboardShortcutListener(
      std::move(content), name, type, [perform = std::move(perform)](EventType) { perform(); }));
}

}  // namespace HotKeys
