#include "markdown/FontProperties.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace markdown {
namespace {

void feed(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

// A backend needs a real size even for a description nobody validated.
double usableSize(double points) {
  if (std::isnan(points)) return FontProperties::defaultSize;
  return std::clamp(points, ui::ResolvedFont::kMinimumSize, ui::ResolvedFont::kMaximumSize);
}

}  // namespace

double roundPoints(double value) {
  return std::round(value);
}

std::size_t FontProperties::hash() const {
  std::size_t seed = 0;
  feed(seed, family.index());
  if (const std::string* name = family.customName())
    feed(seed, std::hash<std::string>{}(*name));
  else
    feed(seed, static_cast<std::size_t>(family.design()));
  feed(seed, static_cast<std::size_t>(familyVariant));
  feed(seed, static_cast<std::size_t>(capsVariant));
  feed(seed, static_cast<std::size_t>(digitVariant));
  feed(seed, static_cast<std::size_t>(style));
  feed(seed, static_cast<std::size_t>(weight));
  feed(seed, std::hash<double>{}(size));
  feed(seed, std::hash<double>{}(scale));
  return seed;
}

ui::Font fontWithProperties(const FontProperties& p) {
  const double s = usableSize(roundPoints(p.size * p.scale));
  ui::Font font = p.family.customName()
                      ? ui::Font::custom(*p.family.customName(), s)
                      : ui::Font::system(s, ui::Font::Weight::regular, p.family.design());
  if (p.familyVariant == FontProperties::FamilyVariant::monospaced) font = font.monospaced();
  switch (p.capsVariant) {
    case FontProperties::CapsVariant::normal:
      break;
    case FontProperties::CapsVariant::smallCaps:
      font = font.smallCaps();
      break;
    case FontProperties::CapsVariant::lowercaseSmallCaps:
      font = font.lowercaseSmallCaps();
      break;
    case FontProperties::CapsVariant::uppercaseSmallCaps:
      font = font.uppercaseSmallCaps();
      break;
  }
  if (p.digitVariant == FontProperties::DigitVariant::monospaced) font = font.monospacedDigit();
  if (p.weight != ui::Font::Weight::regular) font = font.weight(p.weight);
  if (p.style == FontProperties::Style::italic) font = font.italic();
  return font;
}

ui::AttributedString resolvingFontProperties(const ui::AttributedString& text) {
  return text.transformingAttributes([](ui::AttributeContainer& attributes) {
    const FontProperties* p = attributes.get<FontPropertiesAttribute>();
    if (!p) return;
    attributes.font = fontWithProperties(*p);
    attributes.remove<FontPropertiesAttribute>();
  });
}

}  // namespace markdown
