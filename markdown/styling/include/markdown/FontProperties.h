#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include "ui/AttributedString.h"
#include "ui/Font.h"

namespace markdown {

// Whole points: nearest, halves away from zero.
double roundPoints(double value);

// A font as text styles edit it, field by field; turned into a real font only when text is
// finished (fontWithProperties, resolvingFontProperties).
struct FontProperties {
  class Family {
   public:
    static Family system(ui::Font::Design design = ui::Font::Design::standard) {
      return Family(design);
    }
    static Family custom(std::string name) { return Family(std::move(name)); }

    bool isSystem() const { return value_.index() == 0; }
    ui::Font::Design design() const {
      return isSystem() ? std::get<0>(value_) : ui::Font::Design::standard;
    }
    const std::string* customName() const { return std::get_if<1>(&value_); }
    std::size_t index() const { return value_.index(); }

    bool operator==(const Family&) const = default;

   private:
    explicit Family(ui::Font::Design d) : value_(d) {}
    explicit Family(std::string name) : value_(std::move(name)) {}
    std::variant<ui::Font::Design, std::string> value_;
  };
  enum class FamilyVariant { normal, monospaced };
  enum class CapsVariant { normal, smallCaps, lowercaseSmallCaps, uppercaseSmallCaps };
  enum class DigitVariant { normal, monospaced };
  enum class Style { normal, italic };

  static constexpr double defaultSize = 13;
  static constexpr ui::Font::Weight defaultWeight = ui::Font::Weight::regular;

  Family family = Family::system();
  FamilyVariant familyVariant = FamilyVariant::normal;
  CapsVariant capsVariant = CapsVariant::normal;
  DigitVariant digitVariant = DigitVariant::normal;
  Style style = Style::normal;
  ui::Font::Weight weight = defaultWeight;
  double size = defaultSize;
  double scale = 1;

  double scaledSize() const { return roundPoints(size * scale); }

  bool operator==(const FontProperties&) const = default;
  std::size_t hash() const;
};

// Carries a description through attributed text.
struct FontPropertiesAttribute {
  using Value = FontProperties;
  static constexpr std::string_view name = "fontProperties";
};

// The font a description stands for: the base at round(size × scale) points (kept finite and
// at least 1), then monospaced, caps, monospaced digits, a non-regular weight and italic.
ui::Font fontWithProperties(const FontProperties& properties);

// A copy in which every run's description has become its font.
ui::AttributedString resolvingFontProperties(const ui::AttributedString& text);

}  // namespace markdown

template <>
struct std::hash<markdown::FontProperties> {
  std::size_t operator()(const markdown::FontProperties& p) const { return p.hash(); }
};
