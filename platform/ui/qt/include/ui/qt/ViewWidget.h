#pragma once

#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "ui/DisplayList.h"
#include "ui/Environment.h"
#include "ui/SystemEnvironment.h"
#include "ui/View.h"
#include "ui/ViewHost.h"

namespace ui::qt {

class AccessibleTree;
class QtTextMeasurer;
class QtWidgetFactory;
class ShapedTextCache;

// A Qt widget that shows a view tree: the host of a window's content. It sizes the tree to
// itself (and takes the root's minimum as its own), runs at most one frame per turn of the
// event loop when state changes, paints only settled frames and of each only what differs
// from the frame before, places the hosted text widgets, routes pointer, wheel and key input
// and the keyboard focus, sets the pointer's shape, and follows the desktop's colour scheme
// unless one is forced. Ctrl+C copies selected text to the clipboard. It drains the main
// queue through the Qt event loop. Main thread only.
// A QObject of its own class, so that findChild and qobject_cast tell it from a plain QWidget.
class ViewWidget : public QWidget {
  Q_OBJECT

 public:
  explicit ViewWidget(AnyView root, QWidget* parent = nullptr);
  ~ViewWidget() override;

  void setRoot(AnyView root);
  // Values for every view under the root (the colour scheme and display scale are added).
  void setEnvironment(Environment environment);
  // A scheme that holds whatever the desktop uses (the panel is always dark); none follows it.
  void setColorScheme(std::optional<ColorScheme> forced);
  ColorScheme colorScheme() const;

  ViewHost& host() { return *host_; }
  // Screen readers' interfaces over the tree, made the first time one asks.
  AccessibleTree& accessibleTree();
  // Runs the pending frame now (tests, and before a grab).
  void settle();

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override;
  int heightForWidth(int width) const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void scheduleFrame();
  void runFrame();
  void applyEnvironment();
  void releaseCaches();
  bool press(QMouseEvent* event);
  void passFocusToHostedWidget();

  std::shared_ptr<QtTextMeasurer> measurer_;
  std::shared_ptr<QtWidgetFactory> factory_;
  std::unique_ptr<ViewHost> host_;
  std::unique_ptr<AccessibleTree> accessible_;
  // Most of a frame's text was drawn by the frame before.
  std::unique_ptr<ShapedTextCache> shapedText_;
  // What the last frame drew: painted again wherever Qt asks, and held against the next
  // frame's, so that only what changed is repainted.
  DisplayList shown_;
  // The views' ReleaseCachesKey.
  std::shared_ptr<const std::function<void()>> releaseCaches_;
  // Cleared when the widget goes, so work queued for it finds it gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  Environment environment_;
  std::optional<ColorScheme> forcedScheme_;
  bool frameScheduled_ = false;
  // When the last frame began: frames come no closer together than the display refreshes.
  std::chrono::steady_clock::time_point lastFrame_{};
  bool inFrame_ = false;
  bool applyingEnvironment_ = false;
  // Click counting: Qt's double-click event does not count further presses.
  struct LastPress {
    QPointF at;
    qint64 time = 0;
    int count = 0;
  } lastPress_;
};

}  // namespace ui::qt
