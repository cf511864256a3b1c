#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ui/Color.h"
#include "ui/Font.h"
#include "ui/Geometry.h"
#include "ui/Identity.h"
#include "ui/State.h"

namespace ui {

// The native widgets a backend hosts inside a view tree. Each is a value description; the
// backend makes one widget per Representable node, updates it with every new description and
// destroys it when the node goes. Text binds both ways: the widget writes each edit to
// `text`, and takes `text.get()` only when it differs from what it shows, so that the caret
// and an input method's composition survive a model that sets the same text again.

// How the focus reached a view: by Tab, by Shift+Tab, or otherwise (a click, the model).
enum class FocusMove { other, forward, backward };

enum class TextFieldStyle { roundedBorder, plain, search };

// One line of text: a field, a secure (password) field or a search field.
struct TextFieldWidget {
  Binding<std::string> text = Binding<std::string>::constant({});
  std::string placeholder;
  bool secure = false;
  TextFieldStyle style = TextFieldStyle::roundedBorder;
  std::optional<Font> font;
  std::function<void()> onSubmit;  // Return, unless a view claimed it first
};

// Several lines of plain text. A growing editor reports the height of its content (between
// `minHeight` and `maxHeight`) as its ideal height and shows no scroll bars, so the layout
// follows the text as it is typed; a fixed one scrolls inside the size it is given.
struct TextEditorWidget {
  Binding<std::string> text = Binding<std::string>::constant({});
  std::string placeholder;
  bool editable = true;
  bool growsWithContent = false;
  bool bordered = true;
  std::optional<Font> font;
  double minHeight = 0;
  std::optional<double> maxHeight;
};

// A pop-up menu of strings. Choosing one writes it to `selection`; the widget never writes
// by itself (a selection missing from `items` is shown as it is).
struct ComboBoxWidget {
  std::vector<std::string> items;
  Binding<std::string> selection = Binding<std::string>::constant({});
};

using WidgetDescription = std::variant<TextFieldWidget, TextEditorWidget, ComboBoxWidget>;

// A backend's widget for one node.
class HostedWidget {
 public:
  virtual ~HostedWidget() = default;
  virtual void update(const WidgetDescription& description) = 0;
  // The size the widget wants for a proposal; nullopt leaves it to the node's sizing.
  virtual std::optional<Size> sizeThatFits(ProposedSize) const { return std::nullopt; }
  // The layer's focus moved to (or away from) this widget.
  virtual void setFocused(bool) {}
  // The same, knowing how: Tab and Shift+Tab show the widget's own focus ring.
  virtual void focusMoved(bool focused, FocusMove) { setFocused(focused); }
  // The scheme of the views around it: a field on a dark panel draws dark on a light desktop.
  virtual void setColorScheme(ColorScheme) {}
};

// What a widget may tell the layer.
struct HostedWidgetEvents {
  std::function<void()> sizeChanged;  // its ideal size changed: lay the tree out again
  std::function<void()> focusTaken;   // the user put the keyboard focus in it
};

class WidgetFactory {
 public:
  virtual ~WidgetFactory() = default;
  virtual std::unique_ptr<HostedWidget> make(const Identity& id,
                                             const WidgetDescription& description,
                                             HostedWidgetEvents events) = 0;
};

}  // namespace ui
