#pragma once

#include <QFont>
#include <QPainter>
#include <QPointF>
#include <QString>
#include <cstddef>
#include <memory>

namespace ui::qt {

// The glyphs of text that was drawn, kept so that text painted again is not shaped again: a
// frame paints most of its text unchanged, and shaping colour emoji decodes their bitmaps
// every time. Keyed by text, font and direction; beyond `capacity` texts the least recently
// drawn go first. Text that holds a line break is drawn as QPainter draws it, uncached. Main
// thread only.
class ShapedTextCache {
 public:
  explicit ShapedTextCache(std::size_t capacity = 1024);
  ~ShapedTextCache();
  ShapedTextCache(const ShapedTextCache&) = delete;
  ShapedTextCache& operator=(const ShapedTextCache&) = delete;

  // Draws `text` in `font` with the painter's pen, starting at `origin` on the baseline:
  // what painter.drawText(origin, text) draws with that font.
  void draw(QPainter& painter, QPointF origin, const QString& text, const QFont& font);

  std::size_t size() const;
  std::size_t capacity() const;
  // Forgets every text.
  void clear();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui::qt
