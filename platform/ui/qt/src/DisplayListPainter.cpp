#include "ui/qt/DisplayListPainter.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <cmath>
#include <type_traits>

#include "ui/SymbolRegistry.h"
#include "ui/qt/ImageDecoding.h"
#include "ui/qt/QtFonts.h"
#include "ui/qt/ShapedTextCache.h"

namespace ui::qt {
namespace {

bool finite(const Rect& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
         std::isfinite(r.height);
}

QRectF toQRect(const Rect& r) {
  return {r.x, r.y, r.width, r.height};
}

Qt::PenStyle penStyle(LineStyle::Pattern p) {
  switch (p) {
    case LineStyle::Pattern::solid:
      return Qt::SolidLine;
    case LineStyle::Pattern::dot:
      return Qt::DotLine;
    case LineStyle::Pattern::dash:
      return Qt::DashLine;
    case LineStyle::Pattern::dashDot:
      return Qt::DashDotLine;
    case LineStyle::Pattern::dashDotDot:
      return Qt::DashDotDotLine;
  }
  return Qt::SolidLine;
}

QPen strokePen(const Rgba& color, const StrokeStyle& s) {
  QPen pen(toQColor(color));
  pen.setWidthF(s.lineWidth);
  pen.setCapStyle(s.cap == StrokeStyle::Cap::round    ? Qt::RoundCap
                  : s.cap == StrokeStyle::Cap::square ? Qt::SquareCap
                                                      : Qt::FlatCap);
  pen.setJoinStyle(s.join == StrokeStyle::Join::round   ? Qt::RoundJoin
                   : s.join == StrokeStyle::Join::bevel ? Qt::BevelJoin
                                                        : Qt::MiterJoin);
  pen.setMiterLimit(s.miterLimit);
  if (!s.dash.empty() && s.lineWidth > 0) {
    // Qt measures dashes in pen widths, and wants an even count.
    QList<qreal> pattern;
    for (double d : s.dash) pattern.push_back(std::max(d, 0.0) / s.lineWidth);
    if (pattern.size() % 2) pattern.append(pattern);
    pen.setDashPattern(pattern);
    pen.setDashOffset(s.dashPhase / s.lineWidth);
  }
  return pen;
}

void drawText(QPainter& p, const DisplayItem::TextRun& run, ShapedTextCache* shapedText) {
  if (!finite(run.frame) || !std::isfinite(run.baseline)) return;
  if (run.background) p.fillRect(toQRect(run.frame), toQColor(*run.background));
  QFont font = QtFonts::shared().font(run.font);
  const double spacing = run.kern + run.tracking;
  if (spacing != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
  p.setPen(toQColor(run.color));
  const QString text = QString::fromStdString(run.text);
  const QPointF origin(run.frame.x, run.baseline);
  if (shapedText) {
    shapedText->draw(p, origin, text, font);
  } else {
    p.setFont(font);
    p.drawText(origin, text);
  }
  if (!run.underline && !run.strikethrough) return;
  const QFontMetricsF m(font);
  auto line = [&](const DisplayItem::Decoration& d, double y) {
    QPen pen(toQColor(d.color));
    pen.setWidthF(std::max(1.0, m.lineWidth()));
    pen.setStyle(penStyle(d.pattern));
    p.setPen(pen);
    p.drawLine(QPointF(run.frame.x, y), QPointF(run.frame.maxX(), y));
  };
  if (run.underline) line(*run.underline, run.baseline + m.underlinePos());
  if (run.strikethrough) line(*run.strikethrough, run.baseline - m.strikeOutPos());
}

void drawImage(QPainter& p, const DisplayItem::DrawImage& item) {
  if (!finite(item.frame) || item.frame.width <= 0 || item.frame.height <= 0) return;
  const Image& image = item.image;
  const QRectF target = toQRect(item.frame);
  switch (image.kind()) {
    case Image::Kind::symbol: {
      const Symbol* symbol = image.symbolDefinition();
      if (!symbol) return;
      const QColor color = toQColor(item.tint.value_or(Rgba{0, 0, 0, 1}));
      for (const auto& layer : symbol->layers) {
        if (!layer.drawnInMonochrome) continue;
        const Path path = layer.path.transformed(item.frame.height, item.frame.height, item.frame.x,
                                                 item.frame.y);
        p.fillPath(toQPainterPath(path), color);
      }
      return;
    }
    case Image::Kind::bitmap: {
      if (!image.pixels()) return;
      QImage q = toQImage(*image.pixels());
      if (item.tint) {
        // A template image: its alpha in the tint colour.
        QImage tinted(q.size(), QImage::Format_ARGB32_Premultiplied);
        tinted.fill(Qt::transparent);
        QPainter tp(&tinted);
        tp.drawImage(0, 0, q);
        tp.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tp.fillRect(tinted.rect(), toQColor(*item.tint));
        tp.end();
        q = tinted;
      }
      p.drawImage(target, q);
      return;
    }
    case Image::Kind::file: {
      if (auto decoded = decodeImageFile(image.filePath()); decoded && decoded->pixels())
        p.drawImage(target, toQImage(*decoded->pixels()));
      return;
    }
  }
}

}  // namespace

QColor toQColor(const Rgba& c) {
  return QColor::fromRgbF(float(std::clamp(c.red, 0.0, 1.0)), float(std::clamp(c.green, 0.0, 1.0)),
                          float(std::clamp(c.blue, 0.0, 1.0)),
                          float(std::clamp(c.alpha, 0.0, 1.0)));
}

QPainterPath toQPainterPath(const Path& path) {
  QPainterPath q;
  q.setFillRule(path.fillRule() == Path::FillRule::evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
  for (const auto& e : path.elements()) {
    const auto& pt = e.points;
    switch (e.kind) {
      case Path::Element::Kind::move:
        q.moveTo(pt[0].x, pt[0].y);
        break;
      case Path::Element::Kind::line:
        q.lineTo(pt[0].x, pt[0].y);
        break;
      case Path::Element::Kind::quad:
        q.quadTo(pt[0].x, pt[0].y, pt[1].x, pt[1].y);
        break;
      case Path::Element::Kind::cubic:
        q.cubicTo(pt[0].x, pt[0].y, pt[1].x, pt[1].y, pt[2].x, pt[2].y);
        break;
      case Path::Element::Kind::close:
        q.closeSubpath();
        break;
    }
  }
  return q;
}

std::vector<WidgetPlacement> widgetPlacements(const DisplayList& list) {
  std::vector<WidgetPlacement> placements;
  std::vector<QPointF> offsets{QPointF()};
  std::vector<QRectF> clips;
  for (const auto& entry : list.items()) {
    if (auto* t = std::get_if<DisplayItem::PushTransform>(&entry.item)) {
      const bool ok = std::isfinite(t->dx) && std::isfinite(t->dy);
      offsets.push_back(offsets.back() + (ok ? QPointF(t->dx, t->dy) : QPointF()));
    } else if (std::holds_alternative<DisplayItem::PopTransform>(entry.item)) {
      if (offsets.size() > 1) offsets.pop_back();
    } else if (auto* c = std::get_if<DisplayItem::PushClip>(&entry.item)) {
      const Rect b = c->path.boundingRect();
      const QRectF r = finite(b) ? toQRect(b).translated(offsets.back()) : QRectF();
      clips.push_back(clips.empty() ? r : clips.back().intersected(r));
    } else if (std::holds_alternative<DisplayItem::PopClip>(entry.item)) {
      if (!clips.empty()) clips.pop_back();
    } else if (auto* w = std::get_if<DisplayItem::PlaceWidget>(&entry.item)) {
      if (!w->widget || !finite(w->frame)) continue;
      const QRectF frame = toQRect(w->frame).translated(offsets.back());
      placements.push_back(
          {w->widget, frame, clips.empty() ? frame : clips.back().intersected(frame)});
    }
  }
  return placements;
}

std::vector<WidgetPlacement> paintDisplayList(const DisplayList& list, QPainter& painter,
                                              ShapedTextCache* shapedText,
                                              const RepaintRegion* area) {
  std::vector<WidgetPlacement> placements;
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  // Clip rectangles in painter coordinates, for the widgets' visible parts.
  std::vector<QRectF> clips;
  int depth = 0;
  InkTracker ink;
  for (const auto& entry : list.items()) {
    if (area) {
      const Rect reach = ink.next(entry);
      const bool draws = std::holds_alternative<DisplayItem::FillPath>(entry.item) ||
                         std::holds_alternative<DisplayItem::StrokePath>(entry.item) ||
                         std::holds_alternative<DisplayItem::TextRun>(entry.item) ||
                         std::holds_alternative<DisplayItem::DrawImage>(entry.item);
      if (draws && !area->intersects(reach)) continue;
    }
    std::visit(
        [&](const auto& item) {
          using T = std::decay_t<decltype(item)>;
          if constexpr (std::is_same_v<T, DisplayItem::FillPath>) {
            if (finite(item.path.boundingRect()))
              painter.fillPath(toQPainterPath(item.path), toQColor(item.color));
          } else if constexpr (std::is_same_v<T, DisplayItem::StrokePath>) {
            if (!finite(item.path.boundingRect()) || !(item.style.lineWidth > 0)) return;
            painter.strokePath(toQPainterPath(item.path), strokePen(item.color, item.style));
          } else if constexpr (std::is_same_v<T, DisplayItem::TextRun>) {
            drawText(painter, item, shapedText);
          } else if constexpr (std::is_same_v<T, DisplayItem::DrawImage>) {
            drawImage(painter, item);
          } else if constexpr (std::is_same_v<T, DisplayItem::PushClip>) {
            painter.save();
            ++depth;
            QRectF r =
                finite(item.path.boundingRect()) ? toQRect(item.path.boundingRect()) : QRectF();
            painter.setClipPath(
                toQPainterPath(finite(item.path.boundingRect()) ? item.path : Path()),
                Qt::IntersectClip);
            r = painter.transform().mapRect(r);
            clips.push_back(clips.empty() ? r : clips.back().intersected(r));
          } else if constexpr (std::is_same_v<T, DisplayItem::PushTransform>) {
            painter.save();
            ++depth;
            if (std::isfinite(item.dx) && std::isfinite(item.dy))
              painter.translate(item.dx, item.dy);
          } else if constexpr (std::is_same_v<T, DisplayItem::PushOpacity>) {
            painter.save();
            ++depth;
            const double o = std::isfinite(item.opacity) ? std::clamp(item.opacity, 0.0, 1.0) : 1;
            painter.setOpacity(painter.opacity() * o);
          } else if constexpr (std::is_same_v<T, DisplayItem::PopClip>) {
            if (depth > 0) {
              painter.restore();
              --depth;
            }
            if (!clips.empty()) clips.pop_back();
          } else if constexpr (std::is_same_v<T, DisplayItem::PopTransform> ||
                               std::is_same_v<T, DisplayItem::PopOpacity>) {
            if (depth > 0) {
              painter.restore();
              --depth;
            }
          } else if constexpr (std::is_same_v<T, DisplayItem::PlaceWidget>) {
            if (!item.widget || !finite(item.frame)) return;
            const QRectF frame = painter.transform().mapRect(toQRect(item.frame));
            placements.push_back(
                {item.widget, frame, clips.empty() ? frame : clips.back().intersected(frame)});
          }
        },
        entry.item);
  }
  while (depth-- > 0) painter.restore();
  return placements;
}

}  // namespace ui::qt
