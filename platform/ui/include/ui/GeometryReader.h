#pragma once

#include <functional>

#include "ui/Preference.h"
#include "ui/View.h"

namespace ui {

namespace detail {
class Node;
}

// The geometry of a GeometryReader, valid while its content is built.
class GeometryProxy {
 public:
  GeometryProxy(const detail::Node* reader, Size size) : reader_(reader), size_(size) {}
  Size size() const { return size_; }
  Rect localFrame() const { return {0, 0, size_.width, size_.height}; }
  // The reader's frame in window coordinates.
  Rect globalFrame() const;
  // An anchor resolved in the reader's coordinates; a null rect when its view is gone or is
  // not inside the reader's parent.
  Rect operator[](const Anchor& anchor) const;

 private:
  const detail::Node* reader_;
  Size size_;
};

// Takes the whole proposal (0 where unspecified) and builds its content from that size,
// placed top-leading and proposed the same size.
AnyView GeometryReader(std::function<AnyView(const GeometryProxy&)> content);

}  // namespace ui
