#include "panel/FloatingViewController.h"

#include <chrono>

#include "foundation/DispatchQueue.h"
#include "panel/ConversationContent.h"
#include "panel/FillInForm.h"
#include "panel/InputLine.h"
#include "panel/ListRows.h"
#include "panel/MarkdownAnswer.h"

namespace panel {

namespace {
constexpr std::chrono::milliseconds kFocusRequestLifetime{50};
constexpr std::chrono::milliseconds kFormLeftFocusDelay{100};
}  // namespace

FloatingViewController::FloatingViewController(std::shared_ptr<core::DataModel> model,
                                               FloatingViewOptions options)
    : model_(std::move(model)), options_(std::move(options)) {
  foundation::UserDefaults& defaults =
      options_.defaults ? *options_.defaults : foundation::UserDefaults::standard();
  state_ = std::make_shared<FloatingViewState>(defaults);
  actions_ = std::make_unique<AnswerActions>(*model_, options_.answerServices);
  commands_ = std::make_unique<PanelCommands>(*model_, *state_, *actions_);

  FloatingViewContext context;
  context.model = model_;
  context.state = state_;
  context.markdown = options_.markdown ? options_.markdown : cachedMarkdownAnswers();
  context.conversationScroller = scroller_;
  context.changes = std::make_shared<ModelChanges>(*model_);
  std::weak_ptr<bool> alive = alive_;
  context.runCommand = [this, alive](PanelCommand command) {
    return !alive.expired() && commands_->run(command);
  };
  context.fillInSubmitted = [this, alive](std::int64_t field) {
    if (!alive.expired()) fillInSubmitted(field);
  };
  view_ = FloatingView(context);

  // The content comes on screen with the presets of the current kind.
  model_->refreshPromptList();
  last_ = watched(~0u);
  last_.didFocus = false;  // a request standing at creation is served like a new one
  watch();
  changed(Watch::didFocus);
}

// Only the properties the reactions read: an answer that grows, or any other change of the
// model, costs the panel no reactions at all (the views follow the model on their own).
void FloatingViewController::watch() {
  auto& m = *model_;
  const auto on = [this](auto& property, Watch which) {
    modelSubscriptions_.push_back(
        property.subscribeDidSet([this, which](const auto&) { changed(which); }));
  };
  on(m.command, Watch::command);
  on(m.isLoading, Watch::isLoading);
  on(m.nonContextPrompt, Watch::nonContextPrompt);
  on(m.selectedIndex, Watch::selectedIndex);
  on(m.keyHistorySelected, Watch::keyHistorySelected);
  on(m.isOnTopBinding, Watch::isOnTop);
  on(m.didFocus, Watch::didFocus);
  on(m.error, Watch::error);
}

void FloatingViewController::changed(Watch property) {
  changed_ |= static_cast<unsigned>(property);
  scheduleReactions();
}

ui::ViewHost& FloatingViewController::host() {
  if (host_) return *host_;
  host_ = std::make_unique<ui::ViewHost>(view_, options_.measurer);
  if (options_.widgetFactory) host_->setWidgetFactory(options_.widgetFactory);
  std::weak_ptr<bool> alive = alive_;
  // Frames run on the main queue, as a window's would.
  host_->setNeedsUpdateHandler([this, alive] {
    foundation::DispatchQueue::main().async([this, alive] {
      if (!alive.expired()) update();
    });
  });
  // Ctrl+C on selected text of the conversation.
  host_->setCopyHandler([this, alive](const std::string& text) {
    if (!alive.expired()) actions_->copyText(text);
  });
  return *host_;
}

FloatingViewController::~FloatingViewController() {
  modelSubscriptions_.clear();
  alive_.reset();
  actions_->waitUntilIdle();
}

FloatingViewController::Watched FloatingViewController::watched(unsigned properties) const {
  const auto& m = *model_;
  const auto has = [properties](Watch which) { return properties & static_cast<unsigned>(which); };
  Watched now = last_;
  if (has(Watch::command)) now.command = m.command;
  if (has(Watch::isLoading)) now.isLoading = m.isLoading;
  if (has(Watch::nonContextPrompt)) now.nonContextPrompt = m.nonContextPrompt;
  if (has(Watch::selectedIndex)) now.selectedIndex = m.selectedIndex;
  if (has(Watch::keyHistorySelected)) now.keyHistorySelected = m.keyHistorySelected;
  if (has(Watch::isOnTop)) now.isOnTop = m.isOnTopBinding;
  if (has(Watch::didFocus)) now.didFocus = m.didFocus;
  if (has(Watch::error)) now.error = m.error;
  return now;
}

void FloatingViewController::scheduleReactions() {
  if (reactionsScheduled_) return;
  reactionsScheduled_ = true;
  std::weak_ptr<bool> alive = alive_;
  // Looked at once whatever changed the model is done with it.
  foundation::DispatchQueue::main().async([this, alive] {
    if (!alive.expired() && reactionsScheduled_) runReactions();
  });
}

void FloatingViewController::runReactions() {
  reactionsScheduled_ = false;
  // Reactions change the model too; what they change is looked at in the next round.
  for (int round = 0; round < 8; ++round) {
    const unsigned changed = std::exchange(changed_, 0u);
    if (changed == 0) return;
    const Watched before = last_;
    const Watched now = watched(changed);
    last_ = now;
    if (now.isOnTop != before.isOnTop && options_.onTopChanged) options_.onTopChanged(now.isOnTop);
    if (now.command != before.command) commandChanged(now.command);
    if (now.isLoading != before.isLoading && !now.isLoading) model_->didFocus = true;
    // A new answer (sent, regenerated, continued) comes at the top of the list: that is where
    // the user must look, however far down the last one was read.
    if (now.isLoading && !before.isLoading)
      scrollTo(ui::Identity(std::string(kMessageListId)), ui::UnitPoint::top);
    if (now.nonContextPrompt != before.nonContextPrompt) {
      std::weak_ptr<bool> alive = alive_;
      if (now.nonContextPrompt) {
        // The form takes the keyboard in its first field, once it is on screen.
        foundation::DispatchQueue::main().async([this, alive] {
          if (alive.expired()) return;
          if (auto first = firstFillInField(model_->extractedTexts.get())) requestFocus(*first);
        });
      } else {
        foundation::DispatchQueue::main().asyncAfter(kFormLeftFocusDelay, [this, alive] {
          if (!alive.expired() && !model_->nonContextPrompt) requestFocus(kInputLineFocus);
        });
      }
    }
    if (now.selectedIndex != before.selectedIndex) scrollTo(presetRowId(now.selectedIndex));
    if (now.keyHistorySelected != before.keyHistorySelected)
      scrollTo(historyRowId(now.keyHistorySelected));
    if (now.didFocus && !before.didFocus) focusRequested();
    // A request that ends with an error says so where the user looks, not above the answer
    // the user was reading: the error line comes into view.
    const bool requestEnded = before.isLoading && !now.isLoading;
    if (!now.error.empty() && (requestEnded || now.error != before.error))
      scrollTo(std::string(kErrorLineId));
  }
  // Reactions that keep changing the model go on in a later turn of the queue, so that
  // nothing is left unseen and other work still runs.
  if (changed_ != 0) scheduleReactions();
}

void FloatingViewController::commandChanged(const std::string& text) {
  model_->resetSelection();
  if (text.empty()) {
    model_->refreshPromptList();
  } else if (text.front() != ':') {
    model_->searchPrompts(text);
  }
}

void FloatingViewController::focusRequested() {
  std::weak_ptr<bool> alive = alive_;
  foundation::DispatchQueue::main().async([this, alive] {
    if (!alive.expired()) requestFocus(kInputLineFocus);
  });
  if (focusClearScheduled_) return;
  focusClearScheduled_ = true;
  foundation::DispatchQueue::main().asyncAfter(kFocusRequestLifetime, [this, alive] {
    if (alive.expired()) return;
    focusClearScheduled_ = false;
    model_->didFocus = false;
  });
}

void FloatingViewController::scrollTo(ui::Identity id, std::optional<ui::UnitPoint> anchor) {
  scrollTarget_ = id;
  if (*scroller_) (*scroller_)->scrollTo(std::move(id), anchor);
}

void FloatingViewController::requestFocus(std::int64_t field) {
  const ui::Identity id(field);
  if (!(state_->focusField.get() == std::optional<ui::Identity>(id))) {
    state_->focusField = id;
    return;
  }
  // Asked again (the panel reopened, an answer ended): the keyboard may have gone elsewhere
  // meanwhile. The field is let go for a frame, then asked for again.
  state_->focusField = std::nullopt;
  std::weak_ptr<bool> alive = alive_;
  foundation::DispatchQueue::main().async([this, alive, id] {
    if (!alive.expired()) state_->focusField = id;
  });
}

void FloatingViewController::update() {
  if (reactionsScheduled_) runReactions();
  if (host_) host_->update();
}

void FloatingViewController::setSize(ui::Size size) {
  host().setProposal(ui::ProposedSize::of(size));
  update();
}

double FloatingViewController::minimumHeight(double width) const {
  // Proposed almost no height, every region shrinks to its least; measure what they cover.
  ui::ViewHost measuring(view_, options_.measurer);
  measuring.setProposal({width, 1.0});
  measuring.update();
  const auto top = measuring.frameOf("panel.topArea");
  const auto toolbar = measuring.frameOf("panel.toolbar");
  if (!top || !toolbar) return 0;
  return toolbar->maxY() - top->minY() + 2 * kPanelPadding;
}

bool FloatingViewController::keyPressed(const ui::KeyEvent& event) {
  // The model's reactions to what came before are due first (Escape reads the pin).
  if (reactionsScheduled_) runReactions();
  const bool handled = host().keyPressed(event);
  update();
  return handled;
}

void FloatingViewController::fillInSubmitted(std::int64_t field) {
  if (auto next = fillInFieldAfter(model_->extractedTexts.get(), field)) {
    requestFocus(*next);
  } else {
    model_->sendPrompt();
  }
}

void FloatingViewController::pointerMoved(const ui::PointerEvent& event) {
  host().pointerMoved(event);
  update();
}
void FloatingViewController::pointerPressed(const ui::PointerEvent& event) {
  host().pointerPressed(event);
  update();
}
void FloatingViewController::pointerReleased(const ui::PointerEvent& event) {
  host().pointerReleased(event);
  update();
}
bool FloatingViewController::scrolled(ui::Point p, double dx, double dy) {
  const bool moved = host().scrolled(p, dx, dy);
  update();
  return moved;
}

}  // namespace panel
