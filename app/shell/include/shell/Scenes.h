#pragma once

#include <functional>
#include <memory>

#include "appkit/Menu.h"
#include "appkit/Window.h"
#include "core/DataModel.h"
#include "shell/PanelAccess.h"
#include "shell/URLOpener.h"
#include "updater/Updater.h"

namespace shell {

// What the windows' views work with.
struct SceneContext {
  std::shared_ptr<core::DataModel> model;
  URLOpener* opener = nullptr;  // the program's own URLs and web pages
  updater::Updater* updater = nullptr;
  appkit::WindowRegistry* windows = nullptr;
  // The tray menu as it is now: the hot-key recorder refuses its keys.
  std::function<appkit::Menu()> statusMenu;
  // The ways in to the panel, which the onboarding tells.
  std::shared_ptr<PanelAccessModel> panelAccess;
};

appkit::WindowDescription settingsWindow(const SceneContext& context);
appkit::WindowDescription onboardingWindow(const SceneContext& context);
appkit::WindowDescription promptEditorWindow(const SceneContext& context);

}  // namespace shell
