#include "shell/AppDelegate.h"

#include <any>

#include "core/Console.h"
#include "foundation/DebugLog.h"
#include "foundation/NotificationCenter.h"
#include "shell/AccessibilityOffer.h"
#include "shell/AppWindow.h"
#include "shell/PresetImport.h"

namespace shell {

HotKeys::Name showFloatingPanelName() {
  // Declaring the name stores its default when nothing is stored yet (also in a settings file
  // made after start), so it is declared where it is used.
  return HotKeys::Name("showFloatingPanel",
                       HotKeys::Shortcut(HotKeys::Key::space,
                                         HotKeys::ModifierFlags(HotKeys::ModifierFlags::option)));
}

AppDelegate::AppDelegate(AppDelegateConfiguration configuration)
    : coreAppModel(std::make_shared<core::DataModel>(configuration.modelEnvironment)),
      configuration_(std::move(configuration)),
      storageAlerts_(configuration_.feedback) {
  storageAlerts_.watchSaves(coreAppModel->documents());
}

AppDelegate::~AppDelegate() {
  // A hot key pressed from now on finds nothing of this delegate.
  hotKeySubscription_.cancel();
  // The panel's content refers to the model; it goes first.
  if (floatingPanel_) coreAppModel->FloatingViewPanel = nullptr;
  floatingPanel_.reset();
}

appkit::Menu AppDelegate::setupMenus() {
  using appkit::KeyEquivalent;
  using appkit::MenuItem;
  const appkit::ModifierFlags ctrl(appkit::ModifierFlags::control);
  appkit::Menu menu;
  if (floatingPanel_ && !HotKeys::isRegistered(showFloatingPanelName()))
    menu.add(MenuItem::command(kOpenPanelMenuTitle, {}, [this] { toggleFloatingPanel(); }));
  for (auto& item : std::vector<MenuItem>{
           MenuItem::command("Get Started", KeyEquivalent("1", ctrl), [this] { didTapOne(); }),
           MenuItem::command("Prompt Editor", KeyEquivalent("2", ctrl), [this] { didTapTwo(); }),
           MenuItem::command("Settings", KeyEquivalent("3", ctrl), [this] { didTapThree(); }),
           MenuItem::separator(),
           MenuItem::command("Quit", KeyEquivalent("q", ctrl),
                             [desktop = std::weak_ptr(configuration_.desktop)] {
                               // The desktop keeps the menu: a strong hold would keep both.
                               if (auto d = desktop.lock()) d->terminate();
                             }),
       })
    menu.add(std::move(item));
  return menu;
}

void AppDelegate::setupApp() {
  auto& desktop = *configuration_.desktop;
  desktop.showStatusItem(kStatusItemSymbol, kStatusItemName, setupMenus());

  auto& defaults = userDefaults();
  const bool firstTime = defaults.has(kFirstTimeKey) ? defaults.boolForKey(kFirstTimeKey) : true;
  if (firstTime) {
    defaults.set(kFirstTimeKey, false);
    openWindow(AppWindow::onboardingView, *this);
  }

  // No system asks the user here: where the accessibility bus is there but switched off, the
  // program offers to switch it on, once a start. It is looked at off the main thread.
  desktop.whenAccessibilityBusKnown(
      [this, alive = std::weak_ptr<bool>(alive_)](accessibility::AccessibilityBus bus) {
        if (alive.expired() || bus != accessibility::AccessibilityBus::disabled) return;
        foundation::debugLog("Not trusted");
        offerAccessibilityBus();
      });

  floatingPanel_ = desktop.makeFloatingPanel(coreAppModel);
  // The first hot key finds the capture's road ready.
  if (floatingPanel_) coreAppModel->prepareCapture();

  // With the key's time, focus-stealing prevention lets the panel take the keyboard.
  hotKeySubscription_ = HotKeys::on(HotKeys::EventType::keyUp, showFloatingPanelName(),
                                    [this] { toggleFloatingPanel(HotKeys::currentEventTime()); });
  // Without its hot key the panel would be out of reach: the tray menu offers it instead, also
  // when the user later records a key that another program holds, or clears it.
  refreshStatusMenu();
  if (const auto notice = launchNotice(panelAccess->access.get()); !notice.empty())
    core::printErrorLine("Quillcast: " + notice);
  shortcutObserver_ = foundation::NotificationCenter::defaultCenter().addObserver(
      HotKeys::kShortcutByNameDidChange, [this](const foundation::Notification& notification) {
        const auto* change = std::any_cast<HotKeys::ShortcutChange>(&notification.object);
        if (change && change->name == showFloatingPanelName()) refreshStatusMenu();
      });

  // Files that could not be read were set aside at start, the history once it has been read;
  // the console goes unseen.
  coreAppModel->whenHistoryLoaded([this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.expired()) return;
    std::vector<foundation::files::UnreadableFile> unreadable;
    if (const auto& settings = userDefaults().unreadableFile()) unreadable.push_back(*settings);
    const auto& documents = coreAppModel->documents().unreadableFiles();
    unreadable.insert(unreadable.end(), documents.begin(), documents.end());
    storageAlerts_.tellUnreadableFiles(std::move(unreadable));
  });
}

void AppDelegate::offerAccessibilityBus() {
  const auto feedback = configuration_.feedback;
  if (!feedback) return;
  const std::weak_ptr<bool> alive = alive_;
  if (feedback->runModal(accessibilityOfferAlert()) != appkit::Alert::firstButtonReturn ||
      alive.expired())
    return;
  configuration_.desktop->enableAccessibilityBus([feedback, alive](bool enabled) {
    if (!enabled && !alive.expired()) feedback->runModal(accessibilityNotEnabledAlert());
  });
}

void AppDelegate::applicationWillTerminate() {
  if (!coreAppModel->saveBeforeQuit())
    core::printErrorLine(
        "Quillcast: some of your chats or presets could not be saved in " +
        core::DocumentsFolder::location().value_or("Documents/Quillcast").string());
  userDefaults().synchronize();
}

void AppDelegate::refreshStatusMenu() {
  const auto name = showFloatingPanelName();
  panelAccess->update(
      {HotKeys::getShortcut(name), HotKeys::isRegistered(name), configuration_.desktop->hasTray()});
  const bool offersPanel = !HotKeys::isRegistered(name);
  if (offersPanel == menuOffersPanel_) return;
  menuOffersPanel_ = offersPanel;
  configuration_.desktop->setStatusMenu(setupMenus());
}

void AppDelegate::didTapOne() {
  openWindow(AppWindow::onboardingView, *this);
}
void AppDelegate::didTapTwo() {
  openWindow(AppWindow::promptEditor, *this);
}
void AppDelegate::didTapThree() {
  openSettingsWindow();
}

void AppDelegate::openSettingsWindow() {
  configuration_.desktop->openScene(Scene::settings);
}

void AppDelegate::toggleFloatingPanel(std::uint32_t userTime) {
  foundation::debugLog("Keyboard shortcut was pressed!");
  if (!floatingPanel_) return;
  // Only the press that opens asks for the selection: a copy keystroke sent on closing would
  // interrupt a terminal's program and overwrite the clipboard for nothing.
  if (!floatingPanel_->panel().isOpen()) {
    // A press while the panel waits for its capture's keystroke would show it twice.
    if (panelShowPending_) return;
    // Once the panel is in front, the capture and the later write-back must still find the
    // window the user was working in.
    if (const auto& workspace = configuration_.modelEnvironment.captureServices.workspace)
      workspace->rememberFrontmostApplication();
    panelShowPending_ = true;
    coreAppModel->captureSelectedText([this, alive = std::weak_ptr<bool>(alive_), userTime] {
      if (alive.expired()) return;
      panelShowPending_ = false;
      if (floatingPanel_ && !floatingPanel_->panel().isOpen()) floatingPanel_->toggle(userTime);
    });
    return;
  }
  floatingPanel_->toggle(userTime);
}

void AppDelegate::applicationShouldHandleReopen() {
  if (floatingPanel_ && !floatingPanel_->panel().isOpen()) toggleFloatingPanel();
}

void AppDelegate::application(const std::vector<std::string>& urls) {
  for (const auto& url : urls) {
    if (const auto scene = sceneForURL(url)) configuration_.desktop->openScene(*scene);
  }
  handleOpenURLs(urls, *coreAppModel, *this);
}

bool AppDelegate::open(std::string_view url) {
  if (const auto scene = sceneForURL(url)) {
    configuration_.desktop->openScene(*scene);
    return true;
  }
  const std::string text(url);
  if (text.rfind(std::string(kURLScheme) + ":", 0) == 0) {
    application({text});
    return true;
  }
  return configuration_.webOpener && configuration_.webOpener->open(url);
}

}  // namespace shell
