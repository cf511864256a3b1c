#include "ui/Color.h"

#include <algorithm>
#include <cmath>

#include "ui/Hash.h"

namespace ui {

struct Color::Dynamic {
  Producer light, dark;
};

namespace {

// A producer that hands back a colour built on itself would recurse forever.
constexpr int kMaxDynamicDepth = 16;

double clampUnit(double v) {
  return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0);
}

Rgba fromPacked(std::uint32_t packed) {
  return {((packed >> 24) & 0xFF) / 255.0, ((packed >> 16) & 0xFF) / 255.0,
          ((packed >> 8) & 0xFF) / 255.0, (packed & 0xFF) / 255.0};
}

struct SchemePair {
  std::uint32_t light, dark;
};

SchemePair systemValues(Color::System s) {
  switch (s) {
    case Color::System::clear:
      return {0x00000000, 0x00000000};
    case Color::System::white:
      return {0xFFFFFFFF, 0xFFFFFFFF};
    case Color::System::black:
      return {0x000000FF, 0x000000FF};
    case Color::System::primary:
      return {0x000000FF, 0xFFFFFFFF};
    case Color::System::secondary:
      return {0x00000080, 0xFFFFFF8C};
    case Color::System::gray:
      return {0x8E8E93FF, 0x8E8E93FF};
    case Color::System::separator:
      return {0x0000001A, 0xFFFFFF1A};
    case Color::System::accent:
      return {0x007AFFFF, 0x0A84FFFF};
    case Color::System::blue:
      return {0x007AFFFF, 0x0A84FFFF};
    case Color::System::indigo:
      return {0x5856D6FF, 0x5E5CE6FF};
    case Color::System::red:
      return {0xFF3B30FF, 0xFF453AFF};
    case Color::System::green:
      return {0x34C759FF, 0x30D158FF};
    case Color::System::orange:
      return {0xFF9500FF, 0xFF9F0AFF};
  }
  return {0, 0};
}

}  // namespace

std::uint32_t Rgba::packed() const {
  auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(clampUnit(v) * 255)); };
  return byte(red) << 24 | byte(green) << 16 | byte(blue) << 8 | byte(alpha);
}

Color::Color() : kind_(System::clear) {}

Color Color::rgba(std::uint32_t packed) {
  return Color(fromPacked(packed), 1);
}

Color Color::sRGB(double red, double green, double blue, double alpha) {
  return Color(Rgba{clampUnit(red), clampUnit(green), clampUnit(blue), clampUnit(alpha)}, 1);
}

Color Color::system(System s) {
  return Color(s, 1);
}

Color Color::dynamic(Producer light, Producer dark) {
  return Color(std::make_shared<const Dynamic>(Dynamic{std::move(light), std::move(dark)}), 1);
}

Color Color::pair(Color light, Color dark) {
  return dynamic([light] { return light; }, [dark] { return dark; });
}

Color Color::opacity(double factor) const {
  factor = clampUnit(factor);
  if (const auto* rgba = std::get_if<Rgba>(&kind_)) {
    Rgba r = *rgba;
    r.alpha *= factor;
    return Color(r, 1);
  }
  return Color(kind_, opacity_ * factor);
}

Rgba Color::resolve(ColorScheme scheme) const {
  return resolve(scheme, 0);
}

Rgba Color::resolve(ColorScheme scheme, int depth) const {
  Rgba value;
  if (const auto* rgba = std::get_if<Rgba>(&kind_)) {
    return *rgba;
  } else if (const auto* system = std::get_if<System>(&kind_)) {
    const SchemePair pair = systemValues(*system);
    value = fromPacked(scheme == ColorScheme::light ? pair.light : pair.dark);
  } else {
    const auto& dynamic = std::get<std::shared_ptr<const Dynamic>>(kind_);
    const Producer& producer = scheme == ColorScheme::light ? dynamic->light : dynamic->dark;
    if (depth >= kMaxDynamicDepth || !producer) return {};
    value = producer().resolve(scheme, depth + 1);
  }
  value.alpha *= opacity_;
  return value;
}

bool Color::isDynamic() const {
  return std::holds_alternative<std::shared_ptr<const Dynamic>>(kind_);
}

bool operator==(const Color& a, const Color& b) {
  return a.kind_ == b.kind_ && a.opacity_ == b.opacity_;
}

std::size_t Color::hash() const {
  std::size_t seed = kind_.index();
  if (const auto* rgba = std::get_if<Rgba>(&kind_)) {
    hashCombine(seed, rgba->red);
    hashCombine(seed, rgba->green);
    hashCombine(seed, rgba->blue);
    hashCombine(seed, rgba->alpha);
  } else if (const auto* system = std::get_if<System>(&kind_)) {
    hashCombine(seed, static_cast<int>(*system));
  } else {
    hashCombine(seed, std::get<std::shared_ptr<const Dynamic>>(kind_).get());
  }
  hashCombine(seed, opacity_);
  return seed;
}

}  // namespace ui
