#include "markdown/TextStyle.h"

namespace markdown {

void collect(const AnyTextStyle& style, ui::AttributeContainer& attributes) {
  if (style) style->collectAttributes(attributes);
}

ui::AttributeContainer collectedAttributes(const AnyTextStyle& style) {
  ui::AttributeContainer attributes;
  collect(style, attributes);
  return attributes;
}

void ForegroundColor::collectAttributes(ui::AttributeContainer& a) const {
  a.foregroundColor = foregroundColor;
}
void BackgroundColor::collectAttributes(ui::AttributeContainer& a) const {
  a.backgroundColor = backgroundColor;
}
void StrikethroughStyle::collectAttributes(ui::AttributeContainer& a) const {
  a.strikethroughStyle = lineStyle;
}
void UnderlineStyle::collectAttributes(ui::AttributeContainer& a) const {
  a.underlineStyle = lineStyle;
}
void TextKerning::collectAttributes(ui::AttributeContainer& a) const {
  a.kern = kern;
}
void TextTracking::collectAttributes(ui::AttributeContainer& a) const {
  a.tracking = tracking;
}

void FontFamily::collectAttributes(ui::AttributeContainer& a) const {
  a.modify<FontPropertiesAttribute>([&](FontProperties& p) { p.family = family; });
}
void FontFamilyVariant::collectAttributes(ui::AttributeContainer& a) const {
  a.modify<FontPropertiesAttribute>([&](FontProperties& p) { p.familyVariant = familyVariant; });
}
void FontCapsVariant::collectAttributes(ui::AttributeContainer& a) const {
  a.modify<FontPropertiesAttribute>([&](FontProperties& p) { p.capsVariant = capsVariant; });
}
void FontDigitVariant::collectAttributes(ui::AttributeContainer& a) const {
  a.modify<FontPropertiesAttribute>([&](FontProperties& p) { p.digitVariant = digitVariant; });
}
void FontStyle::collectAttributes(ui::AttributeContainer& a) const {
  a.modify<FontPropertiesAttribute>([&](FontProperties& p) { p.style = style; });
}
void FontWeight::collectAttributes(ui::AttributeContainer& a) const {
  a.modify<FontPropertiesAttribute>([&](FontProperties& p) { p.weight = weight; });
}
void FontSize::collectAttributes(ui::AttributeContainer& a) const {
  a.modify<FontPropertiesAttribute>([&](FontProperties& p) {
    if (const double* points = std::get_if<double>(&size)) {
      p.size = *points;
      p.scale = 1;
      return;
    }
    const RelativeSize& relative = std::get<RelativeSize>(size);
    if (relative.unit == RelativeSize::Unit::em)
      p.scale *= relative.value;
    else
      p.scale = relative.value;
  });
}

void FontPropertiesStyle::collectAttributes(ui::AttributeContainer& a) const {
  a.set<FontPropertiesAttribute>(properties);
}

namespace TextStyleBuilder {

AnyTextStyle buildBlock() {
  return std::make_shared<const EmptyTextStyle>();
}
AnyTextStyle buildBlock(TextStyleArg style) {
  return style.get();
}
AnyTextStyle buildPartialBlock(TextStyleArg first) {
  return first.get();
}
AnyTextStyle buildPartialBlock(TextStyleArg accumulated, TextStyleArg next) {
  return std::make_shared<const Pair>(accumulated.get(), next.get());
}
AnyTextStyle buildEitherFirst(TextStyleArg component) {
  return std::make_shared<const Conditional>(Conditional::Branch::first, component.get());
}
AnyTextStyle buildEitherSecond(TextStyleArg component) {
  return std::make_shared<const Conditional>(Conditional::Branch::second, component.get());
}
AnyTextStyle buildOptional(std::optional<TextStyleArg> component) {
  return std::make_shared<const OptionalTextStyle>(component ? component->get() : nullptr);
}

}  // namespace TextStyleBuilder

AnyTextStyle textStyle(std::initializer_list<TextStyleArg> styles) {
  if (styles.size() == 0) return TextStyleBuilder::buildBlock();
  auto it = styles.begin();
  AnyTextStyle result = TextStyleBuilder::buildPartialBlock(*it);
  for (++it; it != styles.end(); ++it) result = TextStyleBuilder::buildPartialBlock(result, *it);
  return result;
}

AnyTextStyle when(bool condition, TextStyleArg style) {
  return TextStyleBuilder::buildOptional(condition ? std::optional<TextStyleArg>(std::move(style))
                                                   : std::nullopt);
}

AnyTextStyle choose(bool condition, TextStyleArg first, TextStyleArg second) {
  return condition ? TextStyleBuilder::buildEitherFirst(std::move(first))
                   : TextStyleBuilder::buildEitherSecond(std::move(second));
}

}  // namespace markdown
