#include "ui/LazyVStack.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "layout/Viewport.h"
#include "ui/node/Primitive.h"

namespace ui {
namespace detail {
namespace {

// Rows made, at most, before the stack knows where it shows.
constexpr std::size_t kFirstRows = 24;
// Rows are made this far beyond what shows (at least this many points, at most a viewport),
// and made anew only once what shows comes within half of that: small moves make nothing.
constexpr double kMinimumOverscan = 200;

// What a lazy stack keeps between builds.
struct LazyRows {
  // Row heights and widths at `width`, NaN where a row was not measured there; the keys they
  // were measured under; the rows' own estimates at `width`, NaN until asked for.
  std::vector<double> heights, widths;
  std::vector<std::uint64_t> keys;
  std::vector<bool> keyed;
  std::vector<double> estimates;
  std::optional<double> width;
  // The measured heights' sum and number, and the sum of those rows' estimates: what scales the
  // estimates of the others. The sum of every estimate known, and the rows whose estimates are
  // not: with them the stack's height is known without going over every row. Summed afresh at
  // every placing, which goes over every row anyway.
  double knownSum = 0, knownEstimateSum = 0, estimateSum = 0;
  std::size_t knownCount = 0;
  std::vector<std::size_t> unestimated;
  // The widest row measured at `width`.
  double widest = 0;
  // Row tops as last placed (one more than rows: the end).
  std::vector<double> tops;
  // The rows made, [first, last), and one made for a scroll request wherever it is.
  std::size_t first = 0, last = 0;
  std::optional<std::size_t> pinned;
  std::vector<std::size_t> made;  // the children's rows, in order
  bool placed = false;
  bool inScrollView = false;

  bool measured(std::size_t row) const { return !std::isnan(heights[row]); }
  void forgetAll() {
    std::fill(heights.begin(), heights.end(), kUnknown);
    std::fill(widths.begin(), widths.end(), kUnknown);
    std::fill(estimates.begin(), estimates.end(), kUnknown);
    knownSum = knownEstimateSum = estimateSum = widest = 0;
    knownCount = 0;
    unestimated.resize(estimates.size());
    for (std::size_t i = 0; i < unestimated.size(); ++i) unestimated[i] = i;
  }
  static constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
};

// The part of `node` that can show, in its own coordinates: its bounds as the clips of its
// ancestors and the window cut them, with their scrolling as it stands now. Without its own
// bounds (being laid out, it may have its new size already), what its ancestors show.
Rect visiblePart(const Node& node, bool withinOwnBounds = true) {
  constexpr double kEverywhere = 1e12;
  Rect window = withinOwnBounds
                    ? Rect{0, 0, node.size().width, node.size().height}
                    : Rect{-kEverywhere, -kEverywhere, 2 * kEverywhere, 2 * kEverywhere};
  auto cut = [&](const Rect& r) {
    const double x = std::max(window.x, r.x), y = std::max(window.y, r.y);
    window = {x, y, std::max(0.0, std::min(window.maxX(), r.maxX()) - x),
              std::max(0.0, std::min(window.maxY(), r.maxY()) - y)};
  };
  Point origin;  // of `node`, in the coordinates of the ancestor reached
  const Node* n = &node;
  for (const Node* p = n->parent(); p; n = p, p = p->parent()) {
    const Primitive* primitive = p->primitive();
    const Point t = primitive ? primitive->childTranslation(*p) : Point{};
    origin.x += n->frame().x + t.x;
    origin.y += n->frame().y + t.y;
    if (auto clip = primitive ? primitive->childClip(*p) : std::nullopt)
      cut(clip->boundingRect().offsetBy(-origin.x, -origin.y));
  }
  cut(Rect{0, 0, n->size().width, n->size().height}.offsetBy(-origin.x, -origin.y));
  return window;
}

class LazyVStackView final : public Primitive {
 public:
  LazyVStackView(HAlign alignment, double spacing, std::size_t count,
                 std::function<Identity(std::size_t)> id, std::function<AnyView(std::size_t)> row,
                 LazyRowHints hints)
      : alignment_(alignment),
        spacing_(spacing),
        count_(count),
        id_(std::move(id)),
        row_(std::move(row)),
        hints_(std::move(hints)) {}

  std::string name() const override { return "LazyVStack"; }
  std::string describe(const Node& node) const override {
    const auto* s = node.localIfAny<LazyRows>();
    return "rows=" + std::to_string(count_) + " made=" + std::to_string(s ? s->made.size() : 0) +
           (s && !s->made.empty() ? " from=" + std::to_string(s->made.front()) : std::string()) +
           " spacing=" + fmt(spacing_);
  }
  std::optional<Axis> stackAxis() const override { return Axis::vertical; }

  Identity identityOf(std::size_t row) const {
    return id_ ? id_(row) : Identity(static_cast<std::int64_t>(row));
  }

  std::vector<ChildSpec> children(Node& node, const Environment&) const override {
    auto& s = rows(node);
    refreshKeys(s);
    std::tie(s.first, s.last) = rangeToMake(node, s);
    if (s.pinned && (*s.pinned >= count_ || (*s.pinned >= s.first && *s.pinned < s.last)))
      s.pinned.reset();
    s.made.clear();
    if (s.pinned && *s.pinned < s.first) s.made.push_back(*s.pinned);
    for (std::size_t i = s.first; i < s.last; ++i) s.made.push_back(i);
    if (s.pinned && *s.pinned >= s.last) s.made.push_back(*s.pinned);
    std::vector<ChildSpec> specs;
    specs.reserve(s.made.size());
    for (std::size_t i : s.made) {
      // An empty row still takes its place, so children and rows stay in step.
      AnyView view = row_(i);
      if (!view) view = AnyView(EmptyLeaf());
      specs.push_back(childSpec(view.id(identityOf(i)), Identity(std::int64_t(i))));
    }
    return specs;
  }

  Size sizeThatFits(Node& node, ProposedSize p) const override {
    auto& s = rows(node);
    const ProposedSize proposal{p.width, std::nullopt};
    // Rows made are measured; the others count as placed last, or, before any placing, as
    // their estimates at this width scaled like the rows made.
    const bool placedWidth = s.width && s.width == p.width;
    // At the width it was placed at, the stack is as wide as every row measured there, made
    // now or not: its width does not change as rows come and go with scrolling.
    double widest = placedWidth ? s.widest : 0, madeSum = 0, madeEstimates = 0;
    std::vector<double> madeHeights;
    for (std::size_t k = 0; k < node.children().size() && k < s.made.size(); ++k) {
      const Size size = node.children()[k]->measure(proposal);
      widest = std::max(widest, size.width);
      madeHeights.push_back(size.height);
      madeSum += size.height;
      if (!s.width && hints_.estimate) madeEstimates += hints_.estimate(s.made[k], widthOf(p));
      // At the width placed, what the rows made measure is known for good: the estimates of
      // the others are scaled by it before they are summed, as placing will.
      if (placedWidth) {
        record(s, s.made[k], size.height);
        s.widths[s.made[k]] = size.width;
        s.widest = std::max(s.widest, size.width);
      }
    }
    if (s.width) {
      // The heights at the width placed, the rows made as they measure at this one.
      double total = s.knownSum + unmeasuredTotal(s);
      for (std::size_t k = 0; k < madeHeights.size(); ++k)
        total += madeHeights[k] - height(s, s.made[k]);
      return {widest, total + gaps()};
    }
    const double average = madeHeights.empty() ? 0 : madeSum / double(madeHeights.size());
    const double ratio = madeEstimates > 0 ? madeSum / madeEstimates : 1;
    auto base = [&](std::size_t i) {
      return hints_.estimate ? std::max(0.0, hints_.estimate(i, widthOf(p))) * ratio : average;
    };
    double total = 0;
    for (std::size_t i = 0; i < count_; ++i) total += base(i);
    for (std::size_t k = 0; k < madeHeights.size(); ++k) total += madeHeights[k] - base(s.made[k]);
    return {widest, total + gaps()};
  }

  void placeChildren(Node& node, Size size, ProposedSize p) const override {
    auto& s = rows(node);
    // The row at the top of what shows, and where it stood: it stays there on screen.
    std::optional<std::pair<std::size_t, double>> anchor;
    if (s.placed && s.inScrollView && !s.tops.empty()) {
      const Rect shown = visiblePart(node, false);
      if (shown.height > 0 && shown.minY() > 0) {
        const std::size_t row = rowAt(s, shown.minY());
        if (row < count_) anchor = {row, s.tops[row]};
      }
    }
    if (s.width != p.width) {
      s.forgetAll();
      s.width = p.width;
    }
    const ProposedSize proposal{p.width, std::nullopt};
    std::vector<Size> sizes;
    for (std::size_t k = 0; k < node.children().size() && k < s.made.size(); ++k) {
      sizes.push_back(node.children()[k]->measure(proposal));
      record(s, s.made[k], sizes.back().height);
      s.widths[s.made[k]] = sizes.back().width;
    }
    resum(s);
    s.tops.assign(count_ + 1, 0);
    double y = 0;
    for (std::size_t i = 0; i < count_; ++i) {
      s.tops[i] = y;
      y += height(s, i) + spacing_;
    }
    s.tops[count_] = count_ ? y - spacing_ : 0;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
      Node& child = *node.children()[k];
      child.setOrigin({alignedOffset(alignment_, size.width, sizes[k].width), s.tops[s.made[k]]});
      child.layout(proposal);
    }
    s.placed = true;
    s.inScrollView = watchViewportOf(node);
    if (anchor && s.inScrollView) {
      const double moved = s.tops[anchor->first] - anchor->second;
      if (std::abs(moved) > 1e-6) shiftViewport(node, moved);
    }
    // Rows measured otherwise than estimated change the stack's height; rows that come into
    // view are made: both in another pass.
    if (std::abs(s.tops[count_] - size.height) > 0.5 || s.widest > size.width + 0.5 ||
        !coversWhatShows(node, s))
      node.markDirty();
  }

  void viewportChanged(Node& node) const {
    if (!coversWhatShows(node, rows(node))) node.markDirty();
  }

  bool pin(Node& node, const Identity& id) const {
    for (std::size_t i = 0; i < count_; ++i) {
      if (!(identityOf(i) == id)) continue;
      rows(node).pinned = i;
      node.markDirty();
      return true;
    }
    return false;
  }

 private:
  double gaps() const { return count_ > 1 ? spacing_ * double(count_ - 1) : 0; }
  static double widthOf(ProposedSize p) {
    return p.width.value_or(std::numeric_limits<double>::infinity());
  }

  LazyRows& rows(Node& node) const {
    auto& s = node.local<LazyRows>();
    if (s.heights.size() != count_) {
      // Rows came or went: what was measured stays a guide for the rows at those places (their
      // keys tell whether it still holds), and the tops placed stay where they were, so that
      // the rows made stay the same. New rows follow the end one after the other, as tall as
      // they are estimated: rows that came by the hundred (a long text that arrived at once)
      // are made only as far as they reach what shows, not all where the end was.
      const std::size_t before = s.heights.size();
      for (std::size_t i = count_; i < before; ++i) forget(s, i, true);
      for (std::size_t i = before; i < count_; ++i) s.unestimated.push_back(i);
      s.heights.resize(count_, LazyRows::kUnknown);
      s.widths.resize(count_, LazyRows::kUnknown);
      s.keys.resize(count_, 0);
      s.keyed.resize(count_, false);
      s.estimates.resize(count_, LazyRows::kUnknown);
      if (!s.tops.empty() && s.tops.size() == before + 1 && count_ > before) {
        double y = s.tops[before] + (before > 0 ? spacing_ : 0);
        s.tops.resize(count_ + 1);
        for (std::size_t i = before; i < count_; ++i) {
          s.tops[i] = y;
          y += height(s, i) + spacing_;
        }
        s.tops[count_] = y - spacing_;
      } else if (!s.tops.empty()) {
        s.tops.resize(count_ + 1, s.tops.back());
      }
    }
    return s;
  }

  // A row whose key changed is measured anew.
  void refreshKeys(LazyRows& s) const {
    if (!hints_.key) return;
    for (std::size_t i = 0; i < count_; ++i) {
      if (i < hints_.unchangedRows && s.keyed[i]) continue;
      const std::uint64_t key = hints_.key(i);
      if (s.keyed[i] && s.keys[i] == key) continue;
      forget(s, i, true);
      s.keys[i] = key;
      s.keyed[i] = true;
    }
  }

  // The row's estimate at the stack's width.
  double estimateOf(LazyRows& s, std::size_t row) const {
    if (std::isnan(s.estimates[row])) {
      s.estimates[row] = std::max(0.0, hints_.estimate(row, widthOf({s.width, std::nullopt})));
      s.estimateSum += s.estimates[row];
    }
    return s.estimates[row];
  }
  // What the rows not measured add up to, as placing would count them.
  double unmeasuredTotal(LazyRows& s) const {
    if (!hints_.estimate)
      return s.knownCount ? double(count_ - s.knownCount) * s.knownSum / double(s.knownCount) : 0;
    for (std::size_t row : std::exchange(s.unestimated, {}))
      if (row < count_) estimateOf(s, row);
    const double ratio = s.knownEstimateSum > 0 ? s.knownSum / s.knownEstimateSum : 1;
    return std::max(0.0, s.estimateSum - s.knownEstimateSum) * ratio;
  }
  // The sums again from every row, so that what was added and taken away does not drift.
  void resum(LazyRows& s) const {
    s.estimateSum = 0;
    if (hints_.estimate)
      for (std::size_t i = 0; i < count_; ++i)
        if (!std::isnan(s.estimates[i])) s.estimateSum += s.estimates[i];
    s.knownSum = s.knownEstimateSum = s.widest = 0;
    s.knownCount = 0;
    s.unestimated.clear();
    for (std::size_t i = 0; i < count_; ++i) {
      if (hints_.estimate) estimateOf(s, i);  // adds what was not known to the sum
      if (!s.measured(i)) continue;
      s.knownSum += s.heights[i];
      ++s.knownCount;
      if (hints_.estimate) s.knownEstimateSum += s.estimates[i];
      if (!std::isnan(s.widths[i])) s.widest = std::max(s.widest, s.widths[i]);
    }
  }
  double height(LazyRows& s, std::size_t row) const {
    if (s.measured(row)) return s.heights[row];
    if (!hints_.estimate) return s.knownCount ? s.knownSum / double(s.knownCount) : 0;
    const double ratio = s.knownEstimateSum > 0 ? s.knownSum / s.knownEstimateSum : 1;
    return estimateOf(s, row) * ratio;
  }
  // Forgets what was measured of the row, and its estimate with `estimateToo`.
  void forget(LazyRows& s, std::size_t row, bool estimateToo = false) const {
    s.widths[row] = LazyRows::kUnknown;
    if (s.measured(row)) {
      s.knownSum -= s.heights[row];
      --s.knownCount;
      if (hints_.estimate) s.knownEstimateSum -= estimateOf(s, row);
      s.heights[row] = LazyRows::kUnknown;
    }
    if (estimateToo && !std::isnan(s.estimates[row])) {
      s.estimateSum -= s.estimates[row];
      s.estimates[row] = LazyRows::kUnknown;
      s.unestimated.push_back(row);
    }
  }
  void record(LazyRows& s, std::size_t row, double value) const {
    forget(s, row);
    s.heights[row] = value;
    s.knownSum += value;
    ++s.knownCount;
    if (hints_.estimate) s.knownEstimateSum += estimateOf(s, row);
  }

  static bool watchViewportOf(Node& node) {
    for (Node* p = node.parent(); p; p = p->parent())
      if (p->primitive() && p->primitive()->takesScroll(*p)) {
        watchViewport(node);
        return true;
      }
    return false;
  }

  // The row under `y`, as last placed.
  std::size_t rowAt(const LazyRows& s, double y) const {
    const std::size_t placed = std::min(count_, s.tops.size() - 1);
    auto after = std::upper_bound(s.tops.begin(), s.tops.begin() + std::ptrdiff_t(placed), y);
    return after == s.tops.begin() ? 0 : std::size_t(after - s.tops.begin()) - 1;
  }

  // The rows that overlap [top, bottom], as last placed.
  std::pair<std::size_t, std::size_t> rowsBetween(const LazyRows& s, double top,
                                                  double bottom) const {
    if (s.tops.size() != count_ + 1) return {0, std::min(count_, kFirstRows)};
    // The first row whose bottom reaches `top`: the row before the first top past it.
    auto after = std::upper_bound(s.tops.begin(), s.tops.begin() + std::ptrdiff_t(count_), top);
    std::size_t first = after == s.tops.begin() ? 0 : std::size_t(after - s.tops.begin()) - 1;
    auto end = std::upper_bound(s.tops.begin(), s.tops.begin() + std::ptrdiff_t(count_), bottom);
    std::size_t last = std::size_t(end - s.tops.begin());
    return {std::min(first, count_), std::max(std::min(last, count_), std::min(first, count_))};
  }

  static double overscan(const Rect& shown) { return std::max(kMinimumOverscan, shown.height); }

  // Before it was placed, the stack knows what shows only from its ancestors, as if it stood at
  // the top of its parent: it makes the first rows its estimates say reach past that, so that
  // rows of many lines (a long answer that came at once) are not laid out by the dozen.
  std::size_t firstRows(const Node& node) const {
    const std::size_t most = std::min(count_, kFirstRows);
    if (!hints_.estimate || !hints_.firstRowsByEstimate) return most;
    const Rect shown = visiblePart(node, false);
    // Nothing around it was laid out yet.
    if (!(shown.height > 0)) return most;
    const double reach = shown.maxY() + overscan(shown);
    double bottom = 0;
    std::size_t rows = 0;
    while (rows < most && (rows == 0 || bottom < reach))
      bottom += std::max(0.0, hints_.estimate(rows++, shown.width)) + spacing_;
    return rows;
  }

  std::pair<std::size_t, std::size_t> rangeToMake(const Node& node, const LazyRows& s) const {
    if (!s.placed) return {0, firstRows(node)};
    if (!s.inScrollView) return {0, count_};
    const Rect shown = visiblePart(node);
    const double margin = overscan(shown);
    return rowsBetween(s, shown.minY() - margin, shown.maxY() + margin);
  }

  bool coversWhatShows(const Node& node, const LazyRows& s) const {
    if (!s.placed) return true;
    if (!s.inScrollView) return s.first == 0 && s.last == count_;
    const Rect shown = visiblePart(node);
    const double margin = overscan(shown) / 2;
    const auto [first, last] = rowsBetween(s, shown.minY() - margin, shown.maxY() + margin);
    return first >= s.first && last <= s.last;
  }

  HAlign alignment_;
  double spacing_;
  std::size_t count_;
  std::function<Identity(std::size_t)> id_;
  std::function<AnyView(std::size_t)> row_;
  LazyRowHints hints_;
};

const LazyVStackView* lazyStackOf(const Node& node) {
  return dynamic_cast<const LazyVStackView*>(node.primitive());
}

}  // namespace

void viewportChanged(Node& watcher) {
  if (const auto* lazy = lazyStackOf(watcher)) lazy->viewportChanged(watcher);
}

bool makeRowForScrollRequest(Node& within, const Identity& id) {
  if (const auto* lazy = lazyStackOf(within); lazy && lazy->pin(within, id)) return true;
  for (const auto& child : within.children())
    if (makeRowForScrollRequest(*child, id)) return true;
  return false;
}

}  // namespace detail

AnyView LazyVStack(HAlign alignment, std::optional<double> spacing, std::size_t count,
                   std::function<Identity(std::size_t)> id, std::function<AnyView(std::size_t)> row,
                   LazyRowHints hints) {
  return AnyView(std::shared_ptr<const View>(
      std::make_shared<detail::LazyVStackView>(alignment, spacing.value_or(kDefaultSpacing), count,
                                               std::move(id), std::move(row), std::move(hints))));
}

}  // namespace ui
