#pragma once

#include <QApplication>

namespace ui::qt::testing {

// The one application object of the test program (offscreen, fonts pinned by the test's
// environment).
inline QApplication& app() {
  static int argc = 1;
  static char name[] = "quill_ui_qt_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

}  // namespace ui::qt::testing
