#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "accessibility/Accessibility.h"
#include "appkit/Workspace.h"

namespace accessibility {

// Where the desktop's accessibility bus (AT-SPI 2) stands.
enum class AccessibilityBus {
  absent,    // no session bus, or nobody there serves org.a11y.Bus
  disabled,  // there, with assistive technologies switched off (org.a11y.Status.IsEnabled)
  enabled,
};

struct AtspiOptions {
  // Bound of every call to another program over the bus; a hung application costs this much.
  std::chrono::milliseconds callTimeout{150};
};

// The applications that expose themselves on the accessibility bus, through libatspi. libatspi
// is not thread-safe: one thread of this object's own makes every call, and the operations wait
// for it (boundedly), so they may be called from any thread but never from the main one.
// libatspi is also one per process: make one of these in a process.
//
// It connects to the bus as soon as it is made, on that thread, and follows the bus's switch
// from then on: asking where the bus stands costs nothing after the first look.
//
// Elements are the accessibles it found focused, remembered (a few at a time) by an id of their
// own; they stay the same object whatever has the focus later.
// - Text elements: "AXSelectedText" is their first selection (empty text when none);
//   "AXValue" their whole text; "AXSelectedTextRange" that selection, or the caret, in UTF-16
//   units (the bus counts characters); "AXRole" role::kTerminal for terminals, else
//   role::kTextArea.
// - A paragraph whose selection goes on into its neighbours (a word processor's document):
//   "AXSelectedText" is the whole selection, the paragraphs' pieces joined by line breaks;
//   "AXSelectedTextRange" and both writes answer kAXErrorNoValue, since no range of this text
//   holds it.
// - Writing "AXSelectedTextRange" selects that range (length 0: puts the caret there, with no
//   selection left, and is looked at: kAXErrorCannotComplete when the application would not);
//   writing "AXSelectedText" replaces exactly the range selected last through this object (else
//   the application's own selection) through the editable-text interface, without the
//   clipboard. An application may answer that it did and change nothing: read the text back.
// - An element whose accessible has gone while its application still answers (the tab of a
//   document that was closed) answers every read and write with kAXErrorInvalidUIElement.
class AtspiAccessibility {
 public:
  explicit AtspiAccessibility(AtspiOptions options = {});
  ~AtspiAccessibility();
  AtspiAccessibility(const AtspiAccessibility&) = delete;
  AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

  // Where the bus stands, as it last announced. Off the main thread this waits (boundedly) for
  // the first look at start to end; on the main thread it never waits, and is `absent` until
  // then. A missing session bus is looked for again now and then, in the background.
  AccessibilityBus bus();
  // `told` runs once the first look at start has ended: at once on the calling thread when it
  // has, else on this object's thread.
  void whenFirstLooked(std::function<void(AccessibilityBus)> told);
  // Switches the bus on for every application (org.a11y.Status.IsEnabled, the desktop's own
  // switch, which it keeps). `done` runs on this object's thread, told whether the bus is on;
  // not at all when this object goes first.
  void enable(std::function<void(bool enabled)> done);

  // Whether the element is one of this object's.
  static bool owns(const Element& element);
  // The focused accessible of `front`'s window in front, when it offers text. kAXErrorNoValue
  // when the bus is absent, the application is not on it or nothing with text has the focus;
  // kAXErrorCannotComplete when the application did not answer in time.
  Result<Element> focusedTextElement(const appkit::RunningApplication& front);
  // The window `element` was found in.
  std::optional<appkit::RunningApplication> windowOf(const Element& element);

  Result<Value> copyAttributeValue(const Element& element, std::string_view attribute);
  AXError setAttributeValue(const Element& element, std::string_view attribute, const Value& value);

 private:
  struct Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace accessibility
