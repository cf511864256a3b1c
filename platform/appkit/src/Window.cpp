#include "appkit/Window.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "ContentWidget.h"
#include "X11WindowHints.h"
#include "appkit/qt/NativeWidget.h"

namespace appkit {

struct Window::Impl {
  QPointer<QWidget> widget;
  ui::AnyView contentView;
};

Window::Window(std::string name, const WindowDescription& description)
    : name_(std::move(name)), impl_(std::make_unique<Impl>()) {
  auto* widget = new QWidget(nullptr, Qt::Window);
  widget->setAttribute(Qt::WA_DeleteOnClose);
  widget->setWindowTitle(QString::fromStdString(description.title));
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
