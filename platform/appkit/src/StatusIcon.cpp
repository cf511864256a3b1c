#include "StatusIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTransform>

#include "ui/SymbolRegistry.h"
#include "ui/qt/DisplayListPainter.h"

namespace appkit {
namespace {

QPainterPath star(QPointF center, qreal radius) {
  QPainterPath path;
  const qreal waist = radius * 0.28;
  path.moveTo(center.x(), center.y() - radius);
  path.quadTo(center.x() + waist * 0.3, center.y() - waist * 0.3, center.x() + radius, center.y());
  path.quadTo(center.x() + waist * 0.3, center.y() + waist * 0.3, center.x(), center.y() + radius);
  path.quadTo(center.x() - waist * 0.3, center.y() + waist * 0.3, center.x() - radius, center.y());
  path.quadTo(center.x() - waist * 0.3, center.y() - waist * 0.3, center.x(), center.y() - radius);
  path.closeSubpath();
  return path;
}

// In a unit box: a wand from the lower left to the middle, three sparkles above it.
QPainterPath wandAndStars() {
  QPainterPath wand;
  wand.addRoundedRect(QRectF(-0.05, -0.5, 0.1, 0.62), 0.04, 0.04);
  QPainterPath tip;
  tip.addRoundedRect(QRectF(-0.065, -0.5, 0.13, 0.16), 0.04, 0.04);
  QTransform place;
  place.translate(0.38, 0.62).rotate(45);
  QPainterPath path = place.map(wand.united(tip));
  path = path.united(star({0.68, 0.28}, 0.24));
  path = path.united(star({0.26, 0.20}, 0.16));
  path = path.united(star({0.84, 0.72}, 0.15));
  return path;
}

QPainterPath symbolOutline(const std::string& name) {
  if (const ui::Symbol* symbol = ui::SymbolRegistry::shared().find(name)) {
    QPainterPath path;
    for (const auto& layer : symbol->layers)
      if (layer.drawnInMonochrome) path.addPath(ui::qt::toQPainterPath(layer.path));
    // The symbol's box is aspectRatio × 1; fit it into the unit square.
    const qreal scale = 1.0 / std::max<qreal>(symbol->aspectRatio, 1.0);
    return QTransform::fromScale(scale, scale).map(path);
  }
  return wandAndStars();
}

}  // namespace

QIcon statusIcon(const std::string& symbolName) {
  const QPainterPath outline = symbolOutline(symbolName);
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = size * 0.06;
    painter.translate(inset, inset);
    painter.scale(size - 2 * inset, size - 2 * inset);
    // A dark shape in a light halo: the shape reads on light panels, the halo on dark ones.
    painter.setPen(
        QPen(QColor(255, 255, 255, 230), 3.0 / size, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(45, 45, 45));
    painter.drawPath(outline);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace appkit
