#include <initializer_list>
#include <string>
#include <string_view>
#include <thread>

#include "accessibility/KeyEventPoster.h"
#include "core/Console.h"
#include "core/DataModel.h"
#include "foundation/DispatchQueue.h"
#include "foundation/OperationQueue.h"

namespace core {
namespace {

namespace attribute = accessibility::attribute;
using namespace std::chrono_literals;

constexpr const char* kContextFoundStatus = "Context found press esc to remove context";
constexpr const char* kNoSelectionStatus = "No selection";
constexpr const char* kNoFocusStatus = "No focus found";
constexpr const char* kNotTrustedError =
    "You have not enabled accessibility access. Quillcast requires accessibility access to "
    "capture what is on the screen. On your Mac, choose Apple menu > System Preferences > "
    "Security & Privacy > Privacy > Accessibility, then grant access to Quillcast.";
// The application in front needs a moment to put its selection on the pasteboard.
constexpr auto kCopyReadDelay = 200ms;

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
  foundation::OperationQueue queue;
};

struct DataModel::AccessibilityCapture {
  bool trusted = true;
  bool hasFrontApplication = false;
  std::optional<accessibility::AXError> focusError;
  // Read successfully (a value that is no text reads as empty).
  std::optional<std::string> selectedText;
  // When the selected text could not be read: the selection by text markers.
  std::optional<std::string> markedText;
};

std::shared_ptr<DataModel::CaptureQueue> DataModel::captureQueue() {
  if (!captureQueue_) captureQueue_ = std::make_shared<CaptureQueue>(environment_.captureServices);
  return captureQueue_;
}

void DataModel::captureSelectedText() {
  openHistory = false;
  status = "";
  ++capturesInFlight_;
  if (settings().useCopyHack()) {
    captureByCopy();
    return;
  }
  const auto capture = captureQueue();
  capture->queue.addOperation([capture, weak = weak_from_this()] {
    const auto& services = capture->services;
    AccessibilityCapture result;
    // Without a way to ask, it is as if no application were in front.
    if (capture->has({{services.accessibility != nullptr, "accessibility service"},
                      {services.workspace != nullptr, "workspace"}},
                     capture->reportedForAccessibility)) {
      auto& ax = *services.accessibility;
      result.trusted = ax.isProcessTrusted();
      const auto front = services.workspace->frontmostApplication();
      result.hasFrontApplication = front.has_value();
      if (front) {
        if (front->processIdentifier >= 0) {
          // Asks browsers and similar programs to expose their text; what they answer is moot.
          const auto application = ax.applicationElement(front->processIdentifier);
          ax.setAttributeValue(application, attribute::kEnhancedUserInterface, true);
          ax.setAttributeValue(application, attribute::kManualAccessibility, true);
        }
        const auto focused = ax.focusedElement();
        if (!focused.ok()) {
          result.focusError = focused.error();
        } else if (const auto selected =
                       ax.copyAttributeValue(focused.value(), attribute::kSelectedText);
                   selected.ok()) {
          const auto* text = std::get_if<std::string>(&selected.value());
          result.selectedText = text ? *text : "";
        } else {
          result.markedText = markedText(ax, focused.value());
        }
      }
    }
    foundation::DispatchQueue::main().async([weak, result = std::move(result)] {
      const auto self = weak.lock();
      if (!self) return;
      self->applyAccessibilityCapture(result);
      self->finishCapture();
    });
  });
}

void DataModel::applyAccessibilityCapture(const AccessibilityCapture& capture) {
  if (!capture.trusted) error = kNotTrustedError;
  // Without an application in front there is nothing to read.
  if (!capture.hasFrontApplication) return;
  if (capture.focusError) {
    printLine("Error: " + accessibility::errorName(*capture.focusError));
    return;
  }
  if (capture.selectedText) {
    if (capture.selectedText->empty()) {
      status = kNoSelectionStatus;
      selectedValue = "";
      isContext = false;
      filterNonContextPrompts();
    } else {
      status = kContextFoundStatus;
      selectedValue = *capture.selectedText;
      isContext = true;
      filterContextPrompts();
    }
    return;
  }
  status = kNoFocusStatus;
  isContext = false;
  filterNonContextPrompts();
  if (capture.markedText && !capture.markedText->empty()) {
    selectedValue = *capture.markedText;
    status = kContextFoundStatus;
    isContext = true;
    filterContextPrompts();
  }
}

// Captures run one after another on the queue, so each puts back the pasteboard it found.
void DataModel::captureByCopy() {
  const auto capture = captureQueue();
  capture->queue.addOperation([capture, weak = weak_from_this()] {
    const auto& services = capture->services;
    std::optional<std::string> copied;
    // Without them no keystroke is made, and the pasteboard is left alone.
    if (capture->has({{services.pasteboard != nullptr, "pasteboard"},
                      {services.keyEventPoster != nullptr, "key event poster"}},
                     capture->reportedForCopy)) {
      auto& pasteboard = *services.pasteboard;
      const auto rememberedText = pasteboard.string();
      const auto remembered = pasteboard.saveAll();
      pasteboard.clearContents();
      if (services.keyEventPoster->postKeyStroke(accessibility::kVirtualKeyC,
                                                 accessibility::kEventFlagMaskCommand)) {
        std::this_thread::sleep_for(kCopyReadDelay);
        // Whatever arrived after the clear is the selection, even the text that was there before.
        copied = pasteboard.string().value_or("");
      }
      putBack(pasteboard, remembered, rememberedText);
    }
    foundation::DispatchQueue::main().async([weak, copied = std::move(copied)] {
      const auto self = weak.lock();
      if (!self) return;
      // No keystroke could be made: the model stays as it was.
      if (copied) self->applyCapturedText(*copied);
      self->finishCapture();
    });
  });
}

void DataModel::applyCapturedText(const std::string& text) {
  selectedValue = text;
  if (!text.empty()) {
    isContext = true;
    filterContextPrompts();
    status = kContextFoundStatus;
  } else {
    status = kNoSelectionStatus;
    isContext = false;
    filterNonContextPrompts();
  }
}

}  // namespace core
