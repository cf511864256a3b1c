#include <algorithm>
#include <array>
#include <cctype>
#include <limits>

#include "markdown/BlockStyle.h"
#include "markdown/FontProperties.h"
#include "markdown/RelativeModifiers.h"
#include "markdown/TextStyleAttributesReader.h"
#include "ui/Image.h"
#include "ui/SymbolRegistry.h"
#include "ui/SystemEnvironment.h"
#include "ui/TextValue.h"

namespace markdown {

std::int64_t ListMarkerConfiguration::itemNumberFor(std::int64_t start, std::int64_t index) {
  std::int64_t sum = 0;
  if (!__builtin_add_overflow(start, index, &sum)) return sum;
  return index > 0 ? std::numeric_limits<std::int64_t>::max()
                   : std::numeric_limits<std::int64_t>::min();
}

std::string romanNumeral(std::int64_t number) {
  if (number < 1 || number > 3999) return std::to_string(number);
  static constexpr std::array<std::pair<int, const char*>, 13> numerals{{{1000, "M"},
                                                                         {900, "CM"},
                                                                         {500, "D"},
                                                                         {400, "CD"},
                                                                         {100, "C"},
                                                                         {90, "XC"},
                                                                         {50, "L"},
                                                                         {40, "XL"},
                                                                         {10, "X"},
                                                                         {9, "IX"},
                                                                         {5, "V"},
                                                                         {4, "IV"},
                                                                         {1, "I"}}};
  std::string result;
  for (const auto& [value, numeral] : numerals) {
    for (std::int64_t count = number / value; count > 0; --count) result += numeral;
    number %= value;
  }
  return result;
}

double listBulletFontSize(const ui::AttributeContainer& attributes) {
  const FontProperties* p = attributes.get<FontPropertiesAttribute>();
  const double textSize = p ? p->scaledSize() : FontProperties::defaultSize;
  // A tiny text must not give a symbol font below the smallest usable size.
  return std::max(ui::ResolvedFont::kMinimumSize, roundPoints(textSize / 3));
}

ui::AnyView ListBullet(const std::string& symbolName) {
  return TextStyleAttributesReader([symbolName](const ui::AttributeContainer& attributes) {
    return ui::AnyView(ui::Text::image(ui::Image::symbol(symbolName))
                           .font(ui::Font::system(listBulletFontSize(attributes))));
  });
}

namespace detail {
namespace {

using ListStyle = BlockStyle<ListMarkerConfiguration>;

ui::AnyView inMarkerColumn(const ui::AnyView& marker) {
  return relativeFrame(marker, RelativeSize::em(1.5), ui::Alignment::trailing);
}

// Monospaced digits on top of the font the text would take from its surroundings.
ui::AnyView monospacedDigitText(ui::Text text) {
  return ui::EnvironmentReader([text = std::move(text)](const ui::Environment& env) {
    return ui::AnyView(text.font(ui::resolvedEnvironmentFont(env).monospacedDigit()));
  });
}

ui::AnyView romanText(std::int64_t number, bool lowerCase) {
  std::string numeral = romanNumeral(number);
  if (lowerCase)
    std::transform(numeral.begin(), numeral.end(), numeral.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ui::AnyView(ui::Text::verbatim(numeral + "."));
}

ListStyle bullet(const char* symbol) {
  return ListStyle(
      [symbol](const ListMarkerConfiguration&) { return inMarkerColumn(ListBullet(symbol)); });
}

}  // namespace

ListStyle decimalMarker() {
  return ListStyle([](const ListMarkerConfiguration& c) {
    return inMarkerColumn(monospacedDigitText(ui::Text::localized("%lld.", {c.itemNumber})));
  });
}
ListStyle upperRomanMarker() {
  return ListStyle([](const ListMarkerConfiguration& c) {
    return inMarkerColumn(romanText(c.itemNumber, false));
  });
}
ListStyle lowerRomanMarker() {
  return ListStyle([](const ListMarkerConfiguration& c) {
    return inMarkerColumn(romanText(c.itemNumber, true));
  });
}
ListStyle dashMarker() {
  return ListStyle(
      [](const ListMarkerConfiguration&) { return inMarkerColumn(ui::Text::localized("-")); });
}
ListStyle discMarker() {
  static const ListStyle style = bullet("circle.fill");
  return style;
}
ListStyle circleMarker() {
  static const ListStyle style = bullet("circle");
  return style;
}
ListStyle squareMarker() {
  static const ListStyle style = bullet("square.fill");
  return style;
}
ListStyle discCircleSquareMarker() {
  return ListStyle([](const ListMarkerConfiguration& c) {
    const int index = std::clamp(std::min(c.listLevel, 3) - 1, 0, 2);
    static const std::array<ListStyle, 3> styles{discMarker(), circleMarker(), squareMarker()};
    return styles[static_cast<std::size_t>(index)].body(c);
  });
}
BlockStyle<TaskListMarkerConfiguration> checkmarkSquareMarker() {
  return BlockStyle<TaskListMarkerConfiguration>([](const TaskListMarkerConfiguration& c) {
    const ui::AnyView symbol =
        ui::AnyView(
            ui::Text::image(ui::Image::symbol(c.isCompleted ? "checkmark.square.fill" : "square")))
            .symbolRenderingMode(ui::SymbolRenderingMode::hierarchical)
            .imageScale(ui::ImageScale::small);
    return inMarkerColumn(symbol);
  });
}

}  // namespace detail
}  // namespace markdown
