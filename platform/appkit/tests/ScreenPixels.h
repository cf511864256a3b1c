#pragma once

// What the X server shows of a real window, for desktop tests that must see hosted widgets drawn
// (an offscreen render never draws them).
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstdlib>
#include <map>
#include <tuple>

namespace desktoptest {

// The screen's pixels where `widget` is, read back from the X server.
inline QImage screenPixelsOf(const QWidget* widget) {
  const QPoint at = widget->mapToGlobal(QPoint(0, 0));
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, at.x(), at.y(), widget->width(), widget->height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

// Pixels whose grey differs by more than `contrast` from the region's most common colour: text,
// a caret, a frame.
inline int inkIn(const QImage& image, int contrast) {
  std::map<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
  QRgb background = 0;
  int most = 0;
  for (const auto& [colour, count] : counts)
    if (count > most) std::tie(background, most) = std::tie(colour, count);
  int ink = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (std::abs(qGray(image.pixel(x, y)) - qGray(background)) > contrast) ++ink;
  return ink;
}

}  // namespace desktoptest
