#include "accessibility/X11Accessibility.h"

#include <mutex>

#include "X11WindowRelations.h"
#include "appkit/x11/SelectionReader.h"
#include "foundation/DispatchQueue.h"

namespace accessibility {
namespace {

constexpr std::string_view kPrimary = "PRIMARY";

bool isFlag(std::string_view attribute) {
  return attribute == attribute::kEnhancedUserInterface ||
         attribute == attribute::kManualAccessibility;
}

}  // namespace

// Shared with the delayed restore, which may run after this object is gone.
struct X11Accessibility::State {
  State(appkit::Pasteboard& clipboard, const X11AccessibilityOptions& options)
      : clipboard(clipboard),
        reader(options.displayName.empty() ? nullptr : options.displayName.c_str(),
               options.selectionTimeout),
        windows(options.displayName.empty() ? nullptr : options.displayName.c_str()) {}

  struct PendingRestore {
    appkit::PasteboardSnapshot snapshot;
    std::int64_t changeCountAfterPaste = 0;
    std::uint64_t generation = 0;
  };

  appkit::Pasteboard& clipboard;
  appkit::x11::SelectionReader reader;
  std::mutex windowsMutex;  // guards `windows`
  appkit::x11::Connection windows;
  std::mutex mutex;  // one paste at a time; guards `pending`
  std::optional<PendingRestore> pending;
  std::uint64_t nextGeneration = 1;

  // Mutex held. A clipboard that changed since the paste holds something the user copied:
  // it is left alone.
  void restoreLocked() {
    if (!pending) return;
    if (clipboard.changeCount() == pending->changeCountAfterPaste)
      clipboard.restore(pending->snapshot);
    pending.reset();
  }
};

X11Accessibility::X11Accessibility(appkit::Pasteboard& clipboard, appkit::Workspace& workspace,
                                   KeyEventPoster& keys, X11AccessibilityOptions options)
    : workspace_(workspace),
      keys_(keys),
      options_(std::move(options)),
      state_(std::make_shared<State>(clipboard, options_)) {}

X11Accessibility::~X11Accessibility() {
  std::lock_guard lock(state_->mutex);
  state_->restoreLocked();
}

bool X11Accessibility::isProcessTrusted() {
  return state_->reader.ok();
}

bool X11Accessibility::primaryBelongsTo(const Element& element) {
  const xcb_window_t owner = state_->reader.owner(kPrimary);
  std::lock_guard lock(state_->windowsMutex);
  return x11::belongsToWindow(state_->windows, owner, static_cast<xcb_window_t>(element.id()),
                              element.processIdentifier());
}

Result<std::string> X11Accessibility::selectedText(const Element& element) {
  // What another window selected last is not this one's selection.
  if (!primaryBelongsTo(element)) return std::string();
  auto text = state_->reader.text(kPrimary);
  // The owner may have changed while it was asked.
  if (text.ok() && !primaryBelongsTo(element)) return std::string();
  if (text.ok()) return std::move(text.value());
  switch (text.error()) {
    case appkit::x11::SelectionError::NoOwner:
    case appkit::x11::SelectionError::Refused:
      // Nothing selected, or nothing that is text.
      return std::string();
    case appkit::x11::SelectionError::TimedOut:
    case appkit::x11::SelectionError::NoDisplay:
      break;
  }
  return kAXErrorCannotComplete;
}

Result<Value> X11Accessibility::copyAttributeValue(const Element& element,
                                                   std::string_view attribute) {
  if (!isProcessTrusted()) return kAXErrorAPIDisabled;
  if (element.kind() != Element::Kind::UIElement) {
    if (attribute != attribute::kFocusedUIElement) return kAXErrorAttributeUnsupported;
    auto front = workspace_.frontmostApplication();
    if (!front || front->windowId == 0) return kAXErrorNoValue;
    if (element.kind() == Element::Kind::Application &&
        element.processIdentifier() != front->processIdentifier)
      return kAXErrorNoValue;
    return Element::uiElement(front->windowId, front->processIdentifier);
  }
  if (element.id() == 0) return kAXErrorInvalidUIElement;
  if (attribute == attribute::kSelectedText) {
    auto text = selectedText(element);
    if (!text.ok()) return text.error();
    return std::move(text.value());
  }
  // The window's text cannot be read: it is seen as holding only a caret, where a paste goes.
  if (attribute == attribute::kValue) return std::string();
  if (attribute == attribute::kSelectedTextRange) return TextRange{0, 0};
  if (attribute == attribute::kRole) {
    std::lock_guard lock(state_->windowsMutex);
    const bool terminal =
        x11::isTerminalWindow(state_->windows, static_cast<xcb_window_t>(element.id()));
    return std::string(terminal ? role::kTerminal : role::kWindow);
  }
  return kAXErrorAttributeUnsupported;
}

Result<Value> X11Accessibility::copyParameterizedAttributeValue(const Element&, std::string_view,
                                                                const Value&) {
  if (!isProcessTrusted()) return kAXErrorAPIDisabled;
  return kAXErrorParameterizedAttributeUnsupported;
}

AXError X11Accessibility::setAttributeValue(const Element& element, std::string_view attribute,
                                            const Value& value) {
  if (!isProcessTrusted()) return kAXErrorAPIDisabled;
  if (isFlag(attribute))
    return std::holds_alternative<bool>(value) ? kAXErrorSuccess : kAXErrorIllegalArgument;
  if (element.kind() != Element::Kind::UIElement) return kAXErrorAttributeUnsupported;
  if (element.id() == 0) return kAXErrorInvalidUIElement;
  // Only what is selected can be replaced, by a paste; the whole text never.
  if (attribute == attribute::kSelectedText) {
    const auto* text = std::get_if<std::string>(&value);
    if (!text) return kAXErrorIllegalArgument;
    return paste(element, *text);
  }
  // The caret cannot be placed from outside; after a paste it stands behind the text.
  if (attribute == attribute::kSelectedTextRange)
    return std::holds_alternative<TextRange>(value) ? kAXErrorSuccess : kAXErrorIllegalArgument;
  return kAXErrorAttributeUnsupported;
}

AXError X11Accessibility::paste(const Element& element, const std::string& text) {
  auto& state = *state_;
  std::lock_guard lock(state.mutex);
  // A paste right after another keeps the contents from before the first one to put back.
  const bool earlierPaste = state.pending.has_value();
  appkit::PasteboardSnapshot snapshot =
      earlierPaste ? std::move(state.pending->snapshot) : state.clipboard.saveAll();
  state.pending.reset();

  auto restoreNow = [&] {
    state.pending = State::PendingRestore{std::move(snapshot), state.clipboard.changeCount(), 0};
    state.restoreLocked();
  };
  if (!state.clipboard.setString(text)) {
    if (earlierPaste) restoreNow();
    return kAXErrorCannotComplete;
  }
  appkit::RunningApplication target{element.processIdentifier(),
                                    static_cast<std::uint32_t>(element.id())};
  if (!workspace_.activate(target) || !keys_.postKeyStroke(kVirtualKeyV, kEventFlagMaskCommand)) {
    restoreNow();
    return kAXErrorCannotComplete;
  }

  const std::uint64_t generation = state.nextGeneration++;
  state.pending =
      State::PendingRestore{std::move(snapshot), state.clipboard.changeCount(), generation};
  std::weak_ptr<State> weak = state_;
  // The application asks for the clipboard some time after the keystroke; it has to hold the
  // pasted text until then.
  foundation::DispatchQueue::main().asyncAfter(options_.clipboardRestoreDelay, [weak, generation] {
    auto state = weak.lock();
    if (!state) return;
    std::lock_guard lock(state->mutex);
    if (state->pending && state->pending->generation == generation) state->restoreLocked();
  });
  return kAXErrorSuccess;
}

}  // namespace accessibility
