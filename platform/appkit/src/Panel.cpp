#include "appkit/Panel.h"

#include <QApplication>
#include <QBackingStore>
#include <QBitmap>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <array>
#include <chrono>
#include <optional>

#include "ContentWidget.h"
#include "DarkPalette.h"
#include "KeyboardGrabWatch.h"
#include "QtGeometry.h"
#include "WindowDrag.h"
#include "X11WindowHints.h"
#include "appkit/WindowFrame.h"
#include "appkit/qt/NativeWidget.h"
#include "foundation/UserDefaults.h"
#include "ui/qt/ViewWidget.h"

namespace appkit {
namespace {

// The dark sidebar material: see-through where a compositor blends it, solid where none does.
const QColor kMaterialTranslucent(28, 28, 30, 222);
const QColor kMaterialSolid(36, 36, 38);

// How long a window manager may take to give the shown panel the keyboard.
constexpr std::chrono::milliseconds kActivationGrace(1000);

QPainterPath roundedOutline(QSizeF size) {
  QPainterPath path;
  path.addRoundedRect(QRectF(QPointF(0, 0), size), Panel::cornerRadius, Panel::cornerRadius);
  return path;
}

bool isOwnPopupOf(QWindow* window, QWindow* panel) {
  if (!window) return false;
  if (window->type() == Qt::Popup || window->type() == Qt::ToolTip) return true;
  for (QWindow* w = window->transientParent(); w; w = w->transientParent())
    if (w == panel) return true;
  return false;
}

}  // namespace

class PanelWidget;

struct Panel::Impl {
  QPointer<PanelWidget> widget;
  QPointer<QWidget> content;
  ui::AnyView contentView;
  std::array<ResizeGrip*, 8> grips{};
  std::function<void()> lostActivation;
  std::unique_ptr<KeyboardGrabWatch> grabWatch;
  bool wasActive = false;
  bool reportingLoss = false;
  // When the panel last asked the window manager for the keyboard, until it got it.
  std::optional<std::chrono::steady_clock::time_point> activationAsked;
  bool compositing = false;
  // The shape and background follow `compositing` and the widget's size.
  bool backgroundApplied = false;
  // Asked of the server once, before the first show.
  std::optional<x11hints::Atoms> atoms;

  const std::optional<x11hints::Atoms>& windowAtoms() {
    if (!atoms) atoms = x11hints::internAtoms();
    return atoms;
  }

  void focusWindowChanged(QWindow* now);
  void reportLoss();
  // The focus moved on while a grab held the keyboard.
  void focusGoneWhileLent();
  // The keyboard went elsewhere: the loss is told once it is sure to stay lost.
  void lose();
  void applyBackgroundMode();
  void layoutChildren();
};

class PanelWidget : public QWidget {
 public:
  explicit PanelWidget(Panel::Impl& owner)
      : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::NoDropShadowWindowHint),
        owner_(owner) {
    // A visual with alpha must be chosen before the native window exists.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setPalette(darkPalette());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillPath(roundedOutline(size()),
                     owner_.compositing ? kMaterialTranslucent : kMaterialSolid);
  }

  void resizeEvent(QResizeEvent*) override {
    owner_.layoutChildren();
    owner_.applyBackgroundMode();
  }

  // Closing from outside (the window manager, Alt+F4) hides the panel like close().
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    hide();
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    drag_.begin(this, event->globalPosition().toPoint());
    event->accept();
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    drag_.follow(event->globalPosition().toPoint());
  }
  void mouseReleaseEvent(QMouseEvent*) override { drag_.end(); }

 private:
  Panel::Impl& owner_;
  WindowDrag drag_;
};

void Panel::Impl::applyBackgroundMode() {
  if (!widget) return;
  if (compositing) {
    widget->clearMask();
  } else {
    // Without a compositor the alpha is not blended: the window's shape cuts the corners.
    QBitmap mask(widget->size());
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.fillPath(roundedOutline(widget->size()), Qt::color1);
    painter.end();
    widget->setMask(mask);
  }
  backgroundApplied = true;
  widget->update();
}

void Panel::Impl::layoutChildren() {
  if (!widget) return;
  if (content) content->setGeometry(widget->rect());
  for (ResizeGrip* grip : grips)
    if (grip) grip->place(widget->size());
}

void Panel::Impl::focusWindowChanged(QWindow* now) {
  if (!widget) return;
  QWindow* panelWindow = widget->windowHandle();
  if (!panelWindow) return;
  if (now == panelWindow) {
    wasActive = true;
    activationAsked.reset();
    return;
  }
  if (isOwnPopupOf(now, panelWindow) || !wasActive) return;
  // The window manager holds the keyboard while it moves or resizes the panel, which stays
  // key; the focus comes back when the drag ends.
  if (grabWatch && grabWatch->lent()) return;
  lose();
}

void Panel::Impl::focusGoneWhileLent() {
  // Qt tells of the grab a moment after it began; until then it still takes the panel for
  // active, and the loss is told when it does.
  if (wasActive && widget && QGuiApplication::focusWindow() != widget->windowHandle()) lose();
}

void Panel::Impl::lose() {
  wasActive = false;
  if (!widget || !widget->isVisible()) return;  // our own close()
  // Qt tells of a loss a moment after the X server did: shown again within that moment, the
  // panel hears the loss of its last showing before the window manager has given it the
  // keyboard it asked for, later on a loaded machine. The loss counts if the keyboard has not
  // come by then.
  using namespace std::chrono;
  auto wait = milliseconds(0);
  if (activationAsked)
    wait = std::max(wait, duration_cast<milliseconds>(*activationAsked + kActivationGrace -
                                                      steady_clock::now()));
  QTimer::singleShot(int(wait.count()), widget.data(), [this] { reportLoss(); });
}

void Panel::Impl::reportLoss() {
  if (!widget || !widget->isVisible() || widget->isActiveWindow()) return;
  if (reportingLoss || !lostActivation) return;
  reportingLoss = true;
  lostActivation();
  reportingLoss = false;
}

Panel::Panel(ui::Rect contentRect) : impl_(std::make_unique<Impl>()) {
  auto* widget = new PanelWidget(*impl_);
  impl_->widget = widget;
  widget->setGeometry(toQRect(contentRect));
  impl_->content = makeContentWidget({}, widget);
  const Qt::Edges edges[8] = {Qt::LeftEdge,
                              Qt::RightEdge,
                              Qt::TopEdge,
                              Qt::BottomEdge,
                              Qt::LeftEdge | Qt::TopEdge,
                              Qt::RightEdge | Qt::TopEdge,
                              Qt::LeftEdge | Qt::BottomEdge,
                              Qt::RightEdge | Qt::BottomEdge};
  for (int i = 0; i < 8; ++i) impl_->grips[i] = new ResizeGrip(edges[i], widget);
  impl_->layoutChildren();
  impl_->grabWatch = std::make_unique<KeyboardGrabWatch>(
      widget, [impl = impl_.get()] { impl->focusGoneWhileLent(); });
  QObject::connect(qApp, &QGuiApplication::focusWindowChanged, widget,
                   [impl = impl_.get()](QWindow* now) { impl->focusWindowChanged(now); });
}

Panel::~Panel() {
  delete impl_->widget.data();
}

void Panel::setTitle(const std::string& title) {
  impl_->widget->setWindowTitle(QString::fromStdString(title));
}

std::string Panel::title() const {
  return impl_->widget->windowTitle().toStdString();
}

void Panel::setContent(ui::AnyView content) {
  impl_->contentView = std::move(content);
  qt::setContentWidget(*this, makeContentWidget(impl_->contentView, nullptr));
}

void Panel::setMinimumSize(ui::Size size) {
  impl_->widget->setMinimumSize(int(size.width), int(size.height));
}

void Panel::prepare() {
  PanelWidget* widget = impl_->widget;
  if (!widget || widget->isVisible()) return;
  widget->winId();
  impl_->windowAtoms();
  // The content places (and so shows) its hosted controls in its own frame, while the window is
  // plainly hidden. Shown first inside render(), which pretends hidden widgets visible while it
  // lays them out, a control would keep that visibility and never be drawn on screen.
  for (QWidget* child : widget->findChildren<QWidget*>())
    if (auto* view = dynamic_cast<ui::qt::ViewWidget*>(child)) view->settle();
  // Painting into an image of the backing store's format lays the content out at the panel's
  // size and leaves the glyphs it draws in the caches that the first real paint uses.
  const qreal scale = widget->devicePixelRatio();
  QImage scratch(widget->size() * scale, QImage::Format_ARGB32_Premultiplied);
  scratch.setDevicePixelRatio(scale);
  scratch.fill(Qt::transparent);
  widget->render(&scratch);
  if (QBackingStore* store = widget->backingStore()) store->resize(widget->size());
}

void Panel::show(std::uint32_t userTime) {
  orderFront();
  makeKey(userTime);
}

void Panel::orderFront() {
  PanelWidget* widget = impl_->widget;
  const auto& atoms = impl_->windowAtoms();
  if (!widget->isVisible()) {
    // A compositor may have started or stopped while the panel was hidden; the shape the
    // window has stays right otherwise.
    const auto now = atoms ? x11hints::surroundings(*atoms) : x11hints::Surroundings{};
    if (now.compositing != impl_->compositing || !impl_->backgroundApplied) {
      impl_->compositing = now.compositing;
      impl_->applyBackgroundMode();
    }
    if (atoms)
      x11hints::prepareFloatingWindow(static_cast<std::uint32_t>(widget->winId()), *atoms,
                                      now.currentDesktop);
  }
  widget->show();
  widget->raise();
  if (atoms) x11hints::requestFloatingStates(static_cast<std::uint32_t>(widget->winId()), *atoms);
}

void Panel::makeKey(std::uint32_t userTime) {
  PanelWidget* widget = impl_->widget;
  if (!widget->isVisible()) return;
  const auto id = static_cast<std::uint32_t>(widget->winId());
  if (!widget->isActiveWindow()) impl_->activationAsked = std::chrono::steady_clock::now();
  if (const auto& atoms = impl_->windowAtoms())
    x11hints::requestActivation(id, *atoms, userTime);
  else
    widget->activateWindow();
  // The control the content put the keyboard in keeps it; only a content without one is given it.
  QWidget* content = impl_->content;
  QWidget* current = widget->focusWidget();
  if (content && current != content && !content->isAncestorOf(current))
    content->setFocus(Qt::ActiveWindowFocusReason);
  // Shown again before Qt heard that the hidden panel lost the keyboard, its window is still
  // Qt's focus window, so the keyboard coming back changes nothing there: the widgets learn it
  // now. Should the window manager keep the keyboard elsewhere, Qt's late loss undoes this.
  if (QGuiApplication::focusWindow() == widget->windowHandle() && !widget->isActiveWindow()) {
    QApplication::setActiveWindow(widget);
    impl_->wasActive = true;
  }
}

void Panel::close() {
  impl_->wasActive = false;
  impl_->activationAsked.reset();
  impl_->widget->hide();
}

bool Panel::isVisible() const {
  return impl_->widget->isVisible();
}

bool Panel::isKey() const {
  return impl_->widget->isVisible() && impl_->widget->isActiveWindow();
}

void Panel::setLostActivationHandler(std::function<void()> handler) {
  impl_->lostActivation = std::move(handler);
}

ui::Rect Panel::frame() const {
  return toRect(impl_->widget->geometry());
}

void Panel::setFrame(ui::Rect frame) {
  impl_->widget->setGeometry(toQRect(frame));
}

std::vector<ui::Rect> Panel::screens() {
  std::vector<ui::Rect> screens;
  QScreen* first = screenUnderPointer();
  auto add = [&screens](QScreen* screen) {
    screens.push_back(toRect(screen->availableGeometry()));
  };
  if (first) add(first);
  for (QScreen* screen : QGuiApplication::screens())
    if (screen != first) add(screen);
  return screens;
}

void Panel::center() {
  QScreen* screen = screenUnderPointer();
  if (!screen) return;
  QRect g = impl_->widget->geometry();
  g.moveCenter(screen->availableGeometry().center());
  impl_->widget->setGeometry(g);
}

void Panel::saveFrame(const std::string& name, foundation::UserDefaults& defaults) {
  appkit::saveFrame(defaults, name, frame());
}

void Panel::saveFrame(const std::string& name) {
  saveFrame(name, foundation::UserDefaults::standard());
}

bool Panel::setFrameUsingName(const std::string& name, const foundation::UserDefaults& defaults) {
  auto saved = savedFrame(defaults, name);
  if (!saved) return false;
  const QSize minimum = impl_->widget->minimumSize();
  setFrame(
      clampFrameToScreens(*saved, screens(), {double(minimum.width()), double(minimum.height())}));
  return true;
}

bool Panel::setFrameUsingName(const std::string& name) {
  return setFrameUsingName(name, foundation::UserDefaults::standard());
}

std::uint32_t Panel::windowId() const {
  if (!x11hints::available() || !impl_->widget->windowHandle()) return 0;
  return static_cast<std::uint32_t>(impl_->widget->winId());
}

namespace qt {

QWidget* nativeWidget(Panel& panel) {
  return panel.impl().widget.data();
}

void setContentWidget(Panel& panel, QWidget* content) {
  Panel::Impl& impl = panel.impl();
  const bool hadFocus = impl.content && impl.content->hasFocus();
  delete impl.content.data();
  content->setParent(impl.widget);
  impl.content = content;
  content->lower();
  content->show();
  impl.layoutChildren();
  if (hadFocus) content->setFocus();
}

}  // namespace qt
}  // namespace appkit
