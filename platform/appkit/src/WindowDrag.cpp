#include "WindowDrag.h"

#include <QMouseEvent>
#include <QWindow>
#include <algorithm>

namespace appkit {

bool WindowDrag::begin(QWidget* window, QPoint globalPos) {
  window_ = nullptr;
  QWindow* handle = window->windowHandle();
  if (!handle) return false;
  const bool bySystem = edges_ ? handle->startSystemResize(edges_) : handle->startSystemMove();
  if (bySystem) return true;
  window_ = window;
  pressPos_ = globalPos;
  startGeometry_ = window->geometry();
  return true;
}

void WindowDrag::follow(QPoint globalPos) {
  if (!window_) return;
  const QPoint delta = globalPos - pressPos_;
  if (!edges_) {
    window_->move(startGeometry_.topLeft() + delta);
    return;
  }
  QRect g = startGeometry_;
  const QSize minimum = window_->minimumSize().expandedTo(QSize(1, 1));
  if (edges_ & Qt::LeftEdge) g.setLeft(std::min(g.left() + delta.x(), g.right() - minimum.width()));
  if (edges_ & Qt::RightEdge)
    g.setRight(std::max(g.right() + delta.x(), g.left() + minimum.width()));
  if (edges_ & Qt::TopEdge) g.setTop(std::min(g.top() + delta.y(), g.bottom() - minimum.height()));
  if (edges_ & Qt::BottomEdge)
    g.setBottom(std::max(g.bottom() + delta.y(), g.top() + minimum.height()));
  window_->setGeometry(g);
}

namespace {

Qt::CursorShape cursorFor(Qt::Edges edges) {
  const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
  const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
  if (horizontal && vertical) {
    const bool falling = bool(edges & Qt::LeftEdge) == bool(edges & Qt::TopEdge);
    return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
  }
  return horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

}  // namespace

ResizeGrip::ResizeGrip(Qt::Edges edges, QWidget* parent)
    : QWidget(parent), edges_(edges), drag_(edges) {
  setCursor(cursorFor(edges));
  setFocusPolicy(Qt::NoFocus);
}

void ResizeGrip::place(QSize size) {
  const int t = thickness, corner = 2 * thickness;
  const bool left = edges_ & Qt::LeftEdge, right = edges_ & Qt::RightEdge;
  const bool top = edges_ & Qt::TopEdge, bottom = edges_ & Qt::BottomEdge;
  int x = corner, w = size.width() - 2 * corner, y = corner, h = size.height() - 2 * corner;
  if (left || right) {
    x = left ? 0 : size.width() - t;
    w = t;
  }
  if (top || bottom) {
    y = top ? 0 : size.height() - t;
    h = t;
  }
  if ((left || right) && (top || bottom)) {  // a corner square
    x = left ? 0 : size.width() - corner;
    y = top ? 0 : size.height() - corner;
    w = h = corner;
  }
  setGeometry(x, y, std::max(w, 0), std::max(h, 0));
  raise();
}

void ResizeGrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  drag_.begin(window(), event->globalPosition().toPoint());
  event->accept();
}

void ResizeGrip::mouseMoveEvent(QMouseEvent* event) {
  drag_.follow(event->globalPosition().toPoint());
}

void ResizeGrip::mouseReleaseEvent(QMouseEvent*) {
  drag_.end();
}

}  // namespace appkit
