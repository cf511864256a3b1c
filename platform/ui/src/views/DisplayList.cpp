#include "ui/DisplayList.h"

#include <sstream>

#include "ui/node/Primitive.h"

namespace ui {

namespace {
std::string rect(const Rect& r) {
  using detail::fmt;
  return "(" + fmt(r.x) + ", " + fmt(r.y) + ", " + fmt(r.width) + ", " + fmt(r.height) + ")";
}
std::string color(const Rgba& c) {
  char buffer[12];
  std::snprintf(buffer, sizeof buffer, "#%08X", c.packed());
  return buffer;
}
}  // namespace

std::string DisplayList::dump() const {
  std::ostringstream out;
  int depth = 0;
  for (const auto& i : items_) {
    std::visit(
        [&](const auto& item) {
          using T = std::decay_t<decltype(item)>;
          if constexpr (std::is_same_v<T, DisplayItem::PopClip> ||
                        std::is_same_v<T, DisplayItem::PopTransform> ||
                        std::is_same_v<T, DisplayItem::PopOpacity>)
            --depth;
          out << std::string(std::max(depth, 0) * 2, ' ');
          if constexpr (std::is_same_v<T, DisplayItem::FillPath>) {
            out << "fill " << rect(item.path.boundingRect()) << " " << color(item.color);
          } else if constexpr (std::is_same_v<T, DisplayItem::StrokePath>) {
            out << "stroke " << rect(item.path.boundingRect()) << " " << color(item.color)
                << " width=" << detail::fmt(item.style.lineWidth);
          } else if constexpr (std::is_same_v<T, DisplayItem::TextRun>) {
            out << "text \"" << item.text << "\" " << rect(item.frame)
                << " size=" << detail::fmt(item.font.size) << " " << color(item.color);
          } else if constexpr (std::is_same_v<T, DisplayItem::DrawImage>) {
            out << "image " << rect(item.frame);
          } else if constexpr (std::is_same_v<T, DisplayItem::PushClip>) {
            out << "clip " << rect(item.path.boundingRect());
          } else if constexpr (std::is_same_v<T, DisplayItem::PushTransform>) {
            out << "translate " << detail::fmt(item.dx) << ", " << detail::fmt(item.dy);
          } else if constexpr (std::is_same_v<T, DisplayItem::PushOpacity>) {
            out << "opacity " << detail::fmt(item.opacity);
          } else if constexpr (std::is_same_v<T, DisplayItem::PlaceWidget>) {
            out << "widget " << item.id.description() << " " << rect(item.frame);
          } else {
            out << "end";
          }
          out << "\n";
          if constexpr (std::is_same_v<T, DisplayItem::PushClip> ||
                        std::is_same_v<T, DisplayItem::PushTransform> ||
                        std::is_same_v<T, DisplayItem::PushOpacity>)
            ++depth;
        },
        i.item);
  }
  return out.str();
}

}  // namespace ui
