#include "ContentWidget.h"

namespace appkit {

// Until the view layer's Qt host is available, windows keep a plain, transparent widget that
// holds the keyboard focus; the view tree is kept by the window.
QWidget* makeContentWidget(const ui::AnyView&, QWidget* parent) {
  auto* widget = new QWidget(parent);
  widget->setFocusPolicy(Qt::StrongFocus);
  return widget;
}

}  // namespace appkit
