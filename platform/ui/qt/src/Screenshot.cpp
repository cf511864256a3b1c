#include "ui/qt/Screenshot.h"

#include <QPainter>
#include <cmath>

#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/ViewWidget.h"

namespace ui::qt {

QImage renderView(AnyView root, ProposedSize size, const ScreenshotOptions& options) {
  ViewWidget widget(std::move(root));
  widget.setEnvironment(options.environment);
  widget.setColorScheme(options.scheme);
  widget.settle();
  const QSize ideal = widget.sizeHint();
  const int w =
      size.width && std::isfinite(*size.width) ? int(std::ceil(*size.width)) : ideal.width();
  const int h = size.height && std::isfinite(*size.height) ? int(std::ceil(*size.height))
                : size.width                               ? widget.heightForWidth(w)
                                                           : ideal.height();
  widget.resize(std::max(1, w), std::max(1, h));
  widget.settle();
  if (options.prepare) {
    options.prepare(widget.host());
    widget.settle();
  }
  const double scale = options.scale > 0 && std::isfinite(options.scale) ? options.scale : 1;
  QImage image(
      QSize(int(std::ceil(widget.width() * scale)), int(std::ceil(widget.height() * scale))),
      QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  const Rgba background = options.background.value_or(
      options.scheme == ColorScheme::dark ? Rgba{0.12, 0.12, 0.12, 1} : Rgba{0.93, 0.93, 0.93, 1});
  image.fill(toQColor(background));
  QPainter painter(&image);
  widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  painter.end();
  return image;
}

bool renderViewToPNG(AnyView root, ProposedSize size, const std::string& path,
                     const ScreenshotOptions& options) {
  return renderView(std::move(root), size, options).save(QString::fromStdString(path), "PNG");
}

}  // namespace ui::qt
