#pragma once

// Settings, the prompt editor and onboarding as the desktop tests open them: declared as the
// program declares them, and opened active with the keyboard in their content.
#include <QApplication>
#include <QWidget>
#include <string>

#include "DesktopSession.h"
#include "appkit/Window.h"
#include "appkit/qt/NativeWidget.h"
#include "shell/Scenes.h"
#include "ui/qt/ViewWidget.h"

namespace shelltest {

inline void declareSceneWindows(appkit::WindowRegistry& windows, shell::SceneContext& context) {
  windows.declare("Settings", shell::settingsWindow(context));
  windows.declare("PromptEditor", shell::promptEditorWindow(context));
  windows.declare("Onboarding", shell::onboardingWindow(context));
}

// The window `name` opened, active, with its content's keyboard: its content view, or none.
inline ui::qt::ViewWidget* openActive(appkit::WindowRegistry& windows, testx11::Connection& x,
                                      const std::string& name) {
  using namespace std::chrono_literals;
  auto window = windows.open(name);
  if (window.expired()) return nullptr;
  QWidget* widget = appkit::qt::nativeWidget(*window.lock());
  auto* view = widget->findChild<ui::qt::ViewWidget*>();
  if (!view) return nullptr;
  desktoptest::activate(x, xcb_window_t(widget->winId()));
  if (!desktoptest::pumpUntil([&] { return QApplication::activeWindow() == widget; }))
    return nullptr;
  desktoptest::pumpFor(200ms);
  return view;
}

}  // namespace shelltest
