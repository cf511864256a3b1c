#pragma once

#include <QWidget>

#include "ui/View.h"

namespace appkit {

// The widget that shows a window's view tree.
QWidget* makeContentWidget(const ui::AnyView& content, QWidget* parent);

}  // namespace appkit
