#include "appkit/Alert.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "appkit/Window.h"
#include "appkit/qt/NativeWidget.h"

namespace appkit {
namespace {

QMessageBox::Icon iconFor(AlertStyle style) {
  switch (style) {
    case AlertStyle::informational:
      return QMessageBox::Information;
    case AlertStyle::warning:
      return QMessageBox::Warning;
    case AlertStyle::critical:
      return QMessageBox::Critical;
  }
  return QMessageBox::Warning;
}

}  // namespace

void DesktopFeedback::beep() {
  QApplication::beep();
}

int DesktopFeedback::runModal(const Alert& alert, Window* parent) {
  QWidget* parentWidget = parent ? qt::nativeWidget(*parent) : nullptr;
  QMessageBox box(parentWidget);
  box.setIcon(iconFor(alert.style));
  box.setText(QString::fromStdString(alert.messageText));
  box.setInformativeText(QString::fromStdString(alert.informativeText));
  box.setWindowModality(parentWidget ? Qt::WindowModal : Qt::ApplicationModal);
  std::vector<std::string> titles = alert.buttons;
  if (titles.empty()) titles.push_back("OK");
  std::vector<QPushButton*> buttons;
  for (const auto& title : titles)
    buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::AcceptRole));
  box.setDefaultButton(buttons.front());
  box.setEscapeButton(buttons.back());
  box.exec();
  for (std::size_t i = 0; i < buttons.size(); ++i)
    if (box.clickedButton() == buttons[i]) return Alert::firstButtonReturn + static_cast<int>(i);
  return Alert::firstButtonReturn + static_cast<int>(buttons.size()) - 1;
}

int FakeFeedback::runModal(const Alert& alert, Window*) {
  alerts.push_back(alert);
  if (alerts.size() <= responses.size()) return responses[alerts.size() - 1];
  return Alert::firstButtonReturn;
}

}  // namespace appkit
