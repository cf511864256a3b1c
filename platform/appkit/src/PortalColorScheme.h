#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QPalette>
#include <QString>
#include <QVariant>
#include <optional>

#include "ui/Color.h"

namespace appkit {

// Follows the desktop's light or dark preference as the XDG desktop portal tells it
// (org.freedesktop.appearance color-scheme), also when it changes while the program runs, by
// giving the application the palette of that scheme. Where no portal answers, or it states no
// preference, the palette Qt chose at start stays. Every call is asynchronous: the main thread
// never waits for the bus.
class PortalColorScheme final : public QObject {
  Q_OBJECT

 public:
  explicit PortalColorScheme(QObject* parent = nullptr);

  // The portal's scheme, once it has answered with one.
  std::optional<ui::ColorScheme> scheme() const { return scheme_; }

 private slots:
  void settingChanged(const QDBusMessage& message);

 private:
  void apply(const QVariant& value);

  QPalette started_;
  std::optional<ui::ColorScheme> scheme_;
  bool heard_ = false;  // from the portal, by its answer or a change
};

}  // namespace appkit
