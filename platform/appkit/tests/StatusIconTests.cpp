#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "../src/StatusIcon.h"
#include "DesktopSession.h"

namespace appkit {
namespace {

// The share of the icon's pixels that stand out from a panel of the given grey: a difference
// of a third of the range is what a user sees at a glance.
double standingOut(const QIcon& icon, int panelGrey, int size) {
  QImage panel(size, size, QImage::Format_RGB32);
  panel.fill(QColor(panelGrey, panelGrey, panelGrey));
  QPainter painter(&panel);
  icon.paint(&painter, QRect(0, 0, size, size));
  painter.end();
  int visible = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      if (std::abs(qGray(panel.pixel(x, y)) - panelGrey) > 85) ++visible;
  return double(visible) / (size * size);
}

TEST(StatusIcon, ReadsOnLightAndDarkPanelsAlike) {
  if (!desktoptest::application()) GTEST_SKIP() << "no display";
  const QIcon icon = statusIcon("wand.and.stars");
  for (int size : {16, 22, 24}) {
    SCOPED_TRACE(size);
    // Xfce's light default, a mid grey, and a dark panel.
    for (int grey : {0xf0, 0x90, 0x30}) {
      SCOPED_TRACE(grey);
      EXPECT_GT(standingOut(icon, grey, size), 0.12);
    }
  }
}

}  // namespace
}  // namespace appkit
