#include "appkit/Window.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "ContentWidget.h"
#include "QtGeometry.h"
#include "X11WindowHints.h"
#include "appkit/WindowFrame.h"
#include "appkit/qt/NativeWidget.h"

namespace appkit {
namespace {

// The window manager's title bar and borders as another of our decorated windows has them: a
// fair guess for a window not yet shown, whose own are not known.
QMargins decorationOfOtherWindows(const QWidget* self) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget == self || !widget->isVisible() || !widget->windowHandle()) continue;
    if (widget->windowFlags() & (Qt::FramelessWindowHint | Qt::Popup | Qt::ToolTip)) continue;
    const QMargins margins = widget->windowHandle()->frameMargins();
    if (!margins.isNull()) return margins;
  }
  return {};
}

// Sizes the window and its minimum to the part of `area` its decoration leaves, and centres it.
void fitIntoWorkArea(QWidget* widget, const QRect& area, const QMargins& decoration,
                     ui::Size wantedMinimum, ui::Size wantedSize) {
  const ui::Rect inner = toRect(area.marginsRemoved(decoration));
  const ui::Size minimum = sizeFittingArea(wantedMinimum, inner);
  // Set in both dimensions, so that the layout does not raise it to the content's again.
  widget->setMinimumSize(std::max(1, int(minimum.width)), std::max(1, int(minimum.height)));
  wantedSize.width = std::max(wantedSize.width, minimum.width);
  wantedSize.height = std::max(wantedSize.height, minimum.height);
  widget->setGeometry(toQRect(centredFrame(wantedSize, inner)));
}

// Once the window manager has framed a newly shown window, its real decoration is known: a
// window placed on a wrong guess of it is fitted and centred again. Gone after that first look, or
// soon in any case, so that it never fights the user's own moves.
class WorkAreaKeeper : public QObject {
 public:
  WorkAreaKeeper(QWidget* widget, QRect area, QMargins guessedDecoration, ui::Size wantedMinimum)
      : QObject(widget),
        widget_(widget),
        area_(area),
        guessedDecoration_(guessedDecoration),
        wantedMinimum_(wantedMinimum) {
    widget->installEventFilter(this);
    QTimer::singleShot(2000, this, [this] { deleteLater(); });
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != widget_ || !widget_->windowHandle()) return false;
    // Framed before it is first drawn or activated.
    const QEvent::Type type = event->type();
    if (type != QEvent::Paint && type != QEvent::WindowActivate && type != QEvent::Move &&
        type != QEvent::Resize)
      return false;
    const QMargins decoration = widget_->windowHandle()->frameMargins();
    if (decoration.isNull()) return false;
    widget_->removeEventFilter(this);
    deleteLater();
    if (decoration != guessedDecoration_) {
      const QSize size = widget_->size();
      QTimer::singleShot(
          0, widget_, [widget = widget_, area = area_, decoration, size, minimum = wantedMinimum_] {
            fitIntoWorkArea(widget, area, decoration, minimum,
                            {double(size.width()), double(size.height())});
          });
    }
    return false;
  }

 private:
  QWidget* widget_;
  QRect area_;
  QMargins guessedDecoration_;
  ui::Size wantedMinimum_;
};

}  // namespace

struct Window::Impl {
  QPointer<QWidget> widget;
  ui::AnyView contentView;
  ui::Size wantedMinimum;
  std::optional<ui::Size> wantedSize;
  bool placed = false;
};

Window::Window(std::string name, const WindowDescription& description)
    : name_(std::move(name)), impl_(std::make_unique<Impl>()) {
  auto* widget = new QWidget(nullptr, Qt::Window);
  widget->setAttribute(Qt::WA_DeleteOnClose);
  widget->setWindowTitle(QString::fromStdString(description.title));
  impl_->wantedMinimum = description.minimumSize;
  impl_->wantedSize = description.size;
  widget->setMinimumSize(int(description.minimumSize.width), int(description.minimumSize.height));
  impl_->contentView = description.content ? description.content() : ui::AnyView{};
  auto* layout = new QVBoxLayout(widget);
  layout->setContentsMargins(0, 0, 0, 0);
  QWidget* content = makeContentWidget(impl_->contentView, widget);
  layout->addWidget(content);
  if (description.size) widget->resize(int(description.size->width), int(description.size->height));
  content->setFocus();
  impl_->widget = widget;
}

Window::~Window() {
  delete impl_->widget.data();
}

bool Window::isOpen() const {
  return impl_->widget;
}

std::string Window::title() const {
  return impl_->widget ? impl_->widget->windowTitle().toStdString() : std::string();
}

void Window::setTitle(const std::string& title) {
  if (impl_->widget) impl_->widget->setWindowTitle(QString::fromStdString(title));
}

ui::Size Window::minimumSize() const {
  if (!impl_->widget) return {};
  const QSize s = impl_->widget->minimumSize();
  return {double(s.width()), double(s.height())};
}

ui::Rect Window::frame() const {
  if (!impl_->widget) return {};
  const QRect g = impl_->widget->geometry();
  return {double(g.x()), double(g.y()), double(g.width()), double(g.height())};
}

bool Window::isKey() const {
  return impl_->widget && impl_->widget->isVisible() && impl_->widget->isActiveWindow();
}

void Window::makeKeyAndOrderFront() {
  QWidget* widget = impl_->widget;
  if (!widget) return;
  if (!widget->isVisible()) {
    // A window goes to the desktop in front, not to the one it was last on.
    x11hints::placeOnCurrentDesktop(static_cast<std::uint32_t>(widget->winId()));
  }
  if (!impl_->placed) {
    // Never larger than the work area of the screen it opens on, and centred there.
    impl_->placed = true;
    if (QScreen* screen = screenUnderPointer()) {
      const QSize hint = widget->sizeHint();
      const ui::Size wanted =
          impl_->wantedSize.value_or(ui::Size{double(hint.width()), double(hint.height())});
      // The content's own least size counts, up to what the work area holds.
      const QSize contentMinimum =
          widget->layout() ? widget->layout()->totalMinimumSize() : QSize();
      impl_->wantedMinimum.width =
          std::max(impl_->wantedMinimum.width, double(contentMinimum.width()));
      impl_->wantedMinimum.height =
          std::max(impl_->wantedMinimum.height, double(contentMinimum.height()));
      const QMargins decoration = decorationOfOtherWindows(widget);
      fitIntoWorkArea(widget, screen->availableGeometry(), decoration, impl_->wantedMinimum,
                      wanted);
      new WorkAreaKeeper(widget, screen->availableGeometry(), decoration, impl_->wantedMinimum);
    }
  }
  widget->show();
  widget->raise();
  if (x11hints::available())
    x11hints::requestActivation(static_cast<std::uint32_t>(widget->winId()), 0);
  else
    widget->activateWindow();
}

void Window::close() {
  if (impl_->widget) impl_->widget->close();
}

std::uint32_t Window::windowId() const {
  if (!impl_->widget || !x11hints::available() || !impl_->widget->windowHandle()) return 0;
  return static_cast<std::uint32_t>(impl_->widget->winId());
}

WindowRegistry::WindowRegistry() : alive_(std::make_shared<bool>(true)) {}

WindowRegistry::~WindowRegistry() {
  *alive_ = false;
  open_.clear();
}

void WindowRegistry::declare(const std::string& name, WindowDescription description) {
  descriptions_[name] = std::move(description);
}

bool WindowRegistry::isDeclared(const std::string& name) const {
  return descriptions_.contains(name);
}

std::weak_ptr<Window> WindowRegistry::open(const std::string& name) {
  auto found = open_.find(name);
  if (found == open_.end() || !found->second->isOpen()) {
    auto description = descriptions_.find(name);
    if (description == descriptions_.end()) return {};
    std::shared_ptr<Window> window(new Window(name, description->second));
    // The user closing the window destroys it; the registry lets go of it on the next turn.
    QObject::connect(window->impl().widget, &QObject::destroyed, qApp,
                     [this, alive = std::weak_ptr<bool>(alive_), name, raw = window.get()] {
                       QTimer::singleShot(0, qApp, [this, alive, name, raw] {
                         if (auto a = alive.lock(); a && *a) forget(name, raw);
                       });
                     });
    found = open_.insert_or_assign(name, std::move(window)).first;
  }
  found->second->makeKeyAndOrderFront();
  return found->second;
}

std::weak_ptr<Window> WindowRegistry::window(const std::string& name) const {
  auto found = open_.find(name);
  if (found == open_.end() || !found->second->isOpen()) return {};
  return found->second;
}

bool WindowRegistry::isOpen(const std::string& name) const {
  return !window(name).expired();
}

void WindowRegistry::close(const std::string& name) {
  auto found = open_.find(name);
  if (found == open_.end()) return;
  auto window = std::move(found->second);
  open_.erase(found);
  window->close();
}

std::optional<std::string> WindowRegistry::keyWindowName() const {
  for (const auto& [name, window] : open_)
    if (window->isKey()) return name;
  return std::nullopt;
}

bool WindowRegistry::closeKeyWindow() {
  auto name = keyWindowName();
  if (!name) return false;
  close(*name);
  return true;
}

void WindowRegistry::forget(const std::string& name, const Window* window) {
  auto found = open_.find(name);
  if (found != open_.end() && found->second.get() == window) open_.erase(found);
}

namespace qt {

QWidget* nativeWidget(Window& window) {
  return window.impl().widget.data();
}

}  // namespace qt
}  // namespace appkit
