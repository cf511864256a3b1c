#include "ui/Controls.h"

#include "ui/ImageView.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"
#include "ui/SystemEnvironment.h"
#include "ui/TextValue.h"
#include "ui/ViewHost.h"
#include "ui/node/Modifier.h"

namespace ui {
namespace detail {
namespace {

// Bezel colours of the automatic button style (light | dark).
Color bezelFill(bool pressed) {
  return pressed ? Color::pair(Color::rgba(0xD9D9D9FF), Color::rgba(0xFFFFFF4D))
                 : Color::pair(Color::rgba(0xFFFFFFFF), Color::rgba(0xFFFFFF26));
}

// A disabled button or toggle is drawn faded.
template <class Draw>
void renderFadedWhenDisabled(const Node& node, RenderContext& context, Draw draw) {
  const bool enabled = node.environment().get<IsEnabledKey>();
  if (!enabled) context.list.add(DisplayItem::PushOpacity{kDisabledControlOpacity});
  draw();
  if (!enabled) context.list.add(DisplayItem::PopOpacity{});
}

class ButtonView final : public Modifier {
 public:
  ButtonView(std::function<void()> action, AnyView label)
      : Modifier(std::move(label)), action_(std::move(action)) {}
  std::string name() const override { return "Button"; }
  // A press on its label presses the button, whatever text around it is selectable.
  Environment childEnvironment(const Environment& env) const override {
    return env.with<TextSelectabilityKey>(TextSelectability::disabled);
  }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  std::string describe(const Node& node) const override {
    std::string s = style(node) == ButtonStyle::plain ? "plain" : "automatic";
    if (pressed(node)) s += " pressed";
    return s;
  }
  struct Press {
    bool down = false, inside = false;
  };
  static bool pressed(const Node& node) {
    auto* p = node.localIfAny<Press>();
    return p && p->down && p->inside;
  }
  static ButtonStyle style(const Node& node) { return node.environment().get<ButtonStyleKey>(); }
  EdgeInsets insets(const Node& node) const {
    if (style(node) == ButtonStyle::plain) return {};
    return {kButtonVerticalPadding, kButtonHorizontalPadding, kButtonVerticalPadding,
            kButtonHorizontalPadding};
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    const EdgeInsets in = insets(node);
    auto shrink = [](std::optional<double> v, double by) {
      return v ? std::optional<double>(std::max(0.0, *v - by)) : std::nullopt;
    };
    const Size s = node.child(0)
                       ? node.child(0)->measure({shrink(p.width, in.leading + in.trailing),
                                                 shrink(p.height, in.top + in.bottom)})
                       : Size{};
    return {s.width + in.leading + in.trailing, s.height + in.top + in.bottom};
  }
  void placeChildren(Node& node, Size size, ProposedSize) const override {
    const EdgeInsets in = insets(node);
    if (auto* c = node.child(0)) {
      c->setOrigin({in.leading, in.top});
      c->layout(ProposedSize::of({std::max(0.0, size.width - in.leading - in.trailing),
                                  std::max(0.0, size.height - in.top - in.bottom)}));
    }
  }
  void render(const Node& node, RenderContext& context) const override {
    renderFadedWhenDisabled(node, context, [&] { renderButton(node, context); });
  }
  void renderButton(const Node& node, RenderContext& context) const {
    const bool down = pressed(node);
    if (style(node) == ButtonStyle::plain) {
      if (down) context.list.add(DisplayItem::PushOpacity{kPlainButtonPressedOpacity});
      renderChildren(node, context);
      if (down) context.list.add(DisplayItem::PopOpacity{});
      return;
    }
    const Rect r = windowRect(node, context);
    context.list.add(DisplayItem::FillPath{Path::roundedRect(r, kButtonCornerRadius),
                                           bezelFill(down).resolve(context.scheme)});
    context.list.add(
        DisplayItem::StrokePath{Path::roundedRect(r.insetBy(0.5, 0.5), kButtonCornerRadius),
                                Color::separator().resolve(context.scheme), StrokeStyle{}});
    renderChildren(node, context);
  }
  bool takesPointer(const Node& node) const override {
    return node.environment().get<IsEnabledKey>();
  }
  std::optional<CursorShape> cursor(const Node& node, Point) const override {
    if (!node.environment().get<IsEnabledKey>()) return std::nullopt;
    return CursorShape::pointingHand;
  }
  void pointer(Node& node, PointerPhase phase, const PointerEvent&, bool inside) const override {
    auto& p = node.local<Press>();
    const bool before = p.down && p.inside;
    switch (phase) {
      case PointerPhase::pressed:
        p = {true, true};
        break;
      case PointerPhase::moved:
        p.inside = inside;
        break;
      case PointerPhase::released:
      case PointerPhase::cancelled:
        p = {};
        break;
    }
    if (before != (p.down && p.inside)) node.host().setNeedsFrame();
    if (phase == PointerPhase::released && inside && action_) action_();
  }
  bool key(Node& node, const KeyEvent& event) const override {
    if (!node.environment().get<IsEnabledKey>()) return false;
    if (!event.modifiers.none() || (event.key != Key::space && event.key != Key::enter))
      return false;
    if (action_) action_();
    return true;
  }
  AccessibilityTraits accessibilityTraits(const Node& node) const override {
    return {.role = AccessibilityRole::button,
            .actionable = node.environment().get<IsEnabledKey>()};
  }
  bool accessibilityPerform(Node& node) const override {
    if (!action_ || !node.environment().get<IsEnabledKey>()) return false;
    action_();
    return true;
  }

 private:
  std::function<void()> action_;
};

class RepresentableView final : public Primitive {
 public:
  RepresentableView(Identity id, WidgetDescription description, RepresentableSizing sizing)
      : id_(std::move(id)), description_(std::move(description)), sizing_(sizing) {}
  std::string name() const override { return "Representable"; }
  std::string describe(const Node&) const override {
    static constexpr const char* kinds[] = {"textField", "textEditor", "comboBox"};
    return std::string("kind=") + kinds[description_.index()];
  }
  struct Slot {
    std::unique_ptr<HostedWidget> widget;
  };
  void didUpdate(Node& node) const override {
    auto& slot = node.local<Slot>();
    if (slot.widget) {
      slot.widget->update(description_);
      slot.widget->setColorScheme(node.environment().get<ColorSchemeKey>());
      return;
    }
    WidgetFactory* factory = node.host().widgetFactory();
    if (!factory) return;
    HostedWidgetEvents events;
    events.sizeChanged = [owner = std::weak_ptr<NodeHandle>(node.handle())] {
      auto h = owner.lock();
      if (!h || !h->node) return;
      h->node->invalidateLayout();
      h->node->host().setNeedsFrame();
    };
    events.focusTaken = [owner = std::weak_ptr<NodeHandle>(node.handle()), id = id_] {
      auto h = owner.lock();
      if (h && h->node) h->node->host().requestFocus(id);
    };
    slot.widget = factory->make(id_, description_, std::move(events));
    if (slot.widget) slot.widget->setColorScheme(node.environment().get<ColorSchemeKey>());
  }
  HostedWidget* hostedWidget(const Node& node) const override {
    auto* slot = node.localIfAny<Slot>();
    return slot ? slot->widget.get() : nullptr;
  }
  Size sizeThatFits(Node& node, ProposedSize p) const override {
    if (HostedWidget* w = hostedWidget(node))
      if (auto size = w->sizeThatFits(p)) return *size;
    const double iw = sizing_.idealWidth.value_or(0), ih = sizing_.idealHeight.value_or(0);
    return {sizing_.flexibleWidth ? p.width.value_or(iw) : iw,
            sizing_.flexibleHeight ? p.height.value_or(ih) : ih};
  }
  void render(const Node& node, RenderContext& context) const override {
    context.list.add(DisplayItem::PlaceWidget{id_, windowRect(node, context), hostedWidget(node)});
  }
  std::optional<Identity> focusId(const Node& node) const override {
    if (!node.environment().get<IsEnabledKey>()) return std::nullopt;
    return id_;
  }
  std::optional<CursorShape> cursor(const Node&, Point) const override {
    if (std::holds_alternative<ComboBoxWidget>(description_)) return CursorShape::arrow;
    return CursorShape::iBeam;
  }
  AccessibilityTraits accessibilityTraits(const Node&) const override {
    return {.role = AccessibilityRole::hostedWidget};
  }

 private:
  Identity id_;
  WidgetDescription description_;
  RepresentableSizing sizing_;
};

// A key handler for the toggle: space or return flips it when focused.
class KeyActionView final : public Modifier {
 public:
  KeyActionView(AnyView content, std::function<void()> action, bool on)
      : Modifier(std::move(content)), action_(std::move(action)), on_(on) {}
  std::string name() const override { return "Toggle"; }
  bool ignoresProposedHeight(const Node& node) const override {
    return contentIgnoresProposedHeight(node);
  }
  bool takesPointer(const Node& node) const override {
    return node.environment().get<IsEnabledKey>();
  }
  void pointer(Node&, PointerPhase phase, const PointerEvent&, bool inside) const override {
    if (phase == PointerPhase::released && inside) action_();
  }
  bool key(Node& node, const KeyEvent& event) const override {
    if (!node.environment().get<IsEnabledKey>() || !event.modifiers.none() ||
        (event.key != Key::space && event.key != Key::enter))
      return false;
    action_();
    return true;
  }
  void render(const Node& node, RenderContext& context) const override {
    renderFadedWhenDisabled(node, context, [&] { renderChildren(node, context); });
  }
  AccessibilityTraits accessibilityTraits(const Node& node) const override {
    return {.role = AccessibilityRole::checkBox,
            .checked = on_,
            .actionable = node.environment().get<IsEnabledKey>()};
  }
  bool accessibilityPerform(Node& node) const override {
    if (!node.environment().get<IsEnabledKey>()) return false;
    action_();
    return true;
  }

 private:
  std::function<void()> action_;
  bool on_;
};

}  // namespace
}  // namespace detail

AnyView Button(std::function<void()> action, AnyView label) {
  return AnyView(std::shared_ptr<const View>(
      std::make_shared<detail::ButtonView>(std::move(action), std::move(label))));
}

AnyView Button(std::string title, std::function<void()> action) {
  return Button(std::move(action), Text::verbatim(std::move(title)));
}

AnyView Label(AnyView title, AnyView icon) {
  return EnvironmentReader([title, icon](const Environment& env) -> AnyView {
    switch (env.get<LabelStyleKey>()) {
      case LabelStyle::titleOnly:
        return title;
      case LabelStyle::iconOnly:
        return icon;
      default:
        return HStack(VAlign::firstLineCenter, kLabelSpacing, {icon, title});
    }
  });
}

AnyView Label(std::string title, std::string systemImage) {
  return Label(Text::verbatim(std::move(title)), SystemImage(std::move(systemImage)));
}

AnyView Toggle(Binding<bool> isOn, AnyView label) {
  const bool on = isOn.get();
  AnyView box =
      ZStack({RoundedRectangle(3).fill(on ? std::optional<Color>(Color::accent()) : Color::clear()),
              RoundedRectangle(3).strokeBorder(Color::gray(), 1),
              If(on, SystemImage("checkmark").foregroundColor(Color::white()).padding(2))})
          .frame(kToggleBoxSize, kToggleBoxSize);
  auto flip = [isOn] { isOn.set(!isOn.get()); };
  return AnyView(std::shared_ptr<const View>(std::make_shared<detail::KeyActionView>(
      HStack(VAlign::firstLineCenter, kLabelSpacing, {box, std::move(label)}), flip, on)));
}

AnyView Representable(Identity widgetId, WidgetDescription description,
                      RepresentableSizing sizing) {
  return AnyView(std::shared_ptr<const View>(std::make_shared<detail::RepresentableView>(
      std::move(widgetId), std::move(description), sizing)));
}

AnyView TextField(Identity id, std::string placeholder, Binding<std::string> text) {
  TextFieldWidget field;
  field.text = std::move(text);
  field.placeholder = std::move(placeholder);
  return Representable(std::move(id), std::move(field), kTextFieldSizing);
}

AnyView SecureField(Identity id, std::string placeholder, Binding<std::string> text) {
  TextFieldWidget field;
  field.text = std::move(text);
  field.placeholder = std::move(placeholder);
  field.secure = true;
  return Representable(std::move(id), std::move(field), kTextFieldSizing);
}

AnyView TextEditor(Identity id, Binding<std::string> text) {
  TextEditorWidget editor;
  editor.text = std::move(text);
  return Representable(std::move(id), std::move(editor),
                       {.idealWidth = 200, .idealHeight = 100, .flexibleHeight = true});
}

}  // namespace ui
