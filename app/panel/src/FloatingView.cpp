#include "panel/FloatingView.h"

#include "PanelViewParts.h"

namespace panel {

namespace {

// Dark and slightly translucent, where the desktop would blur what lies behind.
ui::Color panelBackground() {
  return ui::Color::sRGB(40 / 255.0, 40 / 255.0, 40 / 255.0, 0.92);
}

// The conversation, built again on its own while a shown answer grows.
ui::AnyView Conversation(const FloatingViewContext& context) {
  if (!context.changes) return parts::ConversationArea(context);
  return ui::ViewBuilder([context](ui::BuildContext& build) {
    build.observe(context.changes->answerGrowth());
    return parts::ConversationArea(context);
  });
}

}  // namespace

ui::AnyView FloatingView(const FloatingViewContext& context) {
  return ui::ViewBuilder([context](ui::BuildContext& build) {
    if (context.changes) {
      build.observe(context.changes->all());
    } else {
      build.observe(*context.model);
    }
    build.observe(*context.state);
    auto scroller = context.conversationScroller;
    ui::AnyView conversation = ui::ScrollViewReader([context, scroller](ui::ScrollViewProxy proxy) {
                                 if (scroller) *scroller = proxy;
                                 return ui::ScrollView(Conversation(context));
                               })
                                   .frame(ui::FrameBounds{.minWidth = kConversationMinimumSide,
                                                          .maxWidth = ui::kInfinity,
                                                          .minHeight = kConversationMinimumSide,
                                                          .maxHeight = ui::kInfinity})
                                   .foregroundColor(ui::Color::white())
                                   .accessibilityIdentifier("panel.conversation");
    ui::AnyView content =
        ui::VStack(
            {parts::InputArea(context), ui::Divider(),
             ui::VStack({std::move(conversation), ui::Divider(), parts::Toolbar(context, build)})})
            .padding(kPanelPadding);
    return ui::ZStack({ui::ColorView(panelBackground()), std::move(content)})
        .clipShape(ui::RoundedRectangle(kPanelCornerRadius))
        .frame(ui::FrameBounds{.maxWidth = ui::kInfinity, .maxHeight = ui::kInfinity})
        .environment<ui::ColorSchemeKey>(ui::ColorScheme::dark)
        .onKeyPress([run = context.runCommand](const ui::KeyEvent& event) {
          const auto command = panelCommandForKey(event);
          return command && run && run(*command);
        });
  });
}

}  // namespace panel
