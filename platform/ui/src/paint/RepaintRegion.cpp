#include "ui/RepaintRegion.h"

#include <cmath>
#include <functional>
#include <type_traits>
#include <unordered_map>

#include "ui/Hash.h"
#include "ui/SymbolRegistry.h"

namespace ui {
namespace {

// More rectangles than this cost Qt more to clip by than painting their bounds would.
constexpr std::size_t kMaxRects = 48;

// What antialiasing touches around an outline.
constexpr double kAntialiasing = 1;

bool finite(const Rect& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
         std::isfinite(r.height);
}

double area(const Rect& r) {
  return r.isEmpty() ? 0 : r.width * r.height;
}

Rect intersection(const Rect& a, const Rect& b) {
  const double x = std::max(a.x, b.x), y = std::max(a.y, b.y);
  const double right = std::min(a.maxX(), b.maxX()), bottom = std::min(a.maxY(), b.maxY());
  if (right <= x || bottom <= y) return {};
  return {x, y, right - x, bottom - y};
}

Rect inflated(const Rect& r, double by) {
  return {r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by};
}

Rect symbolInk(const DisplayItem::DrawImage& item) {
  Rect ink = item.frame;
  if (const Symbol* symbol = item.image.symbolDefinition()) {
    // The painter scales the symbol's unit box by the frame's height, whatever its width.
    const double h = item.frame.height;
    for (const auto& layer : symbol->layers) {
      const Rect b = layer.path.boundingRect();
      if (finite(b))
        ink =
            ink.united({item.frame.x + b.x * h, item.frame.y + b.y * h, b.width * h, b.height * h});
    }
  }
  return ink;
}

// The item's ink in its own coordinates; empty where a painter draws nothing.
Rect localInk(const DisplayItem& entry) {
  return std::visit(
      [](const auto& item) -> Rect {
        using T = std::decay_t<decltype(item)>;
        if constexpr (std::is_same_v<T, DisplayItem::FillPath>) {
          const Rect b = item.path.boundingRect();
          return finite(b) && !item.path.isEmpty() ? inflated(b, kAntialiasing) : Rect{};
        } else if constexpr (std::is_same_v<T, DisplayItem::StrokePath>) {
          const Rect b = item.path.boundingRect();
          const double width = item.style.lineWidth;
          if (!finite(b) || !(width > 0) || !std::isfinite(width) || item.path.isEmpty()) return {};
          // A miter join reaches as far as its limit times the pen's width; caps and other
          // joins stay within a pen's width.
          const double reach =
              item.style.join == StrokeStyle::Join::miter && std::isfinite(item.style.miterLimit)
                  ? width * std::max(1.0, item.style.miterLimit)
                  : width;
          return inflated(b, reach + kAntialiasing);
        } else if constexpr (std::is_same_v<T, DisplayItem::TextRun>) {
          if (!finite(item.frame) || !std::isfinite(item.baseline)) return {};
          // Decorations follow the baseline, which may lie outside a frame of no height.
          const double reach = std::max(item.frame.height, item.font.size);
          const Rect line{item.frame.x - reach, item.baseline - 2 * reach,
                          item.frame.width + 2 * reach, 4 * reach};
          return inflated(glyphInk(item.frame).united(line), kAntialiasing);
        } else if constexpr (std::is_same_v<T, DisplayItem::DrawImage>) {
          if (!finite(item.frame) || item.frame.width <= 0 || item.frame.height <= 0) return {};
          return inflated(item.image.kind() == Image::Kind::symbol ? symbolInk(item) : item.frame,
                          kAntialiasing);
        } else if constexpr (std::is_same_v<T, DisplayItem::PlaceWidget>) {
          // The widget paints itself; the view's pixels beside it change when it moves.
          return item.widget && finite(item.frame) ? item.frame : Rect{};
        } else {
          return {};
        }
      },
      entry.item);
}

bool drawsSomething(const DisplayItem& entry) {
  return std::visit(
      [](const auto& item) {
        using T = std::decay_t<decltype(item)>;
        return std::is_same_v<T, DisplayItem::FillPath> ||
               std::is_same_v<T, DisplayItem::StrokePath> ||
               std::is_same_v<T, DisplayItem::TextRun> ||
               std::is_same_v<T, DisplayItem::DrawImage> ||
               std::is_same_v<T, DisplayItem::PlaceWidget>;
      },
      entry.item);
}

std::size_t hashOf(const Path& path) {
  std::size_t h = path.elements().size();
  hashCombine(h, int(path.fillRule()));
  for (const auto& e : path.elements()) {
    hashCombine(h, int(e.kind));
    for (const auto& p : e.points) {
      hashCombine(h, p.x);
      hashCombine(h, p.y);
    }
  }
  return h;
}

void combineRect(std::size_t& h, const Rect& r) {
  hashCombine(h, r.x);
  hashCombine(h, r.y);
  hashCombine(h, r.width);
  hashCombine(h, r.height);
}

void combineColor(std::size_t& h, const Rgba& c) {
  hashCombine(h, c.red);
  hashCombine(h, c.green);
  hashCombine(h, c.blue);
  hashCombine(h, c.alpha);
}

// Equal items hash alike; the hash need not tell every field apart, equality does.
std::size_t hashOf(const DisplayItem& entry) {
  std::size_t h = entry.item.index();
  std::visit(
      [&h](const auto& item) {
        using T = std::decay_t<decltype(item)>;
        if constexpr (std::is_same_v<T, DisplayItem::FillPath>) {
          hashCombine(h, hashOf(item.path));
          combineColor(h, item.color);
        } else if constexpr (std::is_same_v<T, DisplayItem::StrokePath>) {
          hashCombine(h, hashOf(item.path));
          combineColor(h, item.color);
          hashCombine(h, item.style.lineWidth);
        } else if constexpr (std::is_same_v<T, DisplayItem::TextRun>) {
          hashCombine(h, item.text);
          combineRect(h, item.frame);
          hashCombine(h, item.baseline);
          combineColor(h, item.color);
        } else if constexpr (std::is_same_v<T, DisplayItem::DrawImage>) {
          combineRect(h, item.frame);
        } else if constexpr (std::is_same_v<T, DisplayItem::PlaceWidget>) {
          combineRect(h, item.frame);
          hashCombine(h, static_cast<const void*>(item.widget));
        }
      },
      entry.item);
  return h;
}

// The clips in force, shared by the two lists: a chain of clips gets the same number in both
// when its paths, and the offsets they were pushed at, are the same.
class ClipChains {
 public:
  static constexpr int kNone = -1;

  int intern(int parent, const Path& path, Point offset) {
    std::size_t h = hashOf(path);
    hashCombine(h, parent);
    hashCombine(h, offset.x);
    hashCombine(h, offset.y);
    auto [first, last] = byHash_.equal_range(h);
    for (auto it = first; it != last; ++it) {
      const Chain& c = chains_[std::size_t(it->second)];
      if (c.parent == parent && c.offset == offset && *c.path == path) return it->second;
    }
    const int id = int(chains_.size());
    chains_.push_back({parent, &path, offset});
    byHash_.emplace(h, id);
    return id;
  }

 private:
  struct Chain {
    int parent;
    const Path* path;
    Point offset;
  };
  std::vector<Chain> chains_;
  std::unordered_multimap<std::size_t, int> byHash_;
};

// One item that paints, with all that decides its pixels.
struct Draw {
  const DisplayItem* item;
  Point offset;
  double opacity;
  int clip;
  Rect ink;
  std::size_t key;

  bool sameAs(const Draw& o) const {
    return clip == o.clip && offset == o.offset && opacity == o.opacity && *item == *o.item;
  }
};

// The transforms, clips and opacity in force while a list is walked.
class Walk {
 public:
  explicit Walk(ClipChains& chains) : chains_(&chains) {}

  // Takes the next item; one that paints is added to `draws` when they are asked for.
  void step(const DisplayItem& entry, std::vector<Draw>* draws) {
    const bool paints = drawsSomething(entry);
    if (paints && !draws) return;  // the state stays as it is
    const Rect ink = tracker_.next(entry);
    if (auto* clip = std::get_if<DisplayItem::PushClip>(&entry.item)) {
      // The tracker took the clip; the chain is told by the offset it was pushed at.
      clips_.push_back(chains_->intern(clips_.back(), clip->path, tracker_.state().offset));
      return;
    }
    if (std::holds_alternative<DisplayItem::PushTransform>(entry.item) ||
        std::holds_alternative<DisplayItem::PushOpacity>(entry.item)) {
      clips_.push_back(clips_.back());
      return;
    }
    if (!paints) {
      if (clips_.size() > 1) clips_.pop_back();
      return;
    }
    if (ink.isEmpty()) return;
    const auto& state = tracker_.state();
    std::size_t key = hashOf(entry);
    hashCombine(key, state.offset.x);
    hashCombine(key, state.offset.y);
    hashCombine(key, state.opacity);
    hashCombine(key, clips_.back());
    draws->push_back({&entry, state.offset, state.opacity, clips_.back(), ink, key});
  }

  // In the same state (the clips' chains included), the same items draw the same pixels.
  bool operator==(const Walk& o) const { return clips_ == o.clips_ && tracker_ == o.tracker_; }

 private:
  ClipChains* chains_;
  InkTracker tracker_;
  std::vector<int> clips_{ClipChains::kNone};
};

}  // namespace

void RepaintRegion::add(const Rect& rect) {
  if (rect.isEmpty() || !finite(rect)) return;
  if (!rects_.empty()) {
    // Neighbours (the lines of a paragraph) become one rectangle when their bounds cover
    // little more than the two do.
    Rect& last = rects_.back();
    const Rect both = last.united(rect);
    if (area(both) <= area(last) + area(rect)) {
      last = both;
      return;
    }
  }
  if (rects_.size() == kMaxRects) {
    const Rect all = bounds().united(rect);
    rects_.assign(1, all);
    return;
  }
  rects_.push_back(rect);
}

Rect RepaintRegion::bounds() const {
  if (rects_.empty()) return {};
  Rect b = rects_.front();
  for (const auto& r : rects_) b = b.united(r);
  return b;
}

bool RepaintRegion::intersects(const Rect& rect) const {
  for (const auto& r : rects_)
    if (!intersection(r, rect).isEmpty()) return true;
  return false;
}

RepaintRegion RepaintRegion::between(const DisplayList& before, const DisplayList& after) {
  // Frames mostly begin and end alike: the items the two lists share from their start draw
  // the same pixels, and only the state they leave needs following; so do those they share up
  // to their end, when the lists come to them in the same state.
  const auto& a = before.items();
  const auto& b = after.items();
  ClipChains chains;
  Walk common(chains);
  std::size_t head = 0;
  for (; head < a.size() && head < b.size() && a[head] == b[head]; ++head)
    common.step(a[head], nullptr);
  std::size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head &&
         a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
    ++tail;
  Walk walkOld = common, walkNew = common;
  std::vector<Draw> old, now;
  for (std::size_t i = head; i < a.size() - tail; ++i) walkOld.step(a[i], &old);
  for (std::size_t i = head; i < b.size() - tail; ++i) walkNew.step(b[i], &now);
  if (!(walkOld == walkNew)) {
    for (std::size_t i = a.size() - tail; i < a.size(); ++i) walkOld.step(a[i], &old);
    for (std::size_t i = b.size() - tail; i < b.size(); ++i) walkNew.step(b[i], &now);
  }

  // The old draws by key, each chain in paint order: equal draws match first to first.
  std::unordered_map<std::size_t, std::size_t> first;
  first.reserve(old.size());
  constexpr std::size_t kEnd = std::size_t(-1);
  std::vector<std::size_t> next(old.size(), kEnd);
  for (std::size_t i = old.size(); i-- > 0;) {
    auto [it, added] = first.try_emplace(old[i].key, i);
    if (!added) {
      next[i] = it->second;
      it->second = i;
    }
  }
  std::vector<bool> matched(old.size(), false);

  RepaintRegion region;
  std::size_t latest = 0;  // the latest old draw matched so far, plus one
  for (const Draw& d : now) {
    std::size_t found = kEnd;
    if (auto it = first.find(d.key); it != first.end())
      for (std::size_t i = it->second; i != kEnd; i = next[i])
        if (!matched[i] && old[i].sameAs(d)) {
          found = i;
          break;
        }
    if (found == kEnd) {
      region.add(d.ink);
      continue;
    }
    matched[found] = true;
    // Drawn before an item it used to follow: where the two overlap, the order changed.
    if (found + 1 < latest)
      region.add(d.ink);
    else
      latest = found + 1;
  }
  for (std::size_t i = 0; i < old.size(); ++i)
    if (!matched[i]) region.add(old[i].ink);
  return region;
}

InkTracker::InkTracker() : states_(1) {}

Rect InkTracker::next(const DisplayItem& entry) {
  State& s = states_.back();
  const bool pushes = std::holds_alternative<DisplayItem::PushClip>(entry.item) ||
                      std::holds_alternative<DisplayItem::PushTransform>(entry.item) ||
                      std::holds_alternative<DisplayItem::PushOpacity>(entry.item);
  if (pushes) {
    State pushed = s;
    if (auto* t = std::get_if<DisplayItem::PushTransform>(&entry.item)) {
      if (std::isfinite(t->dx) && std::isfinite(t->dy))
        pushed.offset = {pushed.offset.x + t->dx, pushed.offset.y + t->dy};
    } else if (auto* o = std::get_if<DisplayItem::PushOpacity>(&entry.item)) {
      pushed.opacity *= std::isfinite(o->opacity) ? std::clamp(o->opacity, 0.0, 1.0) : 1.0;
    } else if (auto* c = std::get_if<DisplayItem::PushClip>(&entry.item)) {
      // A path that cannot be drawn clips everything away, as it does for the painter.
      const Rect b = c->path.boundingRect();
      const Rect r = finite(b) && !c->path.isEmpty()
                         ? inflated(b.offsetBy(pushed.offset.x, pushed.offset.y), kAntialiasing)
                         : Rect{};
      pushed.clip = pushed.clipped ? intersection(pushed.clip, r) : r;
      pushed.clipped = true;
    }
    states_.push_back(pushed);
    return {};
  }
  if (std::holds_alternative<DisplayItem::PopClip>(entry.item) ||
      std::holds_alternative<DisplayItem::PopTransform>(entry.item) ||
      std::holds_alternative<DisplayItem::PopOpacity>(entry.item)) {
    if (states_.size() > 1) states_.pop_back();
    return {};
  }
  if (!(s.opacity > 0)) return {};
  const Rect local = localInk(entry);
  if (local.isEmpty()) return {};
  const Rect ink = local.offsetBy(s.offset.x, s.offset.y);
  return s.clipped ? intersection(ink, s.clip) : ink;
}

}  // namespace ui
