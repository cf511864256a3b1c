#include "ui/qt/QtTextMeasurer.h"

#include <QFontMetricsF>
#include <QString>
#include <cmath>
#include <functional>
#include <string>
#include <variant>

#include "ui/qt/QtFonts.h"

namespace ui::qt {
namespace {

std::size_t hashCombine(std::size_t seed, std::size_t v) {
  return seed ^ (v + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

std::size_t fontHash(const ResolvedFont& f) {
  std::size_t h = std::hash<std::string>{}(f.family);
  h = hashCombine(h, std::hash<double>{}(f.size));
  h = hashCombine(h, std::size_t(f.design) * 131 + std::size_t(f.weight) * 7 + f.italic * 3 +
                         f.lowercaseSmallCaps * 5 + f.uppercaseSmallCaps * 11);
  return h;
}

// Advances by (font, piece). The pieces are the words and spaces of every text laid out, so over
// days of answers they would only grow: past a memory budget the table starts again empty.
class QtGlyphMetrics final : public GlyphMetrics {
 public:
  static constexpr std::size_t kAdvanceBudget = 1 << 20;

  FontMetrics metrics(const ResolvedFont& font) const override {
    const Entry& e = entry(font);
    return {e.metrics.ascent(), e.metrics.descent()};
  }
  double advance(std::string_view utf8, const ResolvedFont& font) const override {
    const Entry& e = entry(font);
    auto key = std::string(utf8);
    if (auto it = e.advances.find(key); it != e.advances.end()) return it->second;
    const double w =
        e.metrics.horizontalAdvance(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    // A node of the table: the pair, the link and the cached hash, plus the key's own buffer.
    const std::size_t cost =
        sizeof(std::pair<const std::string, double>) + 2 * sizeof(void*) + key.capacity();
    if (advanceBytes_ + cost > kAdvanceBudget) forgetAdvances();
    e.advances.emplace(std::move(key), w);
    advanceBytes_ += cost;
    return w;
  }

  std::size_t cachedAdvances() const {
    std::size_t n = 0;
    for (const auto& [hash, bucket] : fonts_)
      for (const auto& e : bucket) n += e->advances.size();
    return n;
  }
  std::size_t cachedAdvanceBytes() const { return advanceBytes_; }
  void forgetAdvances() const {
    // Assigning an empty table also gives back the bucket array, which clear() keeps.
    for (auto& [hash, bucket] : fonts_)
      for (auto& e : bucket) e->advances = {};
    advanceBytes_ = 0;
  }

 private:
  struct Entry {
    ResolvedFont font;
    QFontMetricsF metrics;
    mutable std::unordered_map<std::string, double> advances;
  };
  const Entry& entry(const ResolvedFont& font) const {
    auto& bucket = fonts_[fontHash(font)];
    for (const auto& e : bucket)
      if (e->font == font) return *e;
    bucket.push_back(
        std::make_unique<Entry>(Entry{font, QFontMetricsF(QtFonts::shared().font(font)), {}}));
    return *bucket.back();
  }
  mutable std::unordered_map<std::size_t, std::vector<std::unique_ptr<Entry>>> fonts_;
  mutable std::size_t advanceBytes_ = 0;
};

}  // namespace

struct QtTextMeasurer::Impl {
  Impl(std::size_t capacity, std::size_t byteBudget) : capacity(capacity), byteBudget(byteBudget) {}
  struct Entry {
    Text text;
    TextLayoutDefaults defaults;
    std::optional<double> width;
    TextLayout layout;
    std::size_t hash = 0;
    std::size_t bytes = 0;
  };
  std::size_t capacity, byteBudget;
  std::size_t bytes = 0;
  QtGlyphMetrics metrics;
  std::list<Entry> lru;  // most recent first
  std::unordered_multimap<std::size_t, std::list<Entry>::iterator> index;

  // Roughly what an entry keeps on the heap: the text's characters and runs, the layout's
  // lines and fragments, and the list and index nodes.
  static std::size_t footprint(const Text& text, const TextLayout& layout) {
    std::size_t n =
        sizeof(Entry) + 4 * sizeof(void*) + sizeof(Text::Segment) * text.segments().size();
    for (const auto& segment : text.segments())
      if (const auto* s = std::get_if<AttributedString>(&segment))
        n += s->characters().capacity() + s->runs().capacity() * sizeof(AttributedString::Run);
    n += layout.lines.capacity() * sizeof(TextLayout::Line);
    n += layout.fragments.capacity() * sizeof(TextLayout::Fragment);
    for (const auto& f : layout.fragments) n += f.font.family.size();
    return n;
  }

  void evictOldest() {
    auto victim = std::prev(lru.end());
    auto [a, b] = index.equal_range(victim->hash);
    for (auto it = a; it != b; ++it)
      if (it->second == victim) {
        index.erase(it);
        break;
      }
    bytes -= victim->bytes;
    lru.pop_back();
  }

  // A text that grows (the last paragraph of a streamed answer) is laid out anew at every
  // piece: its earlier states, laid out lately at the same width, will not be asked for again
  // and would only push out what will.
  void forgetEarlierStates(const Text& text, const TextLayoutDefaults& defaults,
                           std::optional<double> width) {
    constexpr int kLooked = 8;
    std::optional<std::string> plain;
    int looked = 0;
    for (auto it = lru.begin(); it != lru.end() && looked < kLooked; ++looked) {
      if (it->width != width || !(it->defaults == defaults) ||
          it->text.segments().size() != text.segments().size()) {
        ++it;
        continue;
      }
      if (!plain) plain = text.plainText();
      const std::string earlier = it->text.plainText();
      if (earlier.size() >= plain->size() || !plain->starts_with(earlier)) {
        ++it;
        continue;
      }
      auto [a, b] = index.equal_range(it->hash);
      for (auto i = a; i != b; ++i)
        if (i->second == it) {
          index.erase(i);
          break;
        }
      bytes -= it->bytes;
      it = lru.erase(it);
    }
  }

  static std::size_t keyHash(const Text& text, const TextLayoutDefaults& d,
                             std::optional<double> width) {
    std::size_t h = std::hash<std::string>{}(text.plainText());
    h = hashCombine(h, text.segments().size());
    h = hashCombine(h, std::hash<Font>{}(d.font));
    h = hashCombine(h, std::hash<double>{}(d.lineSpacing));
    h = hashCombine(h, std::size_t(d.alignment) * 3 + std::size_t(d.imageScale));
    h = hashCombine(h, width ? std::hash<double>{}(*width) : 17);
    return h;
  }
};

QtTextMeasurer::QtTextMeasurer(std::size_t cachedLayouts, std::size_t cachedBytes)
    : impl_(std::make_unique<Impl>(cachedLayouts, cachedBytes)) {}
QtTextMeasurer::~QtTextMeasurer() = default;

TextLayout QtTextMeasurer::layout(const Text& text, const TextLayoutDefaults& defaults,
                                  std::optional<double> width) const {
  if (width && !std::isfinite(*width)) width.reset();
  Impl& d = *impl_;
  const std::size_t h = Impl::keyHash(text, defaults, width);
  auto [first, last] = d.index.equal_range(h);
  for (auto it = first; it != last; ++it) {
    auto entry = it->second;
    if (entry->width == width && entry->defaults == defaults && entry->text == text) {
      ++stats_.cacheHits;
      d.lru.splice(d.lru.begin(), d.lru, entry);
      return entry->layout;
    }
  }
  ++stats_.layouts;
  TextLayout result = layOutText(text, defaults, width, d.metrics);
  if (d.capacity == 0) return result;
  d.forgetEarlierStates(text, defaults, width);
  const std::size_t bytes = Impl::footprint(text, result);
  d.lru.push_front({text, defaults, width, result, h, bytes});
  d.index.emplace(h, d.lru.begin());
  d.bytes += bytes;
  while (d.lru.size() > 1 && (d.lru.size() > d.capacity || d.bytes > d.byteBudget)) d.evictOldest();
  return result;
}

QtTextMeasurer::Stats QtTextMeasurer::stats() const {
  Stats s = stats_;
  s.cachedLayouts = impl_->lru.size();
  s.cachedBytes = impl_->bytes;
  s.cachedAdvances = impl_->metrics.cachedAdvances();
  s.cachedAdvanceBytes = impl_->metrics.cachedAdvanceBytes();
  return s;
}

void QtTextMeasurer::clearCache() const {
  impl_->lru.clear();
  impl_->index = {};
  impl_->bytes = 0;
  impl_->metrics.forgetAdvances();
}

}  // namespace ui::qt
