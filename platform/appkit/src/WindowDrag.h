#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace appkit {

// Moving (no edges) or resizing (the grabbed edges) a frameless window with the mouse. The
// window manager does it when it can; otherwise the window follows the pointer itself.
class WindowDrag {
 public:
  explicit WindowDrag(Qt::Edges edges = {}) : edges_(edges) {}

  // On a left-button press inside `window`. True when the drag started.
  bool begin(QWidget* window, QPoint globalPos);
  // While the button is held (only used when the window manager did not take over).
  void follow(QPoint globalPos);
  void end() { window_ = nullptr; }

 private:
  Qt::Edges edges_;
  QWidget* window_ = nullptr;
  QPoint pressPos_;
  QRect startGeometry_;
};

// One of the invisible strips along a frameless window's edges that resize it.
class ResizeGrip : public QWidget {
 public:
  static constexpr int thickness = 5;
  ResizeGrip(Qt::Edges edges, QWidget* parent);
  // Places the grip along its edges of the parent's rectangle.
  void place(QSize parentSize);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  Qt::Edges edges_;
  WindowDrag drag_;
};

}  // namespace appkit
