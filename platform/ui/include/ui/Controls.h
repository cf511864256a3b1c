#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/HostedWidget.h"
#include "ui/State.h"
#include "ui/View.h"

namespace ui {

// Runs `action` on release inside. The environment's button style draws it: automatic puts
// the label in a bezel (kButtonHorizontalPadding × kButtonVerticalPadding, highlighted while
// pressed); plain leaves the label as it is and dims it to kPlainButtonPressedOpacity while
// pressed. Focused buttons also fire on space and return. A disabled button (and toggle) is
// drawn at kDisabledControlOpacity.
AnyView Button(std::function<void()> action, AnyView label);
AnyView Button(std::string title, std::function<void()> action);

// An icon and a title, arranged by the environment's label style: the icon first, then
// kLabelSpacing, with the icon centred on the title's first line.
AnyView Label(AnyView title, AnyView icon);
AnyView Label(std::string title, std::string systemImage);

// A check box before its label; a click anywhere on it (or space or return when focused)
// flips it.
AnyView Toggle(Binding<bool> isOn, AnyView label);

// Where a backend hosts a native widget (see HostedWidget.h): the layer sizes and places it
// (asking the widget for its size once it exists) and gives it the focus by `widgetId`.
struct RepresentableSizing {
  std::optional<double> idealWidth, idealHeight;  // used when the proposal is unspecified
  bool flexibleWidth = true, flexibleHeight = false;
};
AnyView Representable(Identity widgetId, WidgetDescription description,
                      RepresentableSizing sizing = {});

inline constexpr RepresentableSizing kTextFieldSizing{.idealWidth = 100, .idealHeight = 22};
// A one-line field, a password field and a plain text editor with their usual sizes.
AnyView TextField(Identity id, std::string placeholder, Binding<std::string> text);
AnyView SecureField(Identity id, std::string placeholder, Binding<std::string> text);
AnyView TextEditor(Identity id, Binding<std::string> text);

}  // namespace ui
