#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "HotKeys/HotKeys.h"
#include "appkit/Alert.h"
#include "appkit/Menu.h"
#include "core/DataModel.h"
#include "foundation/ObservableObject.h"
#include "panel/FloatingPanel.h"
#include "shell/PanelAccess.h"
#include "shell/ShellDesktop.h"
#include "shell/StorageAlerts.h"
#include "shell/URLOpener.h"

namespace shell {

inline constexpr const char* kFirstTimeKey = "firstTime";
inline constexpr const char* kStatusItemSymbol = "wand.and.stars";
inline constexpr const char* kStatusItemName = "Quillcast";
// Heads the tray menu while the hot key could not be registered.
inline constexpr const char* kOpenPanelMenuTitle = "Open Quillcast";

// The global shortcut that shows the panel: Alt+Space unless the user chose another.
HotKeys::Name showFloatingPanelName();

struct AppDelegateConfiguration {
  // The model's services: chat base URL, user defaults, capture backends.
  core::DataModelEnvironment modelEnvironment;
  std::shared_ptr<ShellDesktop> desktop;
  // Opens web pages (the desktop's browser); our own "quillcast" URLs never reach it.
  std::shared_ptr<URLOpener> webOpener;
  // Tells the user of unreadable files and failed saves; nobody is told without it.
  std::shared_ptr<appkit::UserFeedback> feedback = nullptr;
};

// Owns the assistant's model, sets up the tray, the first-launch onboarding, the panel and the
// hot key when launching finishes, and takes URLs handed to the program. It is also the opener
// of the program's own URLs, which it routes to its scenes directly. Main thread only.
class AppDelegate : public URLOpener {
 public:
  explicit AppDelegate(AppDelegateConfiguration configuration);
  ~AppDelegate() override;

  std::shared_ptr<core::DataModel> coreAppModel;
  // How the panel can be opened now, for the onboarding to tell.
  std::shared_ptr<PanelAccessModel> panelAccess = std::make_shared<PanelAccessModel>();

  // Launching finished: status item and menu, onboarding on first launch, the trust check, the
  // panel, and the hot key, in that order. The trust check's answer comes later: with the
  // accessibility bus switched off, the user is then offered to switch it on.
  void applicationDidFinishLaunching() { setupApp(); }
  void setupApp();
  // The program is ending (Quit, a signal, the end of the session): what the user made is
  // saved, with no network on the way out.
  void applicationWillTerminate();
  appkit::Menu setupMenus();

  void didTapOne();
  void didTapTwo();
  void didTapThree();
  void openSettingsWindow();
  // The hot key: takes the selected text when the panel opens, and opens or closes the panel.
  // `userTime` is the X server time of the key event that asked (0: unknown).
  void toggleFloatingPanel(std::uint32_t userTime = 0);
  // URLs handed to the program: scenes by host, then preset import.
  void application(const std::vector<std::string>& urls);
  // Started again without a link (from the applications menu, say): the panel opens, as the
  // tray's "Open Quillcast" opens it, so that a desktop without a tray or a free hot key still
  // has a way in. An open panel stays open.
  void applicationShouldHandleReopen();

  bool open(std::string_view url) override;

  panel::FloatingPanel* floatingPanel() const { return floatingPanel_.get(); }
  foundation::UserDefaults& userDefaults() const { return coreAppModel->userDefaults(); }

 private:
  // Puts the panel into the tray menu while the hot key is not registered, and out again, and
  // tells the ways in to `panelAccess`.
  void refreshStatusMenu();
  // Asks the user whether to switch the accessibility bus on, and does when they agree.
  void offerAccessibilityBus();

  AppDelegateConfiguration configuration_;
  StorageAlerts storageAlerts_;
  std::unique_ptr<panel::FloatingPanel> floatingPanel_;
  bool menuOffersPanel_ = false;
  // The panel opens once its capture no longer needs the keyboard where it is.
  bool panelShowPending_ = false;
  // Cleared when the delegate goes, so a capture that ends later finds it gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  foundation::Cancellable shortcutObserver_;
  foundation::Cancellable hotKeySubscription_;
};

}  // namespace shell
