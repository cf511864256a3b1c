#include <algorithm>

#include "PanelViewParts.h"
#include "foundation/UTF8.h"
#include "panel/FillInForm.h"
#include "panel/InputLine.h"
#include "panel/LongText.h"
#include "ui/SystemEnvironment.h"

namespace panel::parts {

namespace {

// The text a growing editor is measured by: at least one line, and a line for a trailing
// break. Of a huge text only the beginning, far taller than the area that shows it already.
std::string measuredText(const std::string& text) {
  if (text.empty()) return " ";
  if (text.size() > kShownTextLimit)
    return std::string(foundation::utf8::prefix(text, kShownTextLimit));
  if (text.back() == '\n') return text + " ";
  return text;
}

// As tall as its content up to a limit, then that limit (the content scrolls).
class CappedHeightLayout final : public ui::Layout {
 public:
  explicit CappedHeightLayout(double maximum) : maximum_(maximum) {}
  ui::Size sizeThatFits(ui::ProposedSize proposal,
                        const ui::LayoutSubviews& subviews) const override {
    if (subviews.empty()) return {};
    const ui::Size content = subviews.front().sizeThatFits({proposal.width, std::nullopt});
    return {proposal.width.value_or(content.width), std::min(content.height, maximum_)};
  }
  void placeSubviews(ui::Rect bounds, ui::ProposedSize,
                     const ui::LayoutSubviews& subviews) const override {
    for (const auto& subview : subviews)
      subview.place(bounds.origin(), ui::UnitPoint::topLeading, {bounds.width, bounds.height});
  }

 private:
  double maximum_;
};

// The turning mark shown at the start of the line while an answer streams.
ui::AnyView Spinner() {
  return ui::ZStack({ui::Circle().stroke(ui::Color::gray().opacity(0.35), 2),
                     ui::Shape::custom([](ui::Rect r) {
                       // A quarter of the ring, from twelve to three o'clock.
                       constexpr double k = 0.5523;
                       const double radius = r.width / 2;
                       ui::Path p;
                       p.moveTo({r.midX(), r.minY()});
                       p.cubicTo({r.midX() + k * radius, r.minY()},
                                 {r.maxX(), r.midY() - k * radius}, {r.maxX(), r.midY()});
                       return p;
                     }).stroke(ui::Color::white(), 2)})
      .frame(14, 14)
      .accessibilityIdentifier("panel.spinner");
}

ui::AnyView BackRow(const FloatingViewContext& context) {
  auto model = context.model;
  return ui::HStack(
      {ui::Button("Back", [model] { model->handleEscape(); }).accessibilityIdentifier("panel.back"),
       ui::Spacer()});
}

ui::AnyView InputLine(const FloatingViewContext& context) {
  auto model = context.model;
  ui::TextEditorWidget editor;
  editor.text = ui::Binding<std::string>([model] { return model->command.get(); },
                                         [model](std::string text) {
                                           if (model->command.get() != text)
                                             model->command = std::move(text);
                                         });
  editor.placeholder = std::string(inputLinePlaceholder(model->status.get()));
  editor.editable = true;
  editor.growsWithContent = true;
  editor.bordered = false;
  editor.font = ui::Font::system(kInputLineFontSize);
  ui::AnyView line =
      FocusedAs(GrowingEditor(ui::Identity(kInputLineFocus), std::move(editor), kInputLineFontSize),
                context, ui::Identity(kInputLineFocus))
          .onKeyPress([model](const ui::KeyEvent& event) {
            return consumesKey(routeInputLineKey(event, *model));
          })
          .accessibilityIdentifier("panel.inputLine");
  // The overlay is always there, so the line keeps its identity (and its widget, caret and
  // input-method state) when loading starts and ends.
  return line.overlay(ui::HStack({ui::If(model->isLoading, Spinner()), ui::Spacer()}));
}

}  // namespace

ui::AnyView FocusedAs(ui::AnyView control, const FloatingViewContext& context, ui::Identity id) {
  auto state = context.state;
  return control.focused(
      ui::Binding<std::optional<ui::Identity>>([state] { return state->focusField.get(); },
                                               [state](std::optional<ui::Identity> field) {
                                                 if (!(state->focusField.get() == field))
                                                   state->focusField = std::move(field);
                                               }),
      std::move(id));
}

ui::AnyView GrowingEditor(ui::Identity id, ui::TextEditorWidget editor, double fontSize) {
  ui::AnyView measure = ui::AnyView(ui::Text::verbatim(measuredText(editor.text.get())))
                            .font(ui::Font::system(fontSize))
                            .opacity(0);
  return measure.frame(ui::FrameBounds{.maxWidth = ui::kInfinity}, ui::Alignment::topLeading)
      .overlay(ui::Representable(std::move(id), std::move(editor),
                                 ui::RepresentableSizing{std::nullopt, std::nullopt, true, true}));
}

ui::AnyView InputArea(const FloatingViewContext& context) {
  ui::AnyView row = context.model->nonContextPrompt ? BackRow(context) : InputLine(context);
  return ui::CustomLayout(std::make_shared<CappedHeightLayout>(kTopAreaMaximumHeight),
                          {ui::ScrollView(std::move(row))})
      .accessibilityIdentifier("panel.topArea");
}

ui::AnyView FillInFormView(const FloatingViewContext& context) {
  auto model = context.model;
  const double fontSize = context.state->fontSize;
  std::vector<ui::AnyView> rows;
  rows.push_back(ui::AnyView(fillInHeader(model->extractedTexts.get()))
                     .font(ui::Font::system(fontSize))
                     .foregroundColor(ui::Color::primary())
                     .multilineTextAlignment(ui::TextAlignment::center)
                     .textSelection(ui::TextSelectability::enabled)
                     .accessibilityIdentifier("panel.fillInHeader"));
  const auto& pieces = model->extractedTexts.get();
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (!pieces[i].isBracketed) continue;
    const std::int64_t id = pieces[i].id;
    ui::TextFieldWidget field;
    // Edits go into the piece in place, so the prompt is sent as completed.
    field.text = ui::Binding<std::string>(
        [model, i] {
          const auto& list = model->extractedTexts.get();
          return i < list.size() ? list[i].text : std::string();
        },
        [model, i](std::string text) {
          const auto& list = model->extractedTexts.get();
          if (i >= list.size() || list[i].text == text) return;
          model->extractedTexts.modify([&](auto& edited) { edited[i].text = std::move(text); });
        });
    field.placeholder = pieces[i].text;
    field.style = ui::TextFieldStyle::roundedBorder;
    auto submitted = context.fillInSubmitted;
    field.onSubmit = [submitted, id] {
      if (submitted) submitted(id);
    };
    rows.push_back(
        FocusedAs(ui::Representable(ui::Identity(id), std::move(field), ui::kTextFieldSizing),
                  context, ui::Identity(id))
            .frame(ui::FrameBounds{.maxWidth = ui::kInfinity})
            .accessibilityIdentifier("panel.fillIn." + std::to_string(id)));
  }
  return ui::VStack(ui::HAlign::center, std::nullopt, std::move(rows))
      .padding(ui::EdgeSet::horizontal(), 35)
      .accessibilityIdentifier("panel.fillInForm");
}

}  // namespace panel::parts
