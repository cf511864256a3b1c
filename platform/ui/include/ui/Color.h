#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>

namespace ui {

enum class ColorScheme { light, dark };

// Straight (not premultiplied) sRGB components, each 0...1.
struct Rgba {
  double red = 0, green = 0, blue = 0, alpha = 0;

  // 0xRRGGBBAA, each channel rounded to the nearest byte and clamped.
  std::uint32_t packed() const;
  bool operator==(const Rgba&) const = default;
};

// A colour as views describe it: a fixed sRGB value, a semantic system colour whose value
// depends on the colour scheme, or a light/dark pair of producers. Resolve it against the
// scheme of the view that draws it.
//
// Semantic colours (light | dark, 0xRRGGBBAA):
//   clear      00000000 | 00000000      primary    000000FF | FFFFFFFF
//   white      FFFFFFFF | FFFFFFFF      secondary  00000080 | FFFFFF8C  (50 % | 55 %)
//   black      000000FF | 000000FF      separator  0000001A | FFFFFF1A  (10 %)
//   gray       8E8E93FF | 8E8E93FF      accent     007AFFFF | 0A84FFFF  (also the tint)
//   blue       007AFFFF | 0A84FFFF      indigo     5856D6FF | 5E5CE6FF
//   red        FF3B30FF | FF453AFF      green      34C759FF | 30D158FF
//   orange     FF9500FF | FF9F0AFF
class Color {
 public:
  using Producer = std::function<Color()>;

  enum class System {
    clear,
    white,
    black,
    primary,
    secondary,
    gray,
    separator,
    accent,
    blue,
    indigo,
    red,
    green,
    orange,
  };

  // Clear.
  Color();

  // 0xRRGGBBAA, each byte / 255.0, sRGB.
  static Color rgba(std::uint32_t packed);
  static Color sRGB(double red, double green, double blue, double alpha = 1);
  static Color system(System);
  // Follows the scheme: `light()` for the light scheme, `dark()` otherwise. Both producers are
  // kept for the life of the colour and called on every resolution; nothing is cached.
  static Color dynamic(Producer light, Producer dark);
  // A dynamic colour over two fixed colours.
  static Color pair(Color light, Color dark);

  static Color clear() { return system(System::clear); }
  static Color white() { return system(System::white); }
  static Color black() { return system(System::black); }
  static Color primary() { return system(System::primary); }
  static Color secondary() { return system(System::secondary); }
  static Color gray() { return system(System::gray); }
  static Color separator() { return system(System::separator); }
  static Color accent() { return system(System::accent); }
  static Color tint() { return system(System::accent); }
  static Color blue() { return system(System::blue); }
  static Color indigo() { return system(System::indigo); }
  static Color red() { return system(System::red); }
  static Color green() { return system(System::green); }
  static Color orange() { return system(System::orange); }

  // Multiplies the alpha (factor clamped to 0...1). A fixed colour folds it into its value;
  // semantic and dynamic colours apply it after resolving.
  Color opacity(double factor) const;

  Rgba resolve(ColorScheme scheme) const;

  bool isDynamic() const;

  // Fixed and semantic colours compare by value; dynamic ones by the identity of their
  // producers (copies of one dynamic colour are equal, two separately made pairs are not).
  friend bool operator==(const Color& a, const Color& b);
  std::size_t hash() const;

 private:
  struct Dynamic;
  using Kind = std::variant<Rgba, System, std::shared_ptr<const Dynamic>>;
  Color(Kind kind, double opacity) : kind_(std::move(kind)), opacity_(opacity) {}
  Rgba resolve(ColorScheme scheme, int depth) const;

  Kind kind_;
  double opacity_ = 1;  // applied after resolving a semantic or dynamic colour
};

}  // namespace ui

template <>
struct std::hash<ui::Color> {
  std::size_t operator()(const ui::Color& c) const { return c.hash(); }
};
