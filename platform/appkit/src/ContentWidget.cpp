#include "ContentWidget.h"

#include "ui/qt/ViewWidget.h"

namespace appkit {

QWidget* makeContentWidget(const ui::AnyView& content, QWidget* parent) {
  return new ui::qt::ViewWidget(content, parent);
}

}  // namespace appkit
