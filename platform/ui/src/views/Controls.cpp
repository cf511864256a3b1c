#include "ui/Controls.h"

#include "core/Modifier.h"
#include "ui/ImageView.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"
#include "ui/SystemEnvironment.h"
#include "ui/TextValue.h"
#include "ui/ViewHost.h"

namespace ui {
namespace detail {
namespace {

// Bezel colours of the automatic button style (light | dark).
Color bezelFill(bool pressed) {
  return pressed ? Color::pair(Color::rgba(0xD9D9D9FF), Color::rgba(0xFFFFFF4D))
                 : Color::pair(Color::rgba(0xFFFFFFFF), Color::rgba(0xFFFFFF26));
}

class ButtonView final : public Modifier {
 public:
  ButtonView(std::function<void()> action, AnyView label)
      : Modifier(std::move(label)), action_(std::move(action)) {}
  std::string name() const override { return "Button"; }
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
  void pointer(Node& node, PointerPhase phase, Point, bool inside) const override {
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
    if (event.key != "space" && event.key != "return") return false;
    if (action_) action_();
    return true;
  }

 private:
  std::function<void()> action_;
};

class RepresentableView final : public Primitive {
 public:
  RepresentableView(std::string kind, Identity id, RepresentableSizing sizing,
                    std::shared_ptr<const void> configuration)
      : kind_(std::move(kind)),
        id_(std::move(id)),
        sizing_(sizing),
        configuration_(std::move(configuration)) {}
  std::string name() const override { return "Representable"; }
  std::string describe(const Node&) const override { return "kind=" + kind_; }
  Size sizeThatFits(Node&, ProposedSize p) const override {
    const double iw = sizing_.idealWidth.value_or(0), ih = sizing_.idealHeight.value_or(0);
    return {sizing_.flexibleWidth ? p.width.value_or(iw) : iw,
            sizing_.flexibleHeight ? p.height.value_or(ih) : ih};
  }
  void render(const Node& node, RenderContext& context) const override {
    context.list.add(
        DisplayItem::HostedWidget{kind_, id_, windowRect(node, context), configuration_});
  }
  std::optional<Identity> focusId(const Node& node) const override {
    if (!node.environment().get<IsEnabledKey>()) return std::nullopt;
    return id_;
  }

 private:
  std::string kind_;
  Identity id_;
  RepresentableSizing sizing_;
  std::shared_ptr<const void> configuration_;
};

// A key handler for the toggle: space flips it when focused.
class KeyActionView final : public Modifier {
 public:
  KeyActionView(AnyView content, std::function<void()> action)
      : Modifier(std::move(content)), action_(std::move(action)) {}
  std::string name() const override { return "Toggle"; }
  bool takesPointer(const Node& node) const override {
    return node.environment().get<IsEnabledKey>();
  }
  void pointer(Node&, PointerPhase phase, Point, bool inside) const override {
    if (phase == PointerPhase::released && inside) action_();
  }
  bool key(Node& node, const KeyEvent& event) const override {
    if (!node.environment().get<IsEnabledKey>() || event.key != "space") return false;
    action_();
    return true;
  }

 private:
  std::function<void()> action_;
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
      HStack(VAlign::firstLineCenter, kLabelSpacing, {box, std::move(label)}), flip)));
}

AnyView Representable(std::string kind, Identity widgetId, RepresentableSizing sizing,
                      std::shared_ptr<const void> configuration) {
  return AnyView(std::shared_ptr<const View>(std::make_shared<detail::RepresentableView>(
      std::move(kind), std::move(widgetId), sizing, std::move(configuration))));
}

}  // namespace ui
