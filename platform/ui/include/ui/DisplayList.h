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
  };
  struct StrokePath {
    Path path;
    Rgba color;
    StrokeStyle style;
  };
  struct Decoration {
    LineStyle::Pattern pattern = LineStyle::Pattern::solid;
    Rgba color;
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
  };
  struct DrawImage {
    Image image;
    Rect frame;
    std::optional<Rgba> tint;  // symbols are drawn as paths; set for template images
  };
  struct PushClip {
    Path path;
  };
  struct PopClip {};
  struct PushTransform {
    double dx = 0, dy = 0;
  };
  struct PopTransform {};
  struct PushOpacity {
    double opacity = 1;
  };
  struct PopOpacity {};
  // Where a backend puts the native widget it made for a Representable (text fields),
  // under the clips and transforms in force. `widget` lives as long as its node.
  struct PlaceWidget {
    Identity id;
    Rect frame;
    HostedWidget* widget = nullptr;
  };

  std::variant<FillPath, StrokePath, TextRun, DrawImage, PushClip, PopClip, PushTransform,
               PopTransform, PushOpacity, PopOpacity, PlaceWidget>
      item;
};

class DisplayList {
 public:
  template <class T>
  void add(T item) {
    items_.push_back(DisplayItem{std::move(item)});
  }
  const std::vector<DisplayItem>& items() const { return items_; }
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
