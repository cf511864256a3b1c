#pragma once

#include <list>
#include <memory>
#include <optional>
#include <unordered_map>

#include "ui/TextLayoutEngine.h"
#include "ui/TextMeasurer.h"

namespace ui::qt {

// Measures text with Qt's shaper (QTextLayout through QFontMetricsF: kerning, ligatures and
// fallback fonts such as colour emoji) and breaks lines with the layer's shared line breaker.
// Laid-out texts are cached by (text, defaults, width), so an unchanged paragraph is not laid
// out again; advances are cached by (font, piece). Main thread only.
class QtTextMeasurer final : public TextMeasurer {
 public:
  explicit QtTextMeasurer(std::size_t cachedLayouts = 512);
  ~QtTextMeasurer() override;

  TextLayout layout(const Text& text, const TextLayoutDefaults& defaults,
                    std::optional<double> width) const override;

  struct Stats {
    std::size_t layouts = 0, cacheHits = 0;
  };
  Stats stats() const { return stats_; }
  void clearCache() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  mutable Stats stats_;
};

}  // namespace ui::qt
