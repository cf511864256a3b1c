#include "shell/OnboardingView.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

#include "ui/node/Modifier.h"
#include "ui/node/Node.h"

namespace shell {
namespace {

constexpr double kHeadingFontSize = 36;
constexpr double kRowTextLeading = 20;
constexpr double kButtonHorizontalPadding = 90;
constexpr double kLargeTitleSize = 26;  // the symbols' size, so the Ctrl cap matches them

// The keys of the key page stand in one column, as wide as the widest row's keys, so that the
// texts beside them all start at one edge: each row tells its keys' width, the page hands the
// widest back down.
struct KeysWidthPreference {
  using Value = double;
  static Value defaultValue() { return 0; }
  static void reduce(Value& value, const Value& next) { value = std::max(value, next); }
};
struct KeyColumnWidthKey {
  using Value = double;
  static Value defaultValue() { return 0; }
};

ui::AnyView RowTexts(const std::string& title, const std::string& subTitle) {
  return ui::VStack(ui::HAlign::leading, std::nullopt,
                    {ui::AnyView(ui::Text::verbatim(title))
                         .font(ui::Font::headline())
                         .foregroundColor(ui::Color::primary()),
                     ui::AnyView(ui::Text::verbatim(subTitle))
                         .font(ui::Font::body())
                         .foregroundColor(ui::Color::secondary())});
}

// A key symbol in the large-title size; the command key is a "Ctrl" key cap.
ui::AnyView KeySymbol(const std::string& name) {
  if (name == kCommandKeySymbol) {
    constexpr double height = kLargeTitleSize;
    return ui::AnyView(ui::Text::verbatim("Ctrl"))
        .font(ui::Font::system(13, ui::Font::Weight::bold))
        .foregroundColor(ui::Color::white())
        .padding(ui::EdgeSet::horizontal(), 5)
        .frame(ui::FrameBounds{.minWidth = height, .minHeight = height, .maxHeight = height})
        .background(ui::RoundedRectangle(height * 0.18).fill(ui::Color::indigo()));
  }
  return ui::SystemImage(name).font(ui::Font::largeTitle()).foregroundColor(ui::Color::indigo());
}

// What a screen reader says for a key symbol: the key's name as printed on it, not the
// symbol's ("shift.fill" is "Shift", "r.square.fill" is "R").
std::string spokenKeyName(const std::string& symbol) {
  if (symbol == kCommandKeySymbol) return "Ctrl";
  const std::string name = symbol.substr(0, symbol.find('.'));
  if (name.size() == 1) return std::string(1, static_cast<char>(std::toupper(name[0])));
  std::string spoken = name;
  if (!spoken.empty()) spoken[0] = static_cast<char>(std::toupper(spoken[0]));
  return spoken;
}

// Shrinks what it holds about its centre while the pointer holds it down, and runs the action
// on a release inside.
class PressScaledButton final : public ui::detail::Modifier {
 public:
  PressScaledButton(RoundedRectangleButtonStyle style, std::function<void()> action,
                    ui::AnyView body)
      : Modifier(std::move(body)), style_(style), action_(std::move(action)) {}
  std::string name() const override { return "Button"; }
  std::string describe(const ui::detail::Node& node) const override {
    return pressed(node) ? "rounded pressed" : "rounded";
  }
  struct Press {
    bool down = false, inside = false;
  };
  static bool pressed(const ui::detail::Node& node) {
    auto* p = node.localIfAny<Press>();
    return p && p->down && p->inside;
  }
  bool takesPointer(const ui::detail::Node& node) const override {
    return node.environment().get<ui::IsEnabledKey>();
  }
  std::optional<ui::CursorShape> cursor(const ui::detail::Node& node, ui::Point) const override {
    if (!node.environment().get<ui::IsEnabledKey>()) return std::nullopt;
    return ui::CursorShape::pointingHand;
  }
  void pointer(ui::detail::Node& node, ui::detail::PointerPhase phase, const ui::PointerEvent&,
               bool inside) const override {
    using Phase = ui::detail::PointerPhase;
    auto& p = node.local<Press>();
    const bool before = p.down && p.inside;
    if (phase == Phase::pressed) p = {true, true};
    if (phase == Phase::moved) p.inside = inside;
    if (phase == Phase::released || phase == Phase::cancelled) p = {};
    if (before != (p.down && p.inside)) node.host().setNeedsFrame();
    if (phase == Phase::released && inside && action_) action_();
  }
  bool key(ui::detail::Node& node, const ui::KeyEvent& event) const override {
    if (!node.environment().get<ui::IsEnabledKey>()) return false;
    if (!event.modifiers.none() || (event.key != ui::Key::space && event.key != ui::Key::enter))
      return false;
    if (action_) action_();
    return true;
  }
  ui::AccessibilityTraits accessibilityTraits(const ui::detail::Node& node) const override {
    return {.role = ui::AccessibilityRole::button,
            .actionable = node.environment().get<ui::IsEnabledKey>()};
  }
  bool accessibilityPerform(ui::detail::Node& node) const override {
    if (!action_ || !node.environment().get<ui::IsEnabledKey>()) return false;
    action_();
    return true;
  }
  void render(const ui::detail::Node& node, ui::detail::RenderContext& context) const override {
    const std::size_t first = context.list.items().size();
    // Scaling moves what is drawn: nothing may be left out for lying outside the area seen.
    const auto visible = std::exchange(context.visible, std::nullopt);
    ui::detail::renderChildren(node, context);
    context.visible = visible;
    const double k = style_.scale(pressed(node));
    if (k == 1.0) return;
    const ui::Rect r = ui::detail::windowRect(node, context);
    scaleItems(context.list, first, k, {r.midX(), r.midY()});
  }

 private:
  // Redraws the items from `first` on scaled by `k` about `centre`.
  static void scaleItems(ui::DisplayList& list, std::size_t first, double k, ui::Point centre) {
    const double dx = centre.x * (1 - k), dy = centre.y * (1 - k);
    auto rect = [&](ui::Rect r) {
      return ui::Rect{r.x * k + dx, r.y * k + dy, r.width * k, r.height * k};
    };
    auto path = [&](const ui::Path& p) { return p.transformed(k, k, dx, dy); };
    ui::DisplayList scaled;
    for (std::size_t i = 0; i < list.items().size(); ++i) {
      ui::DisplayItem item = list.items()[i];
      if (i >= first) {
        std::visit(
            [&](auto& v) {
              using T = std::decay_t<decltype(v)>;
              if constexpr (std::is_same_v<T, ui::DisplayItem::FillPath> ||
                            std::is_same_v<T, ui::DisplayItem::StrokePath> ||
                            std::is_same_v<T, ui::DisplayItem::PushClip>) {
                v.path = path(v.path);
              } else if constexpr (std::is_same_v<T, ui::DisplayItem::TextRun>) {
                v.frame = rect(v.frame);
                v.baseline = v.baseline * k + dy;
                v.font.size *= k;
              } else if constexpr (std::is_same_v<T, ui::DisplayItem::DrawImage> ||
                                   std::is_same_v<T, ui::DisplayItem::PlaceWidget>) {
                v.frame = rect(v.frame);
              } else if constexpr (std::is_same_v<T, ui::DisplayItem::PushTransform>) {
                v.dx *= k;
                v.dy *= k;
              }
            },
            item.item);
      }
      std::visit([&](auto& v) { scaled.add(std::move(v)); }, item.item);
    }
    list = std::move(scaled);
  }

  RoundedRectangleButtonStyle style_;
  std::function<void()> action_;
};

}  // namespace

InformationDetailView::InformationDetailView(std::string title, std::string subTitle,
                                             std::string imageName)
    : title(std::move(title)), subTitle(std::move(subTitle)), imageName(std::move(imageName)) {}

ui::AnyView InformationDetailView::body(ui::BuildContext&) const {
  return ui::HStack(ui::VAlign::center, std::nullopt,
                    {ui::SystemImage(imageName)
                         .font(ui::Font::largeTitle())
                         .foregroundColor(ui::Color::indigo())
                         .padding()
                         .accessibilityLabel(imageName)
                         // The title and text beside it say what the row means.
                         .accessibilityHidden()
                         .accessibilityIdentifier("onboarding.symbol." + title + ".0"),
                     RowTexts(title, subTitle)})
      .padding(ui::Edge::top)
      .accessibilityIdentifier("onboarding.row." + title);
}

InformationDetailView2::InformationDetailView2(std::string title, std::string subTitle,
                                               std::string imageName, std::string imageName2,
                                               std::string imageName3)
    : title(std::move(title)),
      subTitle(std::move(subTitle)),
      imageName(std::move(imageName)),
      imageName2(std::move(imageName2)),
      imageName3(std::move(imageName3)) {}

std::vector<std::string> InformationDetailView2::shownImageNames() const {
  std::vector<std::string> names{imageName};
  for (const auto* name : {&imageName2, &imageName3})
    if (*name != kNoImage) names.push_back(*name);
  return names;
}

ui::AnyView InformationDetailView2::body(ui::BuildContext& context) const {
  std::vector<ui::AnyView> keys;
  int index = 0;
  for (const auto& name : shownImageNames())
    keys.push_back(
        KeySymbol(name)
            .accessibilityLabel(spokenKeyName(name))
            .accessibilityIdentifier("onboarding.symbol." + title + "." + std::to_string(index++)));
  ui::AnyView keyColumn =
      ui::HStack(ui::VAlign::center, std::nullopt, std::move(keys))
          .fixedSize()
          .anchorPreference<KeysWidthPreference>(
              [](const ui::Anchor& bounds) { return bounds.localRect().width; })
          .frame(ui::FrameBounds{.minWidth = context.environment().get<KeyColumnWidthKey>()},
                 ui::Alignment::leading);
  return ui::HStack(ui::VAlign::center, std::nullopt,
                    {keyColumn.accessibilityIdentifier("onboarding.keys." + title),
                     RowTexts(title, subTitle)
                         .padding(ui::Edge::leading, kRowTextLeading)
                         .accessibilityIdentifier("onboarding.texts." + title)})
      .padding(ui::Edge::top)
      .accessibilityIdentifier("onboarding.row." + title);
}

ui::AnyView RoundedRectangleButtonStyle::makeBody(ui::AnyView label) const {
  return ui::HStack(ui::VAlign::center, std::nullopt,
                    {ui::Spacer(), label.foregroundColor(ui::Color::black()), ui::Spacer()})
      .padding()
      .background(ui::RoundedRectangle(kCornerRadius).fill(ui::Color::indigo()));
}

ui::AnyView StyledButton(RoundedRectangleButtonStyle style, std::function<void()> action,
                         ui::AnyView label) {
  return PressScaledButton(style, std::move(action), style.makeBody(std::move(label)));
}

OnboardingView::OnboardingView(OnboardingActions actions, int page,
                               std::shared_ptr<PanelAccessModel> access)
    : actions_(std::move(actions)), initialPage_(page), access_(std::move(access)) {}

std::vector<InformationDetailView> OnboardingView::firstPageRows(const PanelAccess& access) {
  return {
      {"Any App", "The only AI app you need. Use ChatGPT in any app.\n" + openingSentence(access),
       "app.badge.checkmark"},
      {"Privacy",
       "Quillcast places a high value on your privacy.\nWhen this app is running, and you are "
       "using your own API key,\nit will only connect to the OpenAI server.",
       "hand.raised"},
      {"History", "All of your chat history is saved locally.", "clock"},
  };
}

std::vector<InformationDetailView2> OnboardingView::keyPageRows() {
  return {
      {"Copy All", "Copy all of the latest response.", kCommandKeySymbol, "shift.fill",
       "c.square.fill"},
      {"Resend the Last Prompt", "Don't like the answer? Let the AI generate the response again!",
       kCommandKeySymbol, "r.square.fill", kNoImage},
      {"Toggle Markdown",
       "Quillcast has a Markdown preview, but some users prefer reading raw Markdown for the "
       "ability to select and drag across the whole response.",
       kCommandKeySymbol, "m.square.fill", kNoImage},
      {"Open History", "Revise your old chat history, or continue from where you left off.",
       kCommandKeySymbol, "h.square.fill", kNoImage},
  };
}

std::vector<std::string> OnboardingView::headingLines(int page) {
  if (page == 1) return {"Welcome to", kOnboardingProductLine};
  if (page == 2) return {kOnboardingProductLine, "Shortcuts"};
  return {};
}

ui::AnyView OnboardingView::body(ui::BuildContext& context) const {
  auto page = context.state<int>(initialPage_);

  std::vector<ui::AnyView> heading;
  const auto lines = headingLines(*page);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto line = ui::AnyView(ui::Text::verbatim(lines[i]))
                    .font(ui::Font::system(kHeadingFontSize, ui::Font::Weight::black))
                    .accessibilityIdentifier("onboarding.heading." + std::to_string(i));
    heading.push_back(i == 1 ? line.foregroundColor(ui::Color::indigo()) : line);
  }

  auto keyColumnWidth = context.state<double>(0.0);
  std::vector<ui::AnyView> rows;
  PanelAccess access{HotKeys::Shortcut(HotKeys::Key::space,
                                       HotKeys::ModifierFlags(HotKeys::ModifierFlags::option)),
                     true, true};
  if (access_) {
    context.observe(*access_);
    access = access_->access.get();
  }
  if (*page == 1)
    for (auto& row : firstPageRows(access)) rows.push_back(row);
  if (*page == 2)
    for (auto& row : keyPageRows()) rows.push_back(row);

  auto actions = actions_;
  auto next = [page, actions] {
    if (*page != 2) {
      page.set(2);
      return;
    }
    if (actions.closeOnboardingWindow) actions.closeOnboardingWindow();
    if (actions.openSettings) actions.openSettings();
  };

  auto content =
      ui::VStack(
          ui::HAlign::center, std::nullopt,
          {ui::Spacer(50),
           ui::VStack(ui::HAlign::center, std::nullopt, std::move(heading)).accessibilityHeading(1),
           ui::Spacer(30),
           // Rows keep their lines whole where the window is wide enough, and wrap where a
           // small screen made it narrower.
           ui::VStack(ui::HAlign::leading, std::nullopt, std::move(rows))
               .environment<KeyColumnWidthKey>(*keyColumnWidth)
               .onPreferenceChange<KeysWidthPreference>(
                   [keyColumnWidth](double width) { keyColumnWidth.set(width); })
               .fixedSize(false, true)
               .padding(ui::EdgeSet::horizontal())
               .accessibilityIdentifier("onboarding.rows"),
           ui::Spacer(30),
           StyledButton(
               RoundedRectangleButtonStyle{}, next,
               ui::AnyView(ui::Text::verbatim("Continue")).foregroundColor(ui::Color::white()))
               .focusable("onboarding.continue")
               .accessibilityIdentifier("onboarding.continue")
               .padding(ui::EdgeSet::horizontal(), kButtonHorizontalPadding)})
          .frame(ui::FrameBounds{.maxWidth = ui::kInfinity, .maxHeight = ui::kInfinity});
  return ui::VStack({std::move(content), ui::Spacer(50)});
}

}  // namespace shell
