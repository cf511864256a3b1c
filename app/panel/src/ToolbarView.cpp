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

namespace {

// All the toolbar shows of the model: equal facts build an equal toolbar.
struct ToolbarFacts {
  bool hasAnswer = false, isLoading = false, openHistory = false, isOnTop = false;
  std::string writeBackStatus, status;

  explicit ToolbarFacts(const core::DataModel& model)
      : hasAnswer(!model.responseValue->empty()),
        isLoading(model.isLoading),
        openHistory(model.openHistory),
        isOnTop(model.isOnTopBinding),
        writeBackStatus(model.writeBackStatus),
        status(model.status) {}
  bool operator==(const ToolbarFacts&) const = default;
};

ui::AnyView BuildToolbar(const FloatingViewContext& context, const ToolbarFacts& facts) {
  auto model = context.model;
  auto run = context.runCommand;
  // Why an accepted answer was not written: it stands where the send button was (Return
  // still sends), so that the answer's own buttons keep their room.
  const bool notWritten = facts.hasAnswer && !facts.writeBackStatus.empty() && !facts.isLoading;
  std::vector<ui::AnyView> items;
  if (notWritten) {
    items.push_back(Caption(facts.writeBackStatus, ui::Color::orange())
                        .fixedSize()
                        .accessibilityLabel("Not written: " + facts.writeBackStatus)
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
  if (!facts.hasAnswer) {
    items.push_back(
        Caption(facts.status).layoutPriority(1).accessibilityIdentifier("panel.status"));
  } else {
    if (!facts.openHistory)
      items.push_back(ToolButton(
          "Re", {"Ctrl", "R"}, [model] { model->regenerate(); }, "panel.regenerate"));
    items.push_back(ui::Divider());
    items.push_back(ToolButton(
        facts.isLoading ? "Cancel" : "New chat", {"Esc"}, [model] { model->handleEscape(); },
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

}  // namespace

ui::AnyView Toolbar(const FloatingViewContext& context, ui::BuildContext& build) {
  struct Built {
    ToolbarFacts facts;
    ui::AnyView view;
  };
  const auto built =
      *build.state<std::shared_ptr<std::optional<Built>>>(std::make_shared<std::optional<Built>>());
  ToolbarFacts facts(*context.model);
  if (!*built || !((*built)->facts == facts)) {
    ui::AnyView view = BuildToolbar(context, facts);
    *built = Built{std::move(facts), std::move(view)};
  }
  return (*built)->view;
}

}  // namespace panel::parts
