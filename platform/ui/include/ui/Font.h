#pragma once

#include <cstddef>
#include <string>
#include <variant>
#include <vector>

namespace ui {

struct ResolvedFont;

// A font as views describe it: a base (system font or a named family) and the modifier steps
// applied to it, in application order. Two fonts are equal when base and steps are equal, so
// `system(13).monospaced().italic()` and `system(13).italic().monospaced()` differ even though
// they resolve alike.
class Font {
 public:
  enum class Weight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };
  enum class Design { standard, serif, rounded, monospaced };

  struct System {
    double size = 13;
    Weight weight = Weight::regular;
    Design design = Design::standard;
    bool operator==(const System&) const = default;
  };
  struct Custom {
    std::string name;
    double size = 13;
    bool operator==(const Custom&) const = default;
  };
  using Base = std::variant<System, Custom>;

  enum class Modifier {
    monospaced,
    smallCaps,
    lowercaseSmallCaps,
    uppercaseSmallCaps,
    monospacedDigit,
    weight,
    italic,
  };
  struct Step {
    Modifier modifier;
    Weight weight = Weight::regular;  // only for Modifier::weight
    bool operator==(const Step&) const = default;
  };

  static constexpr double kDefaultSize = 13;

  // The body font: system, 13 points, regular.
  Font() = default;

  static Font system(double size, Weight weight = Weight::regular,
                     Design design = Design::standard);
  static Font custom(std::string name, double size);

  // Named sizes of the desktop's text styles (points): largeTitle 26, title 22, title2 17,
  // title3 15, headline 13 bold, body 13, callout 12, subheadline 11, footnote 10,
  // caption 10, caption2 10. They are plain system fonts: `body() == system(13)`.
  static Font largeTitle() { return system(26); }
  static Font title() { return system(22); }
  static Font title2() { return system(17); }
  static Font title3() { return system(15); }
  static Font headline() { return system(13, Weight::bold); }
  static Font body() { return system(13); }
  static Font callout() { return system(12); }
  static Font subheadline() { return system(11); }
  static Font footnote() { return system(10); }
  static Font caption() { return system(10); }
  static Font caption2() { return system(10); }

  Font monospaced() const { return adding({Modifier::monospaced}); }
  Font smallCaps() const { return adding({Modifier::smallCaps}); }
  Font lowercaseSmallCaps() const { return adding({Modifier::lowercaseSmallCaps}); }
  Font uppercaseSmallCaps() const { return adding({Modifier::uppercaseSmallCaps}); }
  Font monospacedDigit() const { return adding({Modifier::monospacedDigit}); }
  Font weight(Weight w) const { return adding({Modifier::weight, w}); }
  Font bold() const { return weight(Weight::bold); }
  Font italic() const { return adding({Modifier::italic}); }

  const Base& base() const { return base_; }
  const std::vector<Step>& steps() const { return steps_; }

  // The concrete description a backend builds its font from.
  ResolvedFont resolved() const;

  bool operator==(const Font&) const = default;
  std::size_t hash() const;

 private:
  Font adding(Step step) const;

  Base base_ = System{};
  std::vector<Step> steps_;
};

// What a font comes to once its steps are applied. `design` is the family kind for system
// fonts; for a named family it is `standard` unless `monospaced()` asked for a fixed-pitch
// face, which a backend may use as the fallback when the family lacks one.
struct ResolvedFont {
  static constexpr double kMinimumSize = 1;
  static constexpr double kMaximumSize = 4096;

  std::string family;  // empty for the system font
  Font::Design design = Font::Design::standard;
  Font::Weight weight = Font::Weight::regular;
  bool italic = false;
  double size = Font::kDefaultSize;  // finite, kMinimumSize...kMaximumSize; NaN gives 13
  bool lowercaseSmallCaps = false;   // lower-case letters drawn as small capitals
  bool uppercaseSmallCaps = false;   // capitals drawn as small capitals
  bool monospacedDigits = false;

  bool isSystem() const { return family.empty(); }
  bool operator==(const ResolvedFont&) const = default;
};

}  // namespace ui

template <>
struct std::hash<ui::Font> {
  std::size_t operator()(const ui::Font& f) const { return f.hash(); }
};
