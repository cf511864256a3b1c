#include "PanelViewParts.h"

namespace panel::parts {

namespace {

// The product's mark at the start of the toolbar.
constexpr const char* kToolbarMark = "\U0001FAB6";

ui::AnyView Caption(std::string text, ui::Color color = ui::Color::gray()) {
  return ui::AnyView(ui::Text::verbatim(std::move(text)))
      .font(ui::Font::system(12))
      .foregroundColor(color);
}

ui::AnyView ToolButton(std::string caption, std::vector<std::string> keys,
                       std::function<void()> action, std::string identifier) {
  std::vector<ui::AnyView> label{Caption(std::move(caption))};
  for (auto& key : keys) label.push_back(KeyCap(std::move(key)));
  return ui::Button(std::move(action),
                    ui::HStack(ui::VAlign::center, 3, std::move(label)).padding(1).fixedSize())
      .buttonStyle(ui::ButtonStyle::plain)
      .accessibilityIdentifier(std::move(identifier));
}

}  // namespace

ui::AnyView KeyCap(std::string glyph) {
  return ui::AnyView(ui::Text::verbatim(std::move(glyph)))
      .font(ui::Font::system(9, ui::Font::Weight::semibold))
      .foregroundColor(ui::Color::rgba(0x1E1E1EFF))
      .padding(ui::EdgeSet::horizontal(), 2)
      .frame(ui::FrameBounds{.minWidth = 14, .minHeight = 14, .maxHeight = 14})
      .background(ui::RoundedRectangle(3).fill(ui::Color::gray()));
}

ui::AnyView Toolbar(const FloatingViewContext& context) {
  auto model = context.model;
  auto run = context.runCommand;
  // Why an accepted answer was not written: it stands where the send button was (Return
  // still sends), so that the answer's own buttons keep their room.
  const bool notWritten =
      !model->responseValue->empty() && !model->writeBackStatus->empty() && !model->isLoading;
  std::vector<ui::AnyView> items;
  if (notWritten) {
    items.push_back(Caption(model->writeBackStatus, ui::Color::orange())
                        .fixedSize()
                        .accessibilityLabel("Not written: " + model->writeBackStatus.get())
                        .accessibilityIdentifier("panel.writeBackStatus"));
    items.push_back(ui::Spacer());
  } else {
    items.push_back(ui::AnyView(ui::Text::verbatim(kToolbarMark)).font(ui::Font::system(13)));
    items.push_back(ui::Spacer());
    items.push_back(ToolButton(
        "Select", {"\u23CE"}, [model] { model->sendPrompt(); }, "panel.select"));
  }
  items.insert(items.end(),
               {ui::Divider(),
                ToolButton(
                    "History", {"Ctrl", "H"},
                    [model] { model->openHistory = !model->openHistory.get(); }, "panel.history"),
                ui::Divider(),
                ui::Toggle(ui::Binding<bool>([model] { return model->isOnTopBinding.get(); },
                                             [model](bool on) { model->isOnTopBinding = on; }),
                           Caption("On top").fixedSize())
                    .accessibilityIdentifier("panel.onTop"),
                ui::Divider()});
  if (model->responseValue->empty()) {
    items.push_back(
        Caption(model->status).layoutPriority(1).accessibilityIdentifier("panel.status"));
  } else {
    if (!model->openHistory)
      items.push_back(ToolButton(
          "Re", {"Ctrl", "R"}, [model] { model->regenerate(); }, "panel.regenerate"));
    items.push_back(ui::Divider());
    items.push_back(ToolButton(
        model->isLoading ? "Cancel" : "New chat", {"Esc"}, [model] { model->handleEscape(); },
        "panel.escape"));
    items.push_back(ui::Divider());
    items.push_back(ToolButton(
        "Copy all", {"Ctrl", "\u21E7", "C"},
        [run] {
          if (run) run(PanelCommand::copyAnswer);
        },
        "panel.copyAll"));
  }
  return ui::HStack(ui::VAlign::center, std::nullopt, std::move(items))
      .frame(std::nullopt, kToolbarHeight)
      .accessibilityIdentifier("panel.toolbar");
}

}  // namespace panel::parts
