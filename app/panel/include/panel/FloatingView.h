#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/DataModel.h"
#include "panel/FloatingViewState.h"
#include "panel/HostedFields.h"
#include "panel/KeyCommands.h"
#include "ui/View.h"

namespace panel {

// Draws a finished answer as Markdown at the given body size.
using MarkdownRenderer = std::function<ui::AnyView(const std::string& markdown, double fontSize)>;

// Recognises the second click of a double click on the same row.
class DoubleClickDetector {
 public:
  using Clock = std::function<double()>;  // seconds
  explicit DoubleClickDetector(Clock clock = {});
  // True when this click follows a click on the same row quickly enough.
  bool click(const ui::Identity& row);

  static constexpr double kInterval = 0.4;

 private:
  Clock clock_;
  std::optional<ui::Identity> lastRow_;
  double lastTime_ = -1e9;
};

// What the panel's views read and call.
struct FloatingViewContext {
  std::shared_ptr<core::DataModel> model;
  std::shared_ptr<FloatingViewState> state;
  std::function<void(PanelCommand)> runCommand;
  MarkdownRenderer markdown;
  std::shared_ptr<DoubleClickDetector> doubleClicks;
  // Keys of the hosted text widgets: the input line and the fill-in fields.
  std::function<InputKeyResult(std::int64_t field, const ui::KeyEvent&)> fieldKey;
};

inline constexpr double kTopAreaMaximumHeight = 300;
inline constexpr double kConversationMinimumSide = 200;
inline constexpr double kToolbarHeight = 20;
inline constexpr double kPanelCornerRadius = 10;

// The panel content: input line, conversation and toolbar over the panel's background.
ui::AnyView FloatingView(const FloatingViewContext& context);

}  // namespace panel
