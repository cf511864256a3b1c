#include "PortalColorScheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFileInfo>
#include <QStyle>
#include <cstdlib>

#include "ui/qt/SchemePalette.h"

namespace appkit {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// Read answers a variant holding the value's variant; SettingChanged carries the value itself.
QVariant unwrapped(QVariant value) {
  while (value.userType() == qMetaTypeId<QDBusVariant>())
    value = value.value<QDBusVariant>().variant();
  return value;
}

// Without a bus address libdbus would start one through dbus-launch, on the main thread.
bool sessionBusNamed() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
    return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime && *runtime && QFileInfo::exists(QString::fromLocal8Bit(runtime) + "/bus");
}

}  // namespace

PortalColorScheme::PortalColorScheme(QObject* parent)
    : QObject(parent), started_(QApplication::palette()) {
  if (!sessionBusNamed()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
              SLOT(settingChanged(QDBusMessage)));
  QDBusMessage read = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Read");
  read << kGroup << kKey;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
    QDBusPendingReply<QDBusVariant> reply = *call;
    // A change may have come first; it is the newer word.
    if (!reply.isError() && !heard_) apply(reply.value().variant());
    call->deleteLater();
  });
}

void PortalColorScheme::settingChanged(const QDBusMessage& message) {
  const QList<QVariant> arguments = message.arguments();
  if (arguments.size() == 3 && arguments[0].toString() == kGroup && arguments[1].toString() == kKey)
    apply(arguments[2]);
}

void PortalColorScheme::apply(const QVariant& value) {
  // 1 prefers dark, 2 light, 0 (or anything else) states no preference.
  const QVariant plain = unwrapped(value);
  bool ok = false;
  const uint preference = plain.toUInt(&ok);
  std::optional<ui::ColorScheme> scheme;
  if (ok && preference == 1) scheme = ui::ColorScheme::dark;
  if (ok && preference == 2) scheme = ui::ColorScheme::light;
  scheme_ = scheme;
  heard_ = true;
  if (!scheme) {
    QApplication::setPalette(started_);
    return;
  }
  QPalette palette = ui::qt::schemePalette(*scheme, *QApplication::style());
  ui::qt::makePlaceholdersReadable(palette);
  QApplication::setPalette(palette);
}

}  // namespace appkit

