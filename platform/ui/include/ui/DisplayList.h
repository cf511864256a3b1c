#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ui/Color.h"
#include "ui/Font.h"
#include "ui/Geometry.h"
#include "ui/Identity.h"
#include "ui/Image.h"
#include "ui/LineStyle.h"
#include "ui/Path.h"
#include "ui/StrokeStyle.h"

namespace ui {

class HostedWidget;

// What a frame draws, in order, for a backend to paint. Coordinates are window points under
// the transforms, clips and opacities pushed before an item; colours are resolved.
struct DisplayItem {
  struct FillPath {
    Path path;
    Rgba color;
    bool operator==(const FillPath&) const = default;
  };
  struct StrokePath {
    Path path;
    Rgba color;
    StrokeStyle style;
    bool operator==(const StrokePath&) const = default;
  };
  struct Decoration {
    LineStyle::Pattern pattern = LineStyle::Pattern::solid;
    Rgba color;
    bool operator==(const Decoration&) const = default;
  };
  // One stretch of text in one font and colour on one line.
  struct TextRun {
    std::string text;
    ResolvedFont font;
    Rgba color;
    Rect frame;
    double baseline = 0;  // window y
    std::optional<Rgba> background;
    std::optional<Decoration> underline, strikethrough;
    double kern = 0, tracking = 0;
    bool operator==(const TextRun&) const = default;
  };
  struct DrawImage {
    Image image;
    Rect frame;
    std::optional<Rgba> tint;  // symbols are drawn as paths; set for template images
    bool operator==(const DrawImage&) const = default;
  };
  struct PushClip {
    Path path;
    bool operator==(const PushClip&) const = default;
  };
  struct PopClip {
    bool operator==(const PopClip&) const = default;
  };
  struct PushTransform {
    double dx = 0, dy = 0;
    bool operator==(const PushTransform&) const = default;
  };
  struct PopTransform {
    bool operator==(const PopTransform&) const = default;
  };
  struct PushOpacity {
    double opacity = 1;
    bool operator==(const PushOpacity&) const = default;
  };
  struct PopOpacity {
    bool operator==(const PopOpacity&) const = default;
  };
  // Where a backend puts the native widget it made for a Representable (text fields),
  // under the clips and transforms in force. `widget` lives as long as its node.
  struct PlaceWidget {
    Identity id;
    Rect frame;
    HostedWidget* widget = nullptr;
    bool operator==(const PlaceWidget&) const = default;
  };

  std::variant<FillPath, StrokePath, TextRun, DrawImage, PushClip, PopClip, PushTransform,
               PopTransform, PushOpacity, PopOpacity, PlaceWidget>
      item;

  bool operator==(const DisplayItem&) const = default;
};

// Glyphs may reach past the frame of their run (accents, italics, emoji, decorations): by as
// much as the run is high, to be safe.
inline Rect glyphInk(const Rect& run) {
  return {run.x - run.height, run.y - run.height, run.width + 2 * run.height, 3 * run.height};
}

class DisplayList {
 public:
  template <class T>
  void add(T item) {
    items_.push_back(DisplayItem{std::move(item)});
  }
  const std::vector<DisplayItem>& items() const { return items_; }
  void reserve(std::size_t count) { items_.reserve(count); }
  template <class T>
  std::vector<T> itemsOf() const {
    std::vector<T> out;
    for (const auto& i : items_)
      if (auto* t = std::get_if<T>(&i.item)) out.push_back(*t);
    return out;
  }
  // One line per item, for tests and debugging.
  std::string dump() const;

 private:
  std::vector<DisplayItem> items_;
};

}  // namespace ui
