#pragma once

#include <string>
#include <vector>

#include "panel/FloatingView.h"
#include "ui/Views.h"

// The regions of the panel content, each built from the shared context.
namespace panel::parts {

// A hosted text editor as tall as its wrapped text, measured like any text of the layer.
ui::AnyView GrowingEditor(ui::Identity id, ui::TextEditorWidget editor, double fontSize);

// Keeps the panel's focus field and the keyboard focus together for the control `id`.
ui::AnyView FocusedAs(ui::AnyView control, const FloatingViewContext& context, ui::Identity id);

ui::AnyView InputArea(const FloatingViewContext& context);
ui::AnyView ConversationArea(const FloatingViewContext& context);
ui::AnyView PresetList(const FloatingViewContext& context);
ui::AnyView HistoryList(const FloatingViewContext& context);
ui::AnyView MessageList(const FloatingViewContext& context);
ui::AnyView FillInFormView(const FloatingViewContext& context);
// The same view while what it shows of the model holds (the layer then skips it whole): a key
// typed into the input line does not build it again. Called once in each build of `build`.
ui::AnyView Toolbar(const FloatingViewContext& context, ui::BuildContext& build);

// A small key cap for the toolbar labels ("Ctrl", "H", "⏎").
ui::AnyView KeyCap(std::string glyph);

}  // namespace panel::parts
