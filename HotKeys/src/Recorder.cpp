#include "HotKeys/Recorder.h"

#include "HotKeys/RecorderController.h"
#include "HotKeys/RecorderKeys.h"
#include "ui/Controls.h"
#include "ui/ReadableColor.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"
#include "ui/State.h"
#include "ui/SystemEnvironment.h"
#include "ui/TextValue.h"

namespace HotKeys {
namespace {

constexpr double kFieldHeight = 22;
constexpr double kCornerRadius = 5;
// Room for the clear button at the trailing end; the text keeps as much at the leading end, so
// it stays centred and never runs under the button.
constexpr double kClearButtonInset = 22;

// A text field's background in either scheme.
ui::Color fieldBackground() {
  return ui::Color::pair(ui::Color::white(), ui::Color::sRGB(0.16, 0.16, 0.17));
}

// The field's controller, observable so that the view follows what it shows.
class RecorderModel final : public foundation::ObservableObject {
 public:
  RecorderModel(Name name, Recorder::OnChange onChange, RecorderEffects effects)
      : controller(std::move(name), std::move(onChange), std::move(effects)) {
    controller.onDisplayChange = [this] { sendWillChange(); };
  }
  RecorderController controller;
};

}  // namespace

const char* const Recorder::kNotRegisteredWarning =
    "Another program uses this shortcut, so it does nothing. Choose another one.";

Recorder::Recorder(Name name, OnChange onChange)
    : name_(std::move(name)), onChange_(std::move(onChange)) {}

Recorder::Recorder(std::string title, Name name, OnChange onChange)
    : name_(std::move(name)),
      onChange_(std::move(onChange)),
      hasLabel_(true),
      label_([title = std::move(title)] { return ui::AnyView(ui::Text::verbatim(title)); }) {}

Recorder::Recorder(Name name, OnChange onChange, std::function<ui::AnyView()> label)
    : name_(std::move(name)),
      onChange_(std::move(onChange)),
      hasLabel_(true),
      label_(std::move(label)) {}

ui::AnyView Recorder::body(ui::BuildContext& context) const {
  const ui::Identity fieldId = ui::Identity::pair("HotKeys.Recorder", name_.rawValue);
  auto focus = context.state<std::optional<ui::Identity>>();
  auto services = context.env<RecorderServicesKey>();
  auto model = context.stateObject<RecorderModel>([&] {
    RecorderEffects effects;
    // The services are read when used: the environment may be set after the field appeared.
    effects.beep = [services] {
      if (services && services->beep) services->beep();
    };
    effects.alert = [services](const std::string& message, const std::string& informative) {
      if (services && services->alert) services->alert(message, informative);
    };
    effects.menuItemTitleUsing = [services](const Shortcut& shortcut) {
      return services && services->menuItemTitleUsing ? services->menuItemTitleUsing(shortcut)
                                                      : std::nullopt;
    };
    effects.resignFocus = [focus] { focus.set(std::nullopt); };
    effects.takeFocus = [focus, fieldId] { focus.set(fieldId); };
    return std::make_shared<RecorderModel>(name_, onChange_, std::move(effects));
  });
  auto& controller = model->controller;
  controller.setShortcutName(name_);

  const bool recording = controller.isRecording();
  const bool empty = controller.text().empty();
  ui::AnyView shown =
      ui::AnyView(ui::Text::verbatim(empty ? controller.placeholder() : controller.text()))
          .foregroundColor(empty ? ui::Color::secondary() : ui::Color::primary())
          .accessibilityIdentifier("HotKeys.Recorder.text");
  ui::AnyView clearButton;
  if (controller.showsClearButton())
    clearButton = ui::Button([model] { model->controller.clear(); },
                             ui::AnyView(ui::Text::verbatim("\u2715")))
                      .buttonStyle(ui::ButtonStyle::plain)
                      .foregroundColor(ui::Color::secondary())
                      .padding(ui::Edge::trailing, 6)
                      .accessibilityIdentifier("HotKeys.Recorder.clear");

  // As wide as its text needs, and never narrower than the field's own width.
  ui::AnyView field =
      shown.padding(ui::EdgeSet::horizontal(), kClearButtonInset)
          .frame(ui::FrameBounds{.minWidth = RecorderController::kMinimumWidth})
          .frame(std::nullopt, kFieldHeight)
          .fixedSize(true, false)
          .background(ui::Shape::roundedRectangle(kCornerRadius).fill(fieldBackground()))
          .overlay(ui::Shape::roundedRectangle(kCornerRadius)
                       .strokeBorder(recording ? ui::Color::accent() : ui::Color::separator(),
                                     recording ? 2 : 1))
          .overlay(clearButton, ui::Alignment::trailing)
          .focusable(fieldId)
          .focused(ui::Binding<std::optional<ui::Identity>>(
                       [focus] { return focus.get(); },
                       [focus, model, fieldId](std::optional<ui::Identity> id) {
                         focus.set(id);
                         if (id == fieldId)
                           model->controller.focusGained();
                         else
                           model->controller.focusLost();
                       }),
                   fieldId)
          .onKeyPress([model](const ui::KeyEvent& event) {
            auto& c = model->controller;
            if (!c.isRecording()) return false;
            return !c.handleRecordingEvent(inputEventFrom(event), {});
          })
          // A click elsewhere in the window ends recording. The release still reaches what was
          // clicked, inside the field too: the clear button acts on it.
          .onPointerReleaseWhileFocused([model](const ui::PointerEvent& event, ui::Size size) {
            auto& c = model->controller;
            if (!c.isRecording()) return;
            if (auto mouseUp = mouseUpEventFrom(event))
              c.handleRecordingEvent(*mouseUp, {0, 0, size.width, size.height});
          })
          .onDisappear([model] { model->controller.focusLost(); })
          // Read as its shortcut (or the prompt to record one); focusing it records.
          .accessibilityRole(ui::AccessibilityRole::button)
          .accessibilityIdentifier("HotKeys.Recorder");

  if (controller.showsRegistrationWarning())
    field = ui::VStack(ui::HAlign::leading, 4,
                       {field, ui::AnyView(ui::Text::verbatim(kNotRegisteredWarning))
                                   .font(ui::Font::callout())
                                   .foregroundColor(ui::readableText(ui::Color::orange()))
                                   .accessibilityIdentifier("HotKeys.Recorder.warning")});
  if (!hasLabel_) return field;
  // The label stays level with the field when the warning hangs below it, and on one line when
  // a long shortcut widens the field.
  return ui::HStack(
      ui::VAlign::firstLineCenter, std::nullopt,
      {label_().fixedSize(true, false).accessibilityIdentifier("HotKeys.Recorder.label"), field});
}

}  // namespace HotKeys
