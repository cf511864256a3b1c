#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "accessibility/KeyEventPoster.h"
#include "core/CaptureMessages.h"
#include "core/Console.h"
#include "core/DataModel.h"
#include "foundation/DispatchQueue.h"
#include "foundation/OperationQueue.h"

namespace core {
namespace {

namespace attribute = accessibility::attribute;
using namespace std::chrono_literals;

// How long the application may take to put its selection on the clipboard after the copy
// keystroke; with nothing selected most never do, so this is also how long "No selection" takes.
constexpr auto kCopyAnswerTimeout = 600ms;
constexpr auto kCopyPollInterval = 10ms;
// How long the panel waits for the capture before it takes the keyboard anyway (an application
// that hangs on the accessibility bus must not keep it away). Taking it ends the window's
// focus that the bus reads: a visible selection takes up to some 300 ms on a busy desktop.
constexpr auto kPanelWaitForCapture = 1500ms;

// The plain text of the selection that the text-marker attributes describe, if any.
std::optional<std::string> markedText(accessibility::Accessibility& ax,
                                      const accessibility::Element& focused) {
  const auto range = ax.copyAttributeValue(focused, attribute::kSelectedTextMarkerRange);
  if (!range.ok() || !std::holds_alternative<accessibility::TextMarkerRange>(range.value())) {
    return std::nullopt;
  }
  const auto text = ax.copyParameterizedAttributeValue(
      focused, attribute::kAttributedStringForTextMarkerRange, range.value());
  if (!text.ok()) return std::nullopt;
  if (const auto* attributed = std::get_if<accessibility::AttributedString>(&text.value())) {
    return attributed->string;
  }
  return std::nullopt;
}

bool isTerminal(accessibility::Accessibility& ax, const accessibility::Element& element) {
  const auto role = ax.copyAttributeValue(element, attribute::kRole);
  const auto* name = role.ok() ? std::get_if<std::string>(&role.value()) : nullptr;
  return name && *name == accessibility::role::kTerminal;
}

// Puts back what the pasteboard held before the copy, in every form the backend could save.
// Where nothing was, nothing (not even empty text) is written.
void putBack(appkit::Pasteboard& pasteboard, const appkit::PasteboardSnapshot& saved,
             const std::optional<std::string>& text) {
  if (saved.empty() && text) {
    pasteboard.setString(*text);
  } else {
    pasteboard.restore(saved);
  }
}

void runOnMain(std::function<void()> block) {
  if (block) foundation::DispatchQueue::main().async(std::move(block));
}

}  // namespace

// The captures run one after another off the main thread.
struct DataModel::CaptureQueue {
  explicit CaptureQueue(CaptureServices given) : services(std::move(given)) {}

  struct Piece {
    bool present;
    std::string_view name;
  };
  // True when every piece a way of capturing needs is there; else says which are missing, once
  // for that way. Queue only.
  bool has(std::initializer_list<Piece> needed, bool& reported) {
    std::string missing;
    for (const auto& piece : needed) {
      if (!piece.present) missing += std::string(missing.empty() ? "no " : ", no ") += piece.name;
    }
    if (missing.empty()) return true;
    if (!reported) printErrorLine("The selected text cannot be captured: " + missing + ".");
    reported = true;
    return false;
  }

  const CaptureServices services;
  bool reportedForAccessibility = false;
  bool reportedForCopy = false;
  // Last, so that it finishes its blocks while the services still exist.
  foundation::OperationQueue queue{"quill-capture"};
};

struct DataModel::AccessibilityCapture {
  bool trusted = true;
  bool hasFrontApplication = false;
  std::optional<accessibility::AXError> focusError;
  std::optional<accessibility::Element> focused;
  // Read successfully (a value that is no text reads as empty).
  std::optional<std::string> selectedText;
  // When the selected text could not be read: the selection by text markers.
  std::optional<std::string> markedText;
};

std::shared_ptr<DataModel::CaptureQueue> DataModel::captureQueue() {
  if (!captureQueue_) captureQueue_ = std::make_shared<CaptureQueue>(environment_.captureServices);
  return captureQueue_;
}

void DataModel::captureSelectedText(std::function<void()> whenPanelMayShow) {
  openHistory = false;
  status = "";
  captureTarget_.reset();
  ++capturesInFlight_;
  if (settings().useCopyHack()) {
    captureByCopy(std::move(whenPanelMayShow));
    return;
  }
  // The accessibility bus shows an application's focused element only while its window is
  // active: the panel takes the keyboard once the capture has read it, or after a bound.
  auto showPanel = std::make_shared<std::function<void()>>(std::move(whenPanelMayShow));
  auto showPanelOnce = [showPanel, weak = weak_from_this()] {
    if (!*showPanel) return;
    if (const auto self = weak.lock(); self && self->capturesInFlight_ > 0)
      self->status = std::string(kReadingSelectionStatus);
    auto show = std::move(*showPanel);
    *showPanel = nullptr;
    show();
  };
  if (*showPanel) foundation::DispatchQueue::main().asyncAfter(kPanelWaitForCapture, showPanelOnce);
  const auto capture = captureQueue();
  capture->queue.addOperation([capture, weak = weak_from_this(), showPanelOnce] {
    auto result = readSelection(*capture);
    foundation::DispatchQueue::main().async([weak, result = std::move(result), showPanelOnce] {
      if (const auto self = weak.lock()) {
        self->applyAccessibilityCapture(result);
        self->finishCapture();
      }
      showPanelOnce();
    });
  });
}

void DataModel::finishCapture() {
  if (--capturesInFlight_ > 0 || !sendAfterCapture_) return;
  const int picked = *std::exchange(sendAfterCapture_, std::nullopt);
  // The capture listed the presets of its kind anew; the one picked goes only if listed still.
  const auto& listed = filteredData.get();
  if (picked >= 0) {
    if (std::find(listed.begin(), listed.end(), picked) == listed.end()) return;
    selectedIndex = picked;
  }
  sendPrompt();
}

void DataModel::prepareCapture() {
  const auto capture = captureQueue();
  capture->queue.addOperation([capture] {
    // Asked off the main thread, the accessibility layer connects to the desktop's buses.
    if (capture->services.accessibility) capture->services.accessibility->isProcessTrusted();
  });
}

DataModel::AccessibilityCapture DataModel::readSelection(CaptureQueue& capture) {
  const auto& services = capture.services;
  AccessibilityCapture result;
  // Without a way to ask, it is as if no application were in front.
  if (!capture.has({{services.accessibility != nullptr, "accessibility service"},
                    {services.workspace != nullptr, "workspace"}},
                   capture.reportedForAccessibility)) {
    return result;
  }
  auto& ax = *services.accessibility;
  result.trusted = ax.isProcessTrusted();
  const auto front = services.workspace->frontmostApplication();
  result.hasFrontApplication = front.has_value();
  if (!front) return result;
  if (front->processIdentifier >= 0) {
    // Asks browsers and similar programs to expose their text; what they answer is moot.
    const auto application = ax.applicationElement(front->processIdentifier);
    ax.setAttributeValue(application, attribute::kEnhancedUserInterface, true);
    ax.setAttributeValue(application, attribute::kManualAccessibility, true);
  }
  const auto focused = ax.focusedElement();
  if (!focused.ok()) {
    result.focusError = focused.error();
    return result;
  }
  result.focused = focused.value();
  if (const auto selected = ax.copyAttributeValue(focused.value(), attribute::kSelectedText);
      selected.ok()) {
    const auto* text = std::get_if<std::string>(&selected.value());
    result.selectedText = text ? *text : "";
  } else {
    result.markedText = markedText(ax, focused.value());
  }
  return result;
}

void DataModel::applyAccessibilityCapture(const AccessibilityCapture& capture) {
  // Read now, whatever it found.
  if (status.get() == kReadingSelectionStatus) status = "";
  // Without the accessibility bus only the PRIMARY selection can be read: the message is true
  // only when that found nothing either, and goes once a selection is found.
  const bool found = (capture.selectedText && !capture.selectedText->empty()) ||
                     (capture.markedText && !capture.markedText->empty());
  if (!capture.trusted && !found)
    error = std::string(kAccessibilityMessage);
  else if (found && error.get() == kAccessibilityMessage)
    error = "";
  // Without an application in front there is nothing to read.
  if (!capture.hasFrontApplication) return;
  if (capture.focusError) {
    printLine("Error: " + accessibility::errorName(*capture.focusError));
    return;
  }
  captureTarget_ = capture.focused;
  if (capture.selectedText) {
    if (capture.selectedText->empty()) {
      status = std::string(kNoSelectionStatus);
      selectedValue = "";
      isContext = false;
      filterNonContextPrompts();
    } else {
      status = std::string(kContextFoundStatus);
      selectedValue = *capture.selectedText;
      isContext = true;
      filterContextPrompts();
    }
    return;
  }
  status = std::string(kNoFocusStatus);
  isContext = false;
  filterNonContextPrompts();
  if (capture.markedText && !capture.markedText->empty()) {
    selectedValue = *capture.markedText;
    status = std::string(kContextFoundStatus);
    isContext = true;
    filterContextPrompts();
  }
}

// The keystroke goes out before the panel is shown, so that it reaches the window the user was
// working in. Captures run one after another on the queue, so each puts back the pasteboard it
// found.
void DataModel::captureByCopy(std::function<void()> whenPanelMayShow) {
  const auto capture = captureQueue();
  capture->queue.addOperation([capture, weak = weak_from_this(),
                               whenPanelMayShow = std::move(whenPanelMayShow)]() mutable {
    const auto& services = capture->services;
    std::optional<accessibility::Element> target;
    if (services.accessibility) {
      if (const auto focused = services.accessibility->focusedElement(); focused.ok()) {
        target = focused.value();
      }
    }
    // Ctrl+C in a terminal interrupts the program running there: its selection is read as the
    // accessibility road reads it instead.
    if (target && isTerminal(*services.accessibility, *target)) {
      runOnMain(std::move(whenPanelMayShow));
      auto result = readSelection(*capture);
      foundation::DispatchQueue::main().async([weak, result = std::move(result)] {
        const auto self = weak.lock();
        if (!self) return;
        self->applyAccessibilityCapture(result);
        self->finishCapture();
      });
      return;
    }
    std::optional<std::string> copied;
    // Without them no keystroke is made, and the pasteboard is left alone.
    if (capture->has({{services.pasteboard != nullptr, "pasteboard"},
                      {services.keyEventPoster != nullptr, "key event poster"}},
                     capture->reportedForCopy)) {
      auto& pasteboard = *services.pasteboard;
      const auto rememberedText = pasteboard.string();
      const auto remembered = pasteboard.saveAll();
      const auto cleared = pasteboard.clearContents();
      // The keystroke goes to whichever window has the keyboard: it has to be the one the hot
      // key found in front.
      const auto front =
          services.workspace ? services.workspace->frontmostApplication() : std::nullopt;
      const bool inFront = !services.workspace || (front && services.workspace->activate(*front));
      const bool posted =
          inFront && services.keyEventPoster->postKeyStroke(accessibility::kVirtualKeyC,
                                                            accessibility::kEventFlagMaskCommand);
      runOnMain(std::move(whenPanelMayShow));
      if (posted) {
        const auto deadline = std::chrono::steady_clock::now() + kCopyAnswerTimeout;
        while (pasteboard.changeCount() == cleared && std::chrono::steady_clock::now() < deadline) {
          std::this_thread::sleep_for(kCopyPollInterval);
        }
        // Whatever arrived after the clear is the selection, even the text that was there before.
        copied = pasteboard.string().value_or("");
      }
      putBack(pasteboard, remembered, rememberedText);
    } else {
      runOnMain(std::move(whenPanelMayShow));
    }
    foundation::DispatchQueue::main().async([weak, copied = std::move(copied), target] {
      const auto self = weak.lock();
      if (!self) return;
      // No keystroke could be made: the model stays as it was.
      if (copied) {
        self->captureTarget_ = target;
        self->applyCapturedText(*copied);
      }
      self->finishCapture();
    });
  });
}

void DataModel::applyCapturedText(const std::string& text) {
  selectedValue = text;
  if (!text.empty()) {
    isContext = true;
    filterContextPrompts();
    status = std::string(kContextFoundStatus);
  } else {
    status = std::string(kNoSelectionStatus);
    isContext = false;
    filterNonContextPrompts();
  }
}

}  // namespace core
