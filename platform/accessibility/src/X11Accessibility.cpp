#include "accessibility/X11Accessibility.h"

#include <unistd.h>

#include <mutex>

#include "X11InputHistory.h"
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

// What a window showed when its text was captured: what must still hold for a paste to land
// in the same document, at the same selection.
struct X11Accessibility::WindowLook {
  xcb_window_t window = XCB_NONE;
  std::string title;
  xcb_window_t primaryOwner = XCB_NONE;
  std::optional<std::uint32_t> primaryTime;
  // The owner is this program (the panel's own text): it says nothing of the window.
  bool primaryOurs = false;

  bool sameDocument(const WindowLook& now) const {
    if (window != now.window || title != now.title) return false;
    if (now.primaryOurs) return true;
    return primaryOurs == now.primaryOurs && primaryOwner == now.primaryOwner &&
           primaryTime == now.primaryTime;
  }
};

// Shared with the delayed restore, which may run after this object is gone.
struct X11Accessibility::State {
  State(appkit::Pasteboard& clipboard, const X11AccessibilityOptions& options)
      : clipboard(clipboard),
        reader(options.displayName.empty() ? nullptr : options.displayName.c_str(),
               options.selectionTimeout),
        windows(options.displayName.empty() ? nullptr : options.displayName.c_str()),
        input(options.displayName) {}

  struct PendingRestore {
    appkit::PasteboardSnapshot snapshot;
    std::int64_t changeCountAfterPaste = 0;
    std::uint64_t generation = 0;
  };

  appkit::Pasteboard& clipboard;
  appkit::x11::SelectionReader reader;
  std::mutex windowsMutex;  // guards `windows`
  appkit::x11::Connection windows;
  x11::X11InputHistory input;
  std::mutex capturedMutex;  // guards `captured`
  std::optional<WindowLook> captured;
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

std::optional<std::uint32_t> X11Accessibility::primaryTime() {
  const auto stamp = state_->reader.convert(kPrimary, "TIMESTAMP");
  if (!stamp.ok() || stamp.value().format != 32 || stamp.value().bytes.size() < 4)
    return std::nullopt;
  std::uint32_t time = 0;
  stamp.value().bytes.copy(reinterpret_cast<char*>(&time), 4);
  // CurrentTime tells nothing of when it was selected.
  return time == XCB_CURRENT_TIME ? std::nullopt : std::optional<std::uint32_t>(time);
}

X11Accessibility::WindowLook X11Accessibility::lookOf(xcb_window_t window, int processIdentifier) {
  WindowLook look;
  look.primaryOwner = state_->reader.owner(kPrimary);
  std::unique_lock lock(state_->windowsMutex);
  if (!x11::windowExists(state_->windows, window)) return look;
  // Only the window's own selection is asked when it was made; another program's owner is
  // not bothered.
  const bool own =
      x11::belongsToWindow(state_->windows, look.primaryOwner, window, processIdentifier);
  lock.unlock();
  if (own) look.primaryTime = primaryTime();
  lock.lock();
  look.window = window;
  look.title = x11::windowTitle(state_->windows, window);
  if (look.primaryOwner != XCB_NONE) {
    const auto pid = state_->windows.cardinalProperty(look.primaryOwner, "_NET_WM_PID");
    look.primaryOurs = pid ? static_cast<int>(*pid) == ::getpid()
                           : x11::clientProcess(state_->windows, look.primaryOwner) == ::getpid();
  }
  return look;
}

void X11Accessibility::rememberLook(xcb_window_t window, int processIdentifier) {
  auto look = lookOf(window, processIdentifier);
  std::lock_guard lock(state_->capturedMutex);
  state_->captured = std::move(look);
}

bool X11Accessibility::showsWhatWasCaptured(const Element& element) {
  const auto window = static_cast<xcb_window_t>(element.id());
  {
    std::lock_guard lock(state_->capturedMutex);
    if (!state_->captured || state_->captured->window != window) return false;
  }
  const auto now = lookOf(window, element.processIdentifier());
  std::lock_guard lock(state_->capturedMutex);
  return state_->captured && state_->captured->sameDocument(now);
}

bool X11Accessibility::selectionOutlived(const Element& element,
                                         std::optional<std::uint32_t> selected) {
  if (!selected) return false;
  std::optional<std::uint32_t> input;
  x11::SelectionKeeping keeping;
  {
    std::lock_guard lock(state_->windowsMutex);
    input = x11::userTime(state_->windows, static_cast<xcb_window_t>(element.id()));
    keeping.modifiers = x11::modifierKeycodes(state_->windows);
    keeping.shifts = x11::shiftKeycodes(state_->windows);
    keeping.caretKeys = x11::caretKeycodes(state_->windows);
  }
  // The hot key started this capture: its presses never reach the window, yet some toolkits
  // take their time as the window's user time all the same.
  keeping.latestChord = true;
  // Without the display's presses (no XInput 2) the selection is taken as it stands.
  if (!input || !x11::laterThan(*input, *selected) || !state_->input.ok()) return false;
  // The window took input after the selection was made. The hot key's own modifiers are such
  // input and change nothing, and so are Shift and a caret key, which extend the selection that
  // the application owns already, and the hot key itself; any other key or click may have moved
  // the focus to another field of the window, which then shows no selection of its own.
  const auto pressed = state_->input.pressedBetween(*selected, *input, keeping);
  return pressed.value_or(true);
}

Result<std::string> X11Accessibility::primaryTextOf(const Element& element) {
  // What another window selected last is not this one's selection.
  if (!primaryBelongsTo(element)) return std::string();
  const auto selected = primaryTime();
  auto text = state_->reader.text(kPrimary);
  // The owner may have changed while it was asked.
  if (text.ok() && !primaryBelongsTo(element)) return std::string();
  if (text.ok() && selectionOutlived(element, selected)) return std::string();
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

Result<std::string> X11Accessibility::selectedText(const Element& element) {
  auto text = primaryTextOf(element);
  rememberLook(static_cast<xcb_window_t>(element.id()), element.processIdentifier());
  return text;
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
    // The element is the window as it is now: a write goes only where it still looks so.
    rememberLook(front->windowId, front->processIdentifier);
    return Element::uiElement(front->windowId, front->processIdentifier);
  }
  if (element.id() == 0) return kAXErrorInvalidUIElement;
  if (attribute == attribute::kSelectedText) {
    auto text = selectedText(element);
    if (!text.ok()) return text.error();
    return std::move(text.value());
  }
  // The window's text cannot be read: it is seen as holding only a caret, where a paste goes.
  // One that shows another document, or another selection, than captured is another element.
  if (attribute == attribute::kValue || attribute == attribute::kSelectedTextRange) {
    if (!showsWhatWasCaptured(element)) return kAXErrorInvalidUIElement;
    if (attribute == attribute::kValue) return std::string();
    return TextRange{0, 0};
  }
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
  {
    // Ctrl+V there is a keystroke for the shell: it takes the next key literally.
    std::lock_guard lock(state_->windowsMutex);
    if (x11::isTerminalWindow(state_->windows, static_cast<xcb_window_t>(element.id())))
      return kAXErrorCannotComplete;
  }
  if (!showsWhatWasCaptured(element)) return kAXErrorInvalidUIElement;
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
  if (!workspace_.activate(target)) {
    restoreNow();
    return kAXErrorCannotComplete;
  }
  // Bringing it back took a while: it is looked at again just before the keystroke.
  if (!showsWhatWasCaptured(element)) {
    restoreNow();
    return kAXErrorInvalidUIElement;
  }
  if (!keys_.postKeyStroke(kVirtualKeyV, kEventFlagMaskCommand)) {
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
