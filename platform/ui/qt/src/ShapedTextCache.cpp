#include "ui/qt/ShapedTextCache.h"

#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QTextLayout>
#include <QTextOption>
#include <list>

namespace ui::qt {
namespace {

bool breaksLines(const QString& text) {
  for (const QChar c : text)
    if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
      return true;
  return false;
}

// The glyph runs of one line of text, their baseline at y = 0 and their pen starting at x = 0,
// shaped as QPainter::drawText shapes: one line, no wrapping, in the painter's direction.
QList<QGlyphRun> shape(const QString& text, const QFont& font, Qt::LayoutDirection direction) {
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setTextDirection(direction);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  layout.endLayout();
  if (!line.isValid()) return {};
  QList<QGlyphRun> runs = line.glyphRuns();
  const qreal ascent = line.ascent();
  for (QGlyphRun& run : runs) {
    QList<QPointF> positions = run.positions();
    for (QPointF& p : positions) p.ry() -= ascent;
    run.setPositions(positions);
  }
  return runs;
}

}  // namespace

struct ShapedTextCache::Impl {
  struct Entry {
    QString key;
    QList<QGlyphRun> runs;
  };
  std::size_t capacity;
  std::list<Entry> entries;  // the most recently drawn first
  QHash<QString, std::list<Entry>::iterator> index;
};

ShapedTextCache::ShapedTextCache(std::size_t capacity) : impl_(std::make_unique<Impl>()) {
  impl_->capacity = std::max<std::size_t>(1, capacity);
}

ShapedTextCache::~ShapedTextCache() = default;

void ShapedTextCache::draw(QPainter& painter, QPointF origin, const QString& text,
                           const QFont& font) {
  if (breaksLines(text)) {
    painter.setFont(font);
    painter.drawText(origin, text);
    return;
  }
  const Qt::LayoutDirection direction = painter.layoutDirection();
  QString key = font.key();
  key += QChar(direction == Qt::RightToLeft ? u'r' : u'l');
  key += QChar(0);
  key += text;
  auto& entries = impl_->entries;
  auto found = impl_->index.find(key);
  if (found != impl_->index.end()) {
    entries.splice(entries.begin(), entries, found.value());
  } else {
    entries.push_front({key, shape(text, font, direction)});
    impl_->index.insert(key, entries.begin());
    if (entries.size() > impl_->capacity) {
      impl_->index.remove(entries.back().key);
      entries.pop_back();
    }
  }
  for (const QGlyphRun& run : entries.front().runs) painter.drawGlyphRun(origin, run);
}

std::size_t ShapedTextCache::size() const {
  return impl_->entries.size();
}

std::size_t ShapedTextCache::capacity() const {
  return impl_->capacity;
}

void ShapedTextCache::clear() {
  impl_->index.clear();
  impl_->index.squeeze();
  impl_->entries.clear();
}

}  // namespace ui::qt
