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
// out again; advances are cached by (font, piece) within 1 MiB. The layout cache keeps at most
// `cachedLayouts` layouts and about `cachedBytes` of memory, the least recently used going
// first: one long code block can weigh hundreds of kilobytes. A text that extends one laid out
// lately at the same width takes its place (a streamed answer lays out every state of its last
// paragraph). The newest layout stays whatever it weighs. Long texts are laid out a screenful
// of rows at a time, so a megabyte holds what shows and what was scrolled past lately. Main
// thread only.
class QtTextMeasurer final : public TextMeasurer {
 public:
  explicit QtTextMeasurer(std::size_t cachedLayouts = 512, std::size_t cachedBytes = 1 << 20);
  ~QtTextMeasurer() override;

  TextLayout layout(const Text& text, const TextLayoutDefaults& defaults,
                    std::optional<double> width) const override;

  struct Stats {
    std::size_t layouts = 0, cacheHits = 0;
    std::size_t cachedLayouts = 0, cachedBytes = 0;  // what the cache holds now
    std::size_t cachedAdvances = 0, cachedAdvanceBytes = 0;
  };
  Stats stats() const;
  // Forgets every layout and advance.
  void clearCache() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  mutable Stats stats_;
};

}  // namespace ui::qt
