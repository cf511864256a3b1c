#include "ui/qt/ViewWidget.h"

#include <foundation/DispatchQueue.h>
#include <foundation/FreedMemory.h>
#include <foundation/MainThread.h>

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleHints>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

#include "ui/RepaintRegion.h"
#include "ui/qt/DisplayListPainter.h"
#include "ui/qt/MainQueueBridge.h"
#include "ui/qt/QtTextMeasurer.h"
#include "ui/qt/QtWidgetFactory.h"
#include "ui/qt/SchemePalette.h"
#include "ui/qt/ShapedTextCache.h"
#include "ui/qt/ViewAccessibility.h"

namespace ui::qt {
namespace {

// One measurer for every view widget of the program, so that their text shares a cache.
std::shared_ptr<QtTextMeasurer> sharedMeasurer() {
  static std::weak_ptr<QtTextMeasurer> shared;
  auto m = shared.lock();
  if (!m) {
    m = std::make_shared<QtTextMeasurer>();
    shared = m;
  }
  return m;
}

Modifiers modifiersOf(Qt::KeyboardModifiers m) {
  return {bool(m & Qt::ShiftModifier), bool(m & Qt::ControlModifier), bool(m & Qt::AltModifier),
          bool(m & Qt::MetaModifier)};
}

PointerButton buttonOf(Qt::MouseButton b) {
  if (b == Qt::RightButton) return PointerButton::secondary;
  if (b == Qt::MiddleButton) return PointerButton::middle;
  return PointerButton::primary;
}

Qt::CursorShape qtCursor(CursorShape shape) {
  switch (shape) {
    case CursorShape::pointingHand:
      return Qt::PointingHandCursor;
    case CursorShape::iBeam:
      return Qt::IBeamCursor;
    case CursorShape::arrow:
      break;
  }
  return Qt::ArrowCursor;
}

// A few screens of text runs.
constexpr std::size_t kShapedTexts = 512;

// A display's refresh at 60 Hz.
constexpr std::chrono::microseconds kFrameInterval{16667};

int ceilToInt(double v) {
  return std::isfinite(v) ? int(std::ceil(std::clamp(v, 0.0, 1e6))) : 0;
}

}  // namespace

ViewWidget::ViewWidget(AnyView root, QWidget* parent)
    : QWidget(parent),
      measurer_(sharedMeasurer()),
      shapedText_(std::make_unique<ShapedTextCache>(kShapedTexts)),
      releaseCaches_(std::make_shared<const std::function<void()>>([this] { releaseCaches(); })) {
  foundation::assertMainThread();
  installMainQueueBridge();
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  host_ = std::make_unique<ViewHost>(std::move(root), measurer_);
  factory_ = std::make_shared<QtWidgetFactory>(
      this, [this](const KeyEvent& e) { return host_->keyPressed(e); });
  host_->setWidgetFactory(factory_);
  host_->setNeedsUpdateHandler([this] { scheduleFrame(); });
  host_->setCopyHandler([](const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
  });
  installViewAccessibility();
  host_->setAccessibilityFocusHandler([this] {
    if (QAccessible::isActive()) accessibleTree().focusMoved();
  });
  applyEnvironment();
  scheduleFrame();
}

ViewWidget::~ViewWidget() {
  host_->setNeedsUpdateHandler({});
  host_->setAccessibilityFocusHandler({});
  accessible_.reset();
  host_.reset();  // hosted widgets go while this widget still stands
}

AccessibleTree& ViewWidget::accessibleTree() {
  if (!accessible_) accessible_ = std::make_unique<AccessibleTree>(*this);
  return *accessible_;
}

void ViewWidget::setRoot(AnyView root) {
  host_->setRoot(std::move(root));
}

void ViewWidget::setEnvironment(Environment environment) {
  environment_ = std::move(environment);
  applyEnvironment();
}

void ViewWidget::setColorScheme(std::optional<ColorScheme> forced) {
  forcedScheme_ = forced;
  applyEnvironment();
}

ColorScheme ViewWidget::colorScheme() const {
  if (forcedScheme_) return *forcedScheme_;
  // Qt 6.4 has no colour-scheme hint: a dark window background (the desktop's, or the one
  // our window was given) means a dark scheme.
  return schemeOf(palette());
}

void ViewWidget::applyEnvironment() {
  if (applyingEnvironment_) return;  // our own palette change comes back as an event
  applyingEnvironment_ = true;
  // Hosted widgets draw with the palette: a forced scheme gets one of its own.
  if (forcedScheme_) setPalette(schemePalette(*forcedScheme_, *style()));
  const double scale = devicePixelRatioF();
  host_->setEnvironment(environment_.with<ColorSchemeKey>(colorScheme())
                            .with<DisplayScaleKey>(scale > 0 ? scale : 1.0)
                            .with<ReleaseCachesKey>(releaseCaches_));
  applyingEnvironment_ = false;
}

void ViewWidget::releaseCaches() {
  // After the frame that removed the content, once its nodes and their text are gone.
  foundation::DispatchQueue::main().async([alive = std::weak_ptr<bool>(alive_), this] {
    if (alive.expired()) return;
    shapedText_->clear();
    measurer_->clearCache();
    foundation::returnFreedMemory();
  });
}

void ViewWidget::scheduleFrame() {
  if (frameScheduled_) return;
  frameScheduled_ = true;
  // One frame a refresh at most: changes that come faster (the pieces of a streamed answer)
  // are drawn together. Timed on this object: dropped if the widget is gone by then.
  const auto since = std::chrono::steady_clock::now() - lastFrame_;
  const auto wait = since >= kFrameInterval
                        ? std::chrono::milliseconds(0)
                        : std::chrono::ceil<std::chrono::milliseconds>(kFrameInterval - since);
  QTimer::singleShot(wait, Qt::PreciseTimer, this, [this] {
    if (frameScheduled_) runFrame();
  });
}

void ViewWidget::settle() {
  runFrame();
}

void ViewWidget::runFrame() {
  frameScheduled_ = false;
  if (inFrame_) return;
  inFrame_ = true;
  lastFrame_ = std::chrono::steady_clock::now();
  host_->setProposal(ProposedSize{double(width()), double(height())});
  const int passes = host_->update();
  inFrame_ = false;
  if (passes > 0 && accessible_ && QAccessible::isActive()) accessible_->frameSettled();
  // Measuring the narrowest size lays out the tree twice more, text at no width: only a window
  // of its own takes it as its minimum.
  if (isWindow()) {
    const QSize minimum = minimumSizeHint();
    if (minimumSize() != minimum) setMinimumSize(minimum);
  }
  updateGeometry();
  // The hosted widgets follow the settled frame.
  DisplayList drawn = host_->render();
  const auto placements = widgetPlacements(drawn);
  std::set<QtHostedWidget*> placed;
  for (const auto& p : placements) {
    auto* w = dynamic_cast<QtHostedWidget*>(p.widget);
    if (!w || !w->widget()) continue;
    placed.insert(w);
    const QRect frame = p.frame.toAlignedRect();
    if (w->widget()->geometry() != frame) w->widget()->setGeometry(frame);
    const QRect visible = p.visible.toAlignedRect().translated(-frame.topLeft());
    if (visible.isEmpty()) {
      w->widget()->hide();
      continue;
    }
    if (visible != QRect(QPoint(), frame.size()))
      w->widget()->setMask(QRegion(visible));
    else
      w->widget()->clearMask();
    w->widget()->show();
  }
  for (QtHostedWidget* w : factory_->widgets())
    if (!placed.count(w) && w->widget()) w->widget()->hide();
  // A widget focused in the frame that made it was still hidden: Qt did not take that focus.
  passFocusToHostedWidget();
  const RepaintRegion changed = RepaintRegion::between(shown_, drawn);
  shown_ = std::move(drawn);
  if (changed.isEmpty()) return;
  QRegion region;
  for (const Rect& r : changed.rects())
    region += QRectF(r.x, r.y, r.width, r.height).toAlignedRect();
  update(region);
}

// Whenever Qt gives the keyboard to this widget (its window became active, a press on the
// background) or to nothing in the window, it goes on to the hosted widget the tree focused.
void ViewWidget::passFocusToHostedWidget() {
  QWidget* current = window()->focusWidget();
  if (current && current != this) return;
  for (QtHostedWidget* w : factory_->widgets()) {
    if (w->hasLayerFocus() && w->widget() && !w->widget()->isHidden()) {
      w->widget()->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void ViewWidget::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  passFocusToHostedWidget();
}

QSize ViewWidget::sizeHint() const {
  const Size ideal = host_->sizeThatFits({});
  return {std::max(1, ceilToInt(ideal.width)), std::max(1, ceilToInt(ideal.height))};
}

QSize ViewWidget::minimumSizeHint() const {
  // The narrowest width, and the least height at the width the widget has now (text that
  // wraps a character a line at width 0 must not make the window endlessly tall).
  const Size narrowest = host_->sizeThatFits(ProposedSize{0.0, 0.0});
  const Size lowest = host_->sizeThatFits(ProposedSize{double(std::max(1, width())), 0.0});
  return {ceilToInt(narrowest.width), ceilToInt(lowest.height)};
}

bool ViewWidget::hasHeightForWidth() const {
  return true;
}

int ViewWidget::heightForWidth(int width) const {
  return ceilToInt(host_->sizeThatFits(ProposedSize{double(width), std::nullopt}).height);
}

bool ViewWidget::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::ApplicationPaletteChange:
    case QEvent::PaletteChange:
    case QEvent::ThemeChange:
    case QEvent::ScreenChangeInternal:
      applyEnvironment();
      break;
    case QEvent::KeyPress: {
      // Tab reaches the layer before Qt's own focus chain.
      auto* k = static_cast<QKeyEvent*>(e);
      if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
        keyPressEvent(k);
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QWidget::event(e);
}

void ViewWidget::paintEvent(QPaintEvent* e) {
  // A tree changed since its last frame gets its frame first, unless that frame is less than a
  // refresh old: then the last frame is painted again, and the frame already scheduled paints
  // the change. Paints come for many reasons (the hosted widgets placed, the frame's own
  // repaint); were each to run a frame, a stream's pieces would be drawn one by one.
  if (host_->needsUpdate() &&
      (!frameScheduled_ || std::chrono::steady_clock::now() - lastFrame_ >= kFrameInterval))
    runFrame();
  QPainter painter(this);
  RepaintRegion area;
  for (const QRect& r : e->region())
    area.add(Rect{double(r.x()), double(r.y()), double(r.width()), double(r.height())});
  paintDisplayList(shown_, painter, shapedText_.get(), &area);
}

void ViewWidget::resizeEvent(QResizeEvent*) {
  host_->setProposal(ProposedSize{double(width()), double(height())});
  runFrame();
}

bool ViewWidget::press(QMouseEvent* e) {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const QPointF at = e->position();
  const double slop = QGuiApplication::styleHints()->startDragDistance();
  if (lastPress_.count > 0 &&
      now - lastPress_.time <= QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
      std::abs(at.x() - lastPress_.at.x()) <= slop && std::abs(at.y() - lastPress_.at.y()) <= slop)
    ++lastPress_.count;
  else
    lastPress_.count = 1;
  lastPress_.at = at;
  lastPress_.time = now;
  setFocus(Qt::MouseFocusReason);
  return host_->pointerPressed(
      {{at.x(), at.y()}, buttonOf(e->button()), modifiersOf(e->modifiers()), lastPress_.count});
}

// A press no view takes goes on to the parent: the floating panel moves by its background.
void ViewWidget::mousePressEvent(QMouseEvent* e) {
  if (!press(e)) e->ignore();
}

void ViewWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  if (!press(e)) e->ignore();  // Qt sends this instead of the second press
}

void ViewWidget::mouseMoveEvent(QMouseEvent* e) {
  const QPointF at = e->position();
  host_->pointerMoved(
      {{at.x(), at.y()}, buttonOf(e->button()), modifiersOf(e->modifiers()), lastPress_.count});
  setCursor(qtCursor(host_->cursorAt({at.x(), at.y()})));
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* e) {
  const QPointF at = e->position();
  host_->pointerReleased(
      {{at.x(), at.y()}, buttonOf(e->button()), modifiersOf(e->modifiers()), lastPress_.count});
}

void ViewWidget::leaveEvent(QEvent*) {
  host_->pointerLeft();
}

void ViewWidget::wheelEvent(QWheelEvent* e) {
  const QPointF at = e->position();
  double dx = 0, dy = 0;
  if (!e->pixelDelta().isNull()) {  // a trackpad: pixels
    dx = -e->pixelDelta().x();
    dy = -e->pixelDelta().y();
  } else {  // a wheel: 120 a notch, three lines of about 16 points
    dx = -e->angleDelta().x() / 120.0 * 48;
    dy = -e->angleDelta().y() / 120.0 * 48;
  }
  if (e->modifiers() & Qt::ShiftModifier) std::swap(dx, dy);
  if (host_->scrolled({at.x(), at.y()}, dx, dy))
    e->accept();
  else
    e->ignore();
}

void ViewWidget::keyPressEvent(QKeyEvent* e) {
  if (host_->keyPressed(toKeyEvent(*e)))
    e->accept();
  else
    QWidget::keyPressEvent(e);
}

void ViewWidget::inputMethodEvent(QInputMethodEvent* e) {
  host_->textInput({e->commitString().toStdString(), e->preeditString().toStdString()});
}

bool ViewWidget::focusNextPrevChild(bool next) {
  return next ? host_->focusNext() : host_->focusPrevious();
}

}  // namespace ui::qt
