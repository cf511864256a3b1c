#include "appkit/StatusItem.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "QtKeys.h"
#include "StatusIcon.h"
#include "X11WindowHints.h"

namespace appkit {

const char* const StatusItem::noTrayMessage =
    "no system tray found: the Quillcast menu is not shown";

namespace {

QString menuText(const MenuItem& item) {
  QString text = QString::fromStdString(item.title);
  // Shown right-aligned as the item's shortcut; keys are matched by the menu itself.
  if (!item.keyEquivalent.empty())
    text += '\t' + QString::fromStdString(item.keyEquivalent.displayText());
  return text;
}

// While the menu is open, its items' key equivalents choose them.
class KeyEquivalentFilter : public QObject {
 public:
  KeyEquivalentFilter(const Menu& menu, QMenu* qmenu)
      : QObject(qmenu), menu_(menu), qmenu_(qmenu) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto pressed = keyEquivalentOf(*static_cast<QKeyEvent*>(event));
    if (!pressed) return false;
    const MenuItem* item = menu_.itemWithKeyEquivalent(*pressed);
    if (!item) return false;
    if (item->enabled && item->action) {
      qmenu_->close();
      QTimer::singleShot(0, qApp, item->action);
    }
    return true;
  }

 private:
  const Menu& menu_;
  QMenu* qmenu_;
};

void fillMenu(QMenu* qmenu, const Menu& menu) {
  for (const MenuItem& item : menu.items()) {
    if (item.isSeparator) {
      qmenu->addSeparator();
      continue;
    }
    if (item.submenu) {
      QMenu* sub = qmenu->addMenu(QString::fromStdString(item.title));
      fillMenu(sub, *item.submenu);
      sub->installEventFilter(new KeyEquivalentFilter(*item.submenu, sub));
      continue;
    }
    QAction* action = qmenu->addAction(menuText(item));
    action->setEnabled(item.enabled);
    if (item.action) QObject::connect(action, &QAction::triggered, qmenu, item.action);
  }
}

}  // namespace

struct StatusItem::Impl {
  std::unique_ptr<QSystemTrayIcon> tray;
  std::unique_ptr<QMenu> qmenu;
  Menu menu;
  std::string accessibleName;
};

StatusItem::StatusItem(const std::string& symbolName, const std::string& accessibleName)
    : impl_(std::make_unique<Impl>()) {
  impl_->accessibleName = accessibleName;
  impl_->tray = std::make_unique<QSystemTrayIcon>(statusIcon(symbolName));
  impl_->tray->setToolTip(QString::fromStdString(accessibleName));
  impl_->qmenu = std::make_unique<QMenu>();
  impl_->qmenu->setAccessibleName(QString::fromStdString(accessibleName));
  impl_->tray->setContextMenu(impl_->qmenu.get());
  // The status item opens its menu on a left click too.
  QObject::connect(impl_->tray.get(), &QSystemTrayIcon::activated, impl_->qmenu.get(),
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::Trigger) popUpMenu();
                   });
  if (!QSystemTrayIcon::isSystemTrayAvailable())
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 noTrayMessage);
  impl_->tray->show();
}

StatusItem::~StatusItem() {
  impl_->tray->setContextMenu(nullptr);
  impl_->tray.reset();
  impl_->qmenu.reset();
}

void StatusItem::setMenu(Menu menu) {
  impl_->menu = std::move(menu);
  QMenu* qmenu = impl_->qmenu.get();
  qmenu->clear();
  for (QObject* child : qmenu->children())
    if (auto* filter = dynamic_cast<KeyEquivalentFilter*>(child)) {
      qmenu->removeEventFilter(filter);
      delete filter;
    }
  fillMenu(qmenu, impl_->menu);
  qmenu->installEventFilter(new KeyEquivalentFilter(impl_->menu, qmenu));
}

const Menu& StatusItem::menu() const {
  return impl_->menu;
}

std::string StatusItem::accessibleName() const {
  return impl_->accessibleName;
}

bool StatusItem::trayRuns() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

bool StatusItem::isInTray() const {
  return screenFrame().has_value();
}

std::optional<ui::Rect> StatusItem::screenFrame() const {
  if (!QSystemTrayIcon::isSystemTrayAvailable() || !impl_->tray->isVisible()) return std::nullopt;
  const QRect g = impl_->tray->geometry();
  if (g.isEmpty()) return std::nullopt;
  // Qt tells an embedded XEmbed icon's place within the tray; the server tells it on screen.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (std::string_view(widget->metaObject()->className()) != "QSystemTrayIconSys") continue;
    if (!widget->isVisible() || !widget->windowHandle()) continue;
    if (auto r = x11hints::screenGeometry(static_cast<std::uint32_t>(widget->winId())))
      return ui::Rect{double(r->x), double(r->y), double(r->width), double(r->height)};
  }
  return ui::Rect{double(g.x()), double(g.y()), double(g.width()), double(g.height())};
}

void StatusItem::popUpMenu() {
  QPoint at = QCursor::pos();
  if (auto frame = screenFrame()) at = QPoint(int(frame->x), int(frame->maxY()));
  impl_->qmenu->popup(at);
}

bool StatusItem::isMenuShown() const {
  return impl_->qmenu->isVisible();
}

}  // namespace appkit
