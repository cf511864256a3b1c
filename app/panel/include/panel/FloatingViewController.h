#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/DataModel.h"
#include "foundation/ObservableObject.h"
#include "panel/AnswerActions.h"
#include "panel/FloatingView.h"
#include "panel/FloatingViewState.h"
#include "panel/KeyCommands.h"
#include "ui/TextMeasurer.h"
#include "ui/ViewHost.h"

namespace panel {

struct FloatingViewOptions {
  // The standard user defaults when null.
  foundation::UserDefaults* defaults = nullptr;
  std::shared_ptr<const ui::TextMeasurer> measurer;
  AnswerServices answerServices;
  // Finished answers as Markdown; MarkdownAnswer when empty.
  MarkdownRenderer markdown;
  // Told of every change of the pin, to pass on to the window.
  std::function<void(bool)> onTopChanged;
  // Makes the native text widgets; without one they are only sized and placed.
  std::shared_ptr<ui::WidgetFactory> widgetFactory;
};

// The panel content: builds FloatingView in a view host, keeps its state, reacts to the
// model's changes (preset search, focus requests, the pin), and routes the window's keys.
// Lives as long as the panel. Main thread only.
class FloatingViewController {
 public:
  FloatingViewController(std::shared_ptr<core::DataModel> model, FloatingViewOptions options);
  ~FloatingViewController();
  FloatingViewController(const FloatingViewController&) = delete;
  FloatingViewController& operator=(const FloatingViewController&) = delete;

  // The panel content, for the window to host.
  ui::AnyView view() const { return view_; }
  // A host of its own for the same content, where no window hosts it (tests, benchmarks); made
  // on first use. Input and frames below go to it.
  ui::ViewHost& host();
  FloatingViewState& state() { return *state_; }
  PanelCommands& commands() { return *commands_; }
  AnswerActions& answerActions() { return *actions_; }
  core::DataModel& model() { return *model_; }

  // Runs the model reactions that are due, and a frame of the own host when one is needed.
  void update();
  void setSize(ui::Size size);
  // The least height the content needs at `width`.
  double minimumHeight(double width) const;

  // Input while the panel is the active window. A key goes to the focused view (the input
  // line routes its own), then to the panel's key commands, then to a hosted widget.
  bool keyPressed(const ui::KeyEvent& event);
  void pointerMoved(const ui::PointerEvent& event);
  void pointerPressed(const ui::PointerEvent& event);
  void pointerReleased(const ui::PointerEvent& event);
  bool scrolled(ui::Point p, double dx, double dy);

  // Return in a fill-in field: on to the next field, or send from the last one.
  void fillInSubmitted(std::int64_t field);

  // The control that gets the keyboard as soon as it is on screen.
  void requestFocus(std::int64_t field);
  std::optional<ui::Identity> focusedId() const {
    return host_ ? host_->focusedId() : std::nullopt;
  }
  // The row last asked to be scrolled into view.
  std::optional<ui::Identity> scrollTarget() const { return scrollTarget_; }

 private:
  // The model's properties the panel reacts to; each tells of its own changes.
  enum class Watch : unsigned {
    command = 1u << 0,
    isLoading = 1u << 1,
    nonContextPrompt = 1u << 2,
    selectedIndex = 1u << 3,
    keyHistorySelected = 1u << 4,
    isOnTop = 1u << 5,
    didFocus = 1u << 6,
    error = 1u << 7,
  };
  // Their values as the last reactions saw them.
  struct Watched {
    std::string command;
    bool isLoading = false;
    bool nonContextPrompt = false;
    int selectedIndex = 0;
    int keyHistorySelected = 0;
    bool isOnTop = false;
    bool didFocus = false;
    std::string error;
  };
  void watch();
  void changed(Watch property);
  // `last_` with the properties in `properties` read anew.
  Watched watched(unsigned properties) const;
  void scheduleReactions();
  void runReactions();
  void commandChanged(const std::string& text);
  void focusRequested();
  void scrollTo(ui::Identity id, std::optional<ui::UnitPoint> anchor = std::nullopt);

  std::shared_ptr<core::DataModel> model_;
  FloatingViewOptions options_;
  std::shared_ptr<FloatingViewState> state_;
  std::unique_ptr<AnswerActions> actions_;
  std::unique_ptr<PanelCommands> commands_;
  ui::AnyView view_;
  std::unique_ptr<ui::ViewHost> host_;
  std::vector<foundation::Cancellable> modelSubscriptions_;
  Watched last_;
  // Changed since the last reactions ran.
  unsigned changed_ = 0;
  bool reactionsScheduled_ = false;
  bool focusClearScheduled_ = false;
  std::optional<ui::Identity> scrollTarget_;
  std::shared_ptr<std::optional<ui::ScrollViewProxy>> scroller_ =
      std::make_shared<std::optional<ui::ScrollViewProxy>>();
  // Cleared when the controller goes, so queued work finds it gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace panel
