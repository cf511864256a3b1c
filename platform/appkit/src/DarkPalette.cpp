#include "DarkPalette.h"

namespace appkit {

QPalette darkPalette() {
  QPalette p;
  const QColor window(30, 30, 32), base(40, 40, 43), text(255, 255, 255);
  const QColor disabled(255, 255, 255, 64), secondary(255, 255, 255, 140);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::PlaceholderText, secondary);
  p.setColor(QPalette::Button, base);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(255, 69, 58));
  p.setColor(QPalette::Highlight, QColor(10, 132, 255));
  p.setColor(QPalette::HighlightedText, text);
  p.setColor(QPalette::Link, QColor(10, 132, 255));
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::Light, QColor(70, 70, 74));
  p.setColor(QPalette::Midlight, QColor(55, 55, 58));
  p.setColor(QPalette::Mid, QColor(45, 45, 48));
  p.setColor(QPalette::Dark, QColor(20, 20, 22));
  p.setColor(QPalette::Shadow, QColor(0, 0, 0));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  return p;
}

}  // namespace appkit
