#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/DataModel.h"
#include "panel/FloatingViewState.h"
#include "panel/KeyCommands.h"
#include "panel/ModelChanges.h"
#include "ui/ScrollView.h"
#include "ui/View.h"

namespace panel {

// Draws a finished answer as Markdown at the given body size.
using MarkdownRenderer = std::function<ui::AnyView(std::string_view markdown, double fontSize)>;

// What the panel's views read and call.
struct FloatingViewContext {
  std::shared_ptr<core::DataModel> model;
  std::shared_ptr<FloatingViewState> state;
  std::function<bool(PanelCommand)> runCommand;
  MarkdownRenderer markdown;
  // Return in the fill-in field with this id.
  std::function<void(std::int64_t)> fillInSubmitted;
  // Where the conversation scroller hands its proxy, for scrolling rows into view.
  std::shared_ptr<std::optional<ui::ScrollViewProxy>> conversationScroller;
  // The model's changes split for the views; without it every change rebuilds the whole panel.
  std::shared_ptr<ModelChanges> changes;
};

inline constexpr double kTopAreaMaximumHeight = 300;
inline constexpr double kConversationMinimumSide = 200;
inline constexpr double kToolbarHeight = 20;
inline constexpr double kPanelCornerRadius = 10;
inline constexpr double kPanelPadding = 10;

// The panel content: input line, conversation and toolbar over the panel's background. The
// key commands are offered every key the focused view leaves.
ui::AnyView FloatingView(const FloatingViewContext& context);

}  // namespace panel
