#pragma once

#include <foundation/URL.h>

#include <functional>
#include <memory>
#include <optional>

#include "ui/Color.h"
#include "ui/Environment.h"
#include "ui/Font.h"
#include "ui/Image.h"
#include "ui/SymbolRegistry.h"
#include "ui/TextAlignment.h"
#include "ui/TextMeasurer.h"

namespace ui {

// Opens a URL for the views below (links, image links). The system action opens http, https
// and mailto URLs only, through the desktop opener a backend installs; tests inject their own.
class OpenURLAction {
 public:
  using Handler = std::function<void(const foundation::URL&)>;
  OpenURLAction() = default;
  explicit OpenURLAction(Handler handler) : handler_(std::move(handler)) {}
  void operator()(const foundation::URL& url) const;
  static OpenURLAction system();
  // The desktop's opener, used by the system action (installed once by the backend).
  static void setDesktopOpener(Handler opener);
  bool operator==(const OpenURLAction& other) const { return token_ == other.token_; }

 private:
  Handler handler_;
  // Compared by handler identity: a new action rebuilds its readers.
  std::shared_ptr<int> token_ = std::make_shared<int>(0);
};

enum class LabelStyle { automatic, titleAndIcon, titleOnly, iconOnly };
enum class ButtonStyle { automatic, plain };
enum class SizeCategory { small, medium, large, extraLarge, extraExtraLarge };

struct ColorSchemeKey {
  using Value = ColorScheme;
  static Value defaultValue() { return ColorScheme::light; }
};
struct MultilineTextAlignmentKey {
  using Value = TextAlignment;
  static Value defaultValue() { return TextAlignment::leading; }
};
// Absent: the body font.
struct FontKey {
  using Value = std::optional<Font>;
  static Value defaultValue() { return std::nullopt; }
};
// Absent: the primary colour.
struct ForegroundColorKey {
  using Value = std::optional<Color>;
  static Value defaultValue() { return std::nullopt; }
};
// The second level of hierarchical symbols; absent: the foreground at lower opacity.
struct SecondaryForegroundColorKey {
  using Value = std::optional<Color>;
  static Value defaultValue() { return std::nullopt; }
};
struct LineSpacingKey {
  using Value = double;
  static Value defaultValue() { return 0; }
};
struct OpenURLKey {
  using Value = OpenURLAction;
  static Value defaultValue() { return OpenURLAction::system(); }
};
struct LabelStyleKey {
  using Value = LabelStyle;
  static Value defaultValue() { return LabelStyle::automatic; }
};
struct ButtonStyleKey {
  using Value = ButtonStyle;
  static Value defaultValue() { return ButtonStyle::automatic; }
};
struct TintKey {
  using Value = Color;
  static Value defaultValue() { return Color::accent(); }
};
struct DisplayScaleKey {
  using Value = double;
  static Value defaultValue() { return 1; }
};
struct SizeCategoryKey {
  using Value = SizeCategory;
  static Value defaultValue() { return SizeCategory::large; }
};
struct SymbolRenderingModeKey {
  using Value = SymbolRenderingMode;
  static Value defaultValue() { return SymbolRenderingMode::monochrome; }
};
struct ImageScaleKey {
  using Value = ImageScale;
  static Value defaultValue() { return ImageScale::medium; }
};
// Whether text views let the user select their text (drag, double-click a word, triple-click
// everything) for Ctrl+C.
enum class TextSelectability { disabled, enabled };
struct TextSelectabilityKey {
  using Value = TextSelectability;
  static Value defaultValue() { return TextSelectability::disabled; }
};
struct IsEnabledKey {
  using Value = bool;
  static Value defaultValue() { return true; }
};
// What a window does once content that held much text is put away for good (a long
// conversation closed): it drops the text it laid out and drew for that content and gives the
// memory freed back to the system, after the frame that removed the content. Compared by
// identity; none where the host keeps no such caches.
struct ReleaseCachesKey {
  using Value = std::shared_ptr<const std::function<void()>>;
  static Value defaultValue() { return nullptr; }
};
// The measurer text views lay out with; the host sets its own. Default: fixed metrics.
struct TextMeasurerKey {
  using Value = std::shared_ptr<const TextMeasurer>;
  static Value defaultValue();
};

// The font a text view falls back to: the environment's, else the body font.
inline Font resolvedEnvironmentFont(const Environment& env) {
  return env.get<FontKey>().value_or(Font::body());
}
inline Color resolvedForeground(const Environment& env) {
  return env.get<ForegroundColorKey>().value_or(Color::primary());
}

}  // namespace ui
