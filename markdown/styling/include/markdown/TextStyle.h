#pragma once

#include <concepts>
#include <initializer_list>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "markdown/FontProperties.h"
#include "markdown/RelativeSize.h"
#include "ui/AttributeContainer.h"
#include "ui/Color.h"
#include "ui/LineStyle.h"

namespace markdown {

// Adds character attributes, and edits of the font description, to a container.
class TextStyle {
 public:
  virtual ~TextStyle() = default;
  virtual void collectAttributes(ui::AttributeContainer& attributes) const = 0;
};

// Immutable, so a shared copy behaves as an independent value. Null collects nothing.
using AnyTextStyle = std::shared_ptr<const TextStyle>;

void collect(const AnyTextStyle& style, ui::AttributeContainer& attributes);
ui::AttributeContainer collectedAttributes(const AnyTextStyle& style);

// Direct attributes: an absent value removes the attribute.
struct ForegroundColor final : TextStyle {
  explicit ForegroundColor(std::optional<ui::Color> color) : foregroundColor(std::move(color)) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  std::optional<ui::Color> foregroundColor;
};
struct BackgroundColor final : TextStyle {
  explicit BackgroundColor(std::optional<ui::Color> color) : backgroundColor(std::move(color)) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  std::optional<ui::Color> backgroundColor;
};
struct StrikethroughStyle final : TextStyle {
  explicit StrikethroughStyle(std::optional<ui::LineStyle> style) : lineStyle(std::move(style)) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  std::optional<ui::LineStyle> lineStyle;
};
struct UnderlineStyle final : TextStyle {
  explicit UnderlineStyle(std::optional<ui::LineStyle> style) : lineStyle(std::move(style)) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  std::optional<ui::LineStyle> lineStyle;
};
struct TextKerning final : TextStyle {
  explicit TextKerning(std::optional<double> kern) : kern(kern) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  std::optional<double> kern;
};
struct TextTracking final : TextStyle {
  explicit TextTracking(std::optional<double> tracking) : tracking(tracking) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  std::optional<double> tracking;
};

// Font edits: they change the description already collected and never create one.
struct FontFamily final : TextStyle {
  explicit FontFamily(FontProperties::Family family) : family(std::move(family)) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  FontProperties::Family family;
};
struct FontFamilyVariant final : TextStyle {
  explicit FontFamilyVariant(FontProperties::FamilyVariant v) : familyVariant(v) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  FontProperties::FamilyVariant familyVariant;
};
struct FontCapsVariant final : TextStyle {
  explicit FontCapsVariant(FontProperties::CapsVariant v) : capsVariant(v) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  FontProperties::CapsVariant capsVariant;
};
struct FontDigitVariant final : TextStyle {
  explicit FontDigitVariant(FontProperties::DigitVariant v) : digitVariant(v) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  FontProperties::DigitVariant digitVariant;
};
struct FontStyle final : TextStyle {
  explicit FontStyle(FontProperties::Style s) : style(s) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  FontProperties::Style style;
};
struct FontWeight final : TextStyle {
  explicit FontWeight(ui::Font::Weight w) : weight(w) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  ui::Font::Weight weight;
};
// Points set the size and reset the scale; em multiplies the scale; rem replaces it.
struct FontSize final : TextStyle {
  explicit FontSize(double points) : size(points) {}
  explicit FontSize(RelativeSize relative) : size(relative) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  std::variant<double, RelativeSize> size;
};

struct EmptyTextStyle final : TextStyle {
  void collectAttributes(ui::AttributeContainer&) const override {}
};
// A whole description as a style: replaces whatever description was collected before.
struct FontPropertiesStyle final : TextStyle {
  explicit FontPropertiesStyle(FontProperties p) : properties(std::move(p)) {}
  void collectAttributes(ui::AttributeContainer& a) const override;
  FontProperties properties;
};
// Collects the wrapped style when there is one.
struct OptionalTextStyle final : TextStyle {
  explicit OptionalTextStyle(AnyTextStyle s) : wrapped(std::move(s)) {}
  void collectAttributes(ui::AttributeContainer& a) const override { collect(wrapped, a); }
  AnyTextStyle wrapped;
};

// A style argument: any style value, a shared style or a description.
class TextStyleArg {
 public:
  template <class S>
  requires std::derived_from<std::decay_t<S>, TextStyle> TextStyleArg(S&& style)  // NOLINT
      : style_(std::make_shared<const std::decay_t<S>>(std::forward<S>(style))) {}
  TextStyleArg(AnyTextStyle style) : style_(std::move(style)) {}  // NOLINT
  TextStyleArg(const FontProperties& p)                           // NOLINT
      : style_(std::make_shared<const FontPropertiesStyle>(p)) {}
  const AnyTextStyle& get() const { return style_; }

 private:
  AnyTextStyle style_;
};

namespace TextStyleBuilder {

// s0 then s1 into the same container.
struct Pair final : TextStyle {
  Pair(AnyTextStyle first, AnyTextStyle second) : s0(std::move(first)), s1(std::move(second)) {}
  void collectAttributes(ui::AttributeContainer& a) const override {
    collect(s0, a);
    collect(s1, a);
  }
  AnyTextStyle s0, s1;
};
// One branch of a two-way condition.
struct Conditional final : TextStyle {
  enum class Branch { first, second };
  Conditional(Branch b, AnyTextStyle s) : branch(b), style(std::move(s)) {}
  void collectAttributes(ui::AttributeContainer& a) const override { collect(style, a); }
  Branch branch;
  AnyTextStyle style;
};

AnyTextStyle buildBlock();
AnyTextStyle buildBlock(TextStyleArg style);
AnyTextStyle buildPartialBlock(TextStyleArg first);
AnyTextStyle buildPartialBlock(TextStyleArg accumulated, TextStyleArg next);
AnyTextStyle buildEitherFirst(TextStyleArg component);
AnyTextStyle buildEitherSecond(TextStyleArg component);
AnyTextStyle buildOptional(std::optional<TextStyleArg> component);

}  // namespace TextStyleBuilder

// A block of styles folded from the left: {A, B, C} is Pair(Pair(A, B), C).
AnyTextStyle textStyle(std::initializer_list<TextStyleArg> styles);
// A one-way condition: the style when `condition` holds, nothing otherwise.
AnyTextStyle when(bool condition, TextStyleArg style);
// A two-way condition.
AnyTextStyle choose(bool condition, TextStyleArg first, TextStyleArg second);

}  // namespace markdown
