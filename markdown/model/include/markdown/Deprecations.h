#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/URL.h"
#include "markdown/Hasher.h"

// An older interface, kept so that older client code still builds. Nothing here has behaviour
// any more: the members that would make or use a value stop the program with
// "Fatal error: Unimplemented". Heading's integer-level initialiser is declared on Heading.

namespace markdown {

struct [[deprecated("images are loaded by the image providers")]] MarkdownImageHandler {
  static MarkdownImageHandler networkImage();
  static MarkdownImageHandler assetImage(
      std::function<std::string(const foundation::URL&)> name,
      std::optional<std::filesystem::path> bundle = std::nullopt);

 private:
  MarkdownImageHandler() = default;
};

struct [[deprecated("use a theme")]] MarkdownStyle {
  struct Font {
    enum class Weight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };
    enum class Design { standard, serif, rounded, monospaced };
    enum class TextStyle {
      largeTitle,
      title,
      title2,
      title3,
      headline,
      subheadline,
      body,
      callout,
      footnote,
      caption,
      caption2,
    };

    static Font largeTitle();
    static Font title();
    static Font title2();
    static Font title3();
    static Font headline();
    static Font subheadline();
    static Font body();
    static Font callout();
    static Font footnote();
    static Font caption();
    static Font caption2();
    static Font system(double size, Weight weight = Weight::regular,
                       Design design = Design::standard);
    static Font system(TextStyle style, Design design = Design::standard);
    static Font custom(std::string_view name, double size);

    Font bold() const;
    Font italic() const;
    Font monospacedDigit() const;
    Font monospaced() const;
    Font scale(double factor) const;

    bool operator==(const Font&) const { return true; }

   private:
    Font() = default;
  };

  struct HeadingScales {
    HeadingScales(double h1, double h2, double h3, double h4, double h5, double h6);
    double operator[](int level) const;
    // The scales every heading used to get (`default` is a keyword here).
    static HeadingScales defaultValue();

    bool operator==(const HeadingScales&) const { return true; }

   private:
    HeadingScales() = default;
  };

  struct Measurements {
    double codeFontScale;
    double headIndentStep;
    double tailIndentStep;
    double paragraphSpacing;
    double listMarkerSpacing;
    HeadingScales headingScales;
    double headingSpacing;

    Measurements(double codeFontScale, double headIndentStep, double tailIndentStep,
                 double paragraphSpacing, double listMarkerSpacing, HeadingScales headingScales,
                 double headingSpacing);

    bool operator==(const Measurements& other) const;
  };

  Font font;
  std::uint32_t foregroundColor;  // packed 0xRRGGBBAA
  Measurements measurements;

  MarkdownStyle(Font font, std::uint32_t foregroundColor, Measurements measurements);

  bool operator==(const MarkdownStyle& other) const {
    return foregroundColor == other.foregroundColor && measurements == other.measurements;
  }
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
void hashInto(Hasher& hasher, const MarkdownStyle::Font& font);
void hashInto(Hasher& hasher, const MarkdownStyle::HeadingScales& scales);
void hashInto(Hasher& hasher, const MarkdownStyle::Measurements& measurements);
void hashInto(Hasher& hasher, const MarkdownStyle& style);
#pragma GCC diagnostic pop

}  // namespace markdown
