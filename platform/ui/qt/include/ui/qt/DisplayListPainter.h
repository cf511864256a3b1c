#pragma once

#include <QPainter>
#include <QRectF>
#include <optional>
#include <vector>

#include "ui/DisplayList.h"
#include "ui/RepaintRegion.h"

namespace ui::qt {

// Where a hosted widget goes: its frame and the part of it the clips leave visible, both in
// the painter's coordinates.
struct WidgetPlacement {
  HostedWidget* widget = nullptr;
  QRectF frame;
  QRectF visible;
};

class ShapedTextCache;

// Paints a display list onto a QPainter (a widget, or an image for screenshots; the device
// pixel ratio is the device's). Items with non-finite geometry are skipped. Text is drawn
// through `shapedText` when one is given: the same pixels, without shaping again what an
// earlier paint shaped. Given an `area` (in the list's coordinates), only the items whose ink
// reaches into it are drawn: the painter is expected to be clipped to it. Returns where the
// hosted widgets go.
std::vector<WidgetPlacement> paintDisplayList(const DisplayList& list, QPainter& painter,
                                              ShapedTextCache* shapedText = nullptr,
                                              const RepaintRegion* area = nullptr);

// The same placements without painting (transforms and clips only).
std::vector<WidgetPlacement> widgetPlacements(const DisplayList& list);

QPainterPath toQPainterPath(const Path& path);
QColor toQColor(const Rgba& color);

}  // namespace ui::qt
