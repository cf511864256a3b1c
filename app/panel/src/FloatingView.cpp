#include "panel/FloatingView.h"

#include <chrono>

#include "PanelViewParts.h"

namespace panel {

namespace {

double steadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Dark and slightly translucent, where the desktop would blur what lies behind.
ui::Color panelBackground() {
  return ui::Color::sRGB(40 / 255.0, 40 / 255.0, 40 / 255.0, 0.92);
}

}  // namespace

DoubleClickDetector::DoubleClickDetector(Clock clock)
    : clock_(clock ? std::move(clock) : Clock(steadySeconds)) {}

bool DoubleClickDetector::click(const ui::Identity& row) {
  const double now = clock_();
  const bool second = lastRow_ && *lastRow_ == row && now - lastTime_ <= kInterval;
  // A double click ends the sequence: a third click starts a new one.
  lastRow_ = second ? std::nullopt : std::optional<ui::Identity>(row);
  lastTime_ = now;
  return second;
}

ui::AnyView FloatingView(const FloatingViewContext& context) {
  return ui::ViewBuilder([context](ui::BuildContext& build) {
    build.observe(*context.model);
    build.observe(*context.state);
    ui::AnyView conversation = ui::ScrollView(parts::ConversationArea(context))
                                   .frame(ui::FrameBounds{.minWidth = kConversationMinimumSide,
                                                          .maxWidth = ui::kInfinity,
                                                          .minHeight = kConversationMinimumSide,
                                                          .maxHeight = ui::kInfinity})
                                   .foregroundColor(ui::Color::white())
                                   .accessibilityIdentifier("panel.conversation");
    ui::AnyView content =
        ui::VStack({parts::InputArea(context), ui::Divider(),
                    ui::VStack({std::move(conversation), ui::Divider(), parts::Toolbar(context)})})
            .padding(10);
    return ui::ZStack({ui::ColorView(panelBackground()), std::move(content)})
        .clipShape(ui::RoundedRectangle(kPanelCornerRadius))
        .frame(ui::FrameBounds{.maxWidth = ui::kInfinity, .maxHeight = ui::kInfinity})
        .environment<ui::ColorSchemeKey>(ui::ColorScheme::dark);
  });
}

}  // namespace panel
