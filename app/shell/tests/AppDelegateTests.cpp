#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "FakePanelWindow.h"
#include "HotKeys/CarbonHotKeys.h"
#include "HotKeys/HotKeys.h"
#include "HotKeys/RecorderController.h"
#include "HotKeys/RecorderTexts.h"
#include "accessibility/FakeAccessibility.h"
#include "accessibility/FakeKeyEventPoster.h"
#include "appkit/Alert.h"
#include "appkit/FakePasteboard.h"
#include "appkit/FakeWorkspace.h"
#include "carbon/FakeHotKeyService.h"
#include "foundation/DispatchQueue.h"
#include "shell/AppDelegate.h"
#include "shell/RecorderConflicts.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/ScopedPermissionChecks.h"
#include "ui/FakeTextMeasurer.h"

namespace shell {
namespace {

using namespace std::chrono_literals;

// Records what the delegate asks of the desktop, in order.
struct RecordingDesktop : ShellDesktop {
  std::vector<std::string>* log = nullptr;
  foundation::UserDefaults* defaults = nullptr;
  accessibility::AccessibilityBus bus = accessibility::AccessibilityBus::enabled;
  bool enables = true;
  int enableRequests = 0;
  bool tray = true;
  appkit::Menu menu;
  std::vector<Scene> opened;
  int terminations = 0;
  std::shared_ptr<panel::testing::FakePanelWindow> window =
      std::make_shared<panel::testing::FakePanelWindow>();

  void showStatusItem(const std::string& symbol, const std::string& name, appkit::Menu m) override {
    log->push_back("status item " + symbol + " " + name);
    menu = std::move(m);
  }
  void setStatusMenu(appkit::Menu m) override { menu = std::move(m); }
  bool hasTray() override { return tray; }
  void openScene(Scene scene) override {
    opened.push_back(scene);
    log->push_back(std::string("open scene, firstTime stored ") +
                   (defaults->boolForKey(kFirstTimeKey) ? "true" : "false"));
  }
  // Answered later, as the program's desktop answers.
  void whenAccessibilityBusKnown(
      std::function<void(accessibility::AccessibilityBus)> told) override {
    log->push_back("trust check");
    foundation::DispatchQueue::main().async([told, state = bus] { told(state); });
  }
  void enableAccessibilityBus(std::function<void(bool)> done) override {
    ++enableRequests;
    foundation::DispatchQueue::main().async([this, done] {
      if (enables) bus = accessibility::AccessibilityBus::enabled;
      done(enables);
    });
  }
  std::unique_ptr<panel::FloatingPanel> makeFloatingPanel(
      std::shared_ptr<core::DataModel> model) override {
    log->push_back("panel");
    panel::FloatingViewOptions options;
    options.measurer = std::make_shared<ui::FakeTextMeasurer>();
    return panel::createFloatingPanel(std::move(model), window, std::move(options));
  }
  void terminate() override { ++terminations; }
};

class AppDelegateTests : public ::testing::Test {
 protected:
  AppDelegateTests() {
    HotKeys::resetForTesting();
    HotKeys::CarbonHotKeys::setService(hotKeys);
  }
  ~AppDelegateTests() override {
    delegate.reset();
    HotKeys::resetForTesting();
    HotKeys::CarbonHotKeys::setService(nullptr);
  }
  AppDelegate& makeDelegate() {
    desktop->log = &log;
    desktop->defaults = &foundation::UserDefaults::standard();
    core::DataModelEnvironment environment;
    environment.captureServices = {ax, pasteboard, workspace, keys};
    delegate = std::make_unique<AppDelegate>(
        AppDelegateConfiguration{std::move(environment), desktop, nullptr, feedback});
    return *delegate;
  }
  std::string launchAndCaptureStdout() {
    ::testing::internal::CaptureStdout();
    delegate->applicationDidFinishLaunching();
    return ::testing::internal::GetCapturedStdout();
  }
  // The panel shows once the selection was read, before it takes the keyboard.
  bool panelOpensAfterItsCapture() {
    return foundation::MainRunLoop::runUntil(
        [&] { return delegate->floatingPanel()->panel().isOpen(); }, 5s);
  }
  // Pressed and released at the given server times.
  int pressHotKey(std::uint32_t pressTime = 0, std::uint32_t releaseTime = 0) {
    const auto shortcut = showFloatingPanelName().shortcut();
    hotKeys->press(static_cast<std::uint32_t>(shortcut->carbonKeyCode),
                   static_cast<std::uint32_t>(shortcut->carbonModifiers), pressTime);
    return hotKeys->release(static_cast<std::uint32_t>(shortcut->carbonKeyCode),
                            static_cast<std::uint32_t>(shortcut->carbonModifiers), releaseTime);
  }

  testsupport::ScopedHome home;
  std::vector<std::string> log;
  std::shared_ptr<carbon::FakeHotKeyService> hotKeys =
      std::make_shared<carbon::FakeHotKeyService>();
  std::shared_ptr<RecordingDesktop> desktop = std::make_shared<RecordingDesktop>();
  std::shared_ptr<accessibility::FakeAccessibility> ax =
      std::make_shared<accessibility::FakeAccessibility>();
  std::shared_ptr<appkit::FakePasteboard> pasteboard = std::make_shared<appkit::FakePasteboard>();
  std::shared_ptr<appkit::FakeWorkspace> workspace = std::make_shared<appkit::FakeWorkspace>();
  std::shared_ptr<accessibility::FakeKeyEventPoster> keys =
      std::make_shared<accessibility::FakeKeyEventPoster>();
  std::shared_ptr<appkit::FakeFeedback> feedback = std::make_shared<appkit::FakeFeedback>();
  std::unique_ptr<AppDelegate> delegate;
};

// Runs the main queue's blocks, and those they post, until none is left.
void drainMainQueue() {
  while (foundation::DispatchQueue::main().drain() > 0) {
  }
}

void writeFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

TEST_F(AppDelegateTests, FirstLaunchOpensOnboardingAfterStoringTheFlagAndBeforeTheTrustCheck) {
  makeDelegate();
  launchAndCaptureStdout();
  EXPECT_EQ(log, (std::vector<std::string>{"status item wand.and.stars Quillcast",
                                           "open scene, firstTime stored false", "trust check",
                                           "panel"}));
  EXPECT_EQ(desktop->opened, std::vector<Scene>{Scene::onboarding});

  // The next start is no first launch.
  delegate.reset();
  log.clear();
  desktop = std::make_shared<RecordingDesktop>();
  makeDelegate();
  launchAndCaptureStdout();
  EXPECT_TRUE(desktop->opened.empty());
}

TEST_F(AppDelegateTests, UntrustedLaunchSaysSoAndStillBuildsThePanelAndItsHotKey) {
  desktop->bus = accessibility::AccessibilityBus::disabled;
  makeDelegate();
  ::testing::internal::CaptureStdout();
  delegate->applicationDidFinishLaunching();
  foundation::MainRunLoop::runUntil([&] { return !feedback->alerts.empty(); }, 5s);
  EXPECT_NE(::testing::internal::GetCapturedStdout().find("Not trusted\n"), std::string::npos);
  ASSERT_NE(delegate->floatingPanel(), nullptr);
  EXPECT_EQ(delegate->coreAppModel->FloatingViewPanel.get().get(),
            &delegate->floatingPanel()->panel());
  EXPECT_EQ(desktop->window->title, "Quillcast Floating");
  EXPECT_TRUE(HotKeys::isRegistered(showFloatingPanelName()));
  const auto shortcut = showFloatingPanelName().shortcut();
  ASSERT_TRUE(shortcut);
  EXPECT_EQ(shortcut->carbonKeyCode, 49);       // the space bar
  EXPECT_EQ(shortcut->carbonModifiers, 0x800);  // Alt (option)
}

TEST_F(AppDelegateTests, ABusSwitchedOffIsOfferedOnceAndTurnedOnWhenTheUserAgrees) {
  desktop->bus = accessibility::AccessibilityBus::disabled;
  makeDelegate();
  launchAndCaptureStdout();
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return desktop->enableRequests > 0; }, 5s));
  ASSERT_EQ(feedback->alerts.size(), 1u);
  const auto& offer = feedback->alerts.front();
  EXPECT_EQ(offer.buttons, (std::vector<std::string>{"Turn On", "Not Now"}));
  EXPECT_NE(offer.informativeText.find("only after you restart them"), std::string::npos);
  drainMainQueue();
  EXPECT_EQ(desktop->bus, accessibility::AccessibilityBus::enabled);
  // Turned on: nothing more is said.
  EXPECT_EQ(feedback->alerts.size(), 1u);
  EXPECT_EQ(desktop->enableRequests, 1);
}

TEST_F(AppDelegateTests, NotNowLeavesTheBusOffAndIsNotAskedAgainThisStart) {
  desktop->bus = accessibility::AccessibilityBus::disabled;
  feedback->responses = {appkit::Alert::firstButtonReturn + 1};
  makeDelegate();
  launchAndCaptureStdout();
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return !feedback->alerts.empty(); }, 5s));
  // The panel opens and closes as usual; nothing asks again.
  pressHotKey();
  ASSERT_TRUE(panelOpensAfterItsCapture());
  pressHotKey();
  drainMainQueue();
  EXPECT_EQ(feedback->alerts.size(), 1u);
  EXPECT_EQ(desktop->enableRequests, 0);
  EXPECT_EQ(desktop->bus, accessibility::AccessibilityBus::disabled);
}

TEST_F(AppDelegateTests, ABusThatWouldNotTurnOnIsSaidAndOneOnOrAbsentIsNotOffered) {
  desktop->bus = accessibility::AccessibilityBus::disabled;
  desktop->enables = false;
  makeDelegate();
  launchAndCaptureStdout();
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return feedback->alerts.size() == 2; }, 5s));
  EXPECT_EQ(feedback->alerts[1].messageText, "Accessibility could not be turned on");

  for (const auto state :
       {accessibility::AccessibilityBus::enabled, accessibility::AccessibilityBus::absent}) {
    delegate.reset();
    log.clear();
    feedback->alerts.clear();
    desktop = std::make_shared<RecordingDesktop>();
    desktop->bus = state;
    makeDelegate();
    ::testing::internal::CaptureStdout();
    delegate->applicationDidFinishLaunching();
    drainMainQueue();
    EXPECT_EQ(::testing::internal::GetCapturedStdout().find("Not trusted"), std::string::npos);
    EXPECT_TRUE(feedback->alerts.empty());
  }
}

TEST_F(AppDelegateTests, TrayMenuHasItsItemsShortcutsAndActions) {
  makeDelegate();
  launchAndCaptureStdout();
  const auto& items = desktop->menu.items();
  ASSERT_EQ(items.size(), 5u);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Get Started", "1"}, {"Prompt Editor", "2"}, {"Settings", "3"}, {"", ""}, {"Quit", "q"}};
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].title, expected[i].first);
    EXPECT_EQ(items[i].keyEquivalent.key, expected[i].second);
    if (!items[i].isSeparator) {
      EXPECT_EQ(items[i].keyEquivalent.modifiers.rawValue, appkit::ModifierFlags::control);
    }
  }
  EXPECT_TRUE(items[3].isSeparator);
  desktop->opened.clear();
  for (std::size_t i : {0u, 1u, 2u, 4u}) items[i].action();
  EXPECT_EQ(desktop->opened,
            (std::vector<Scene>{Scene::onboarding, Scene::promptEditor, Scene::settings}));
  EXPECT_EQ(desktop->terminations, 1);
}

TEST_F(AppDelegateTests, HotKeyOpensWithACaptureAndClosesWithoutOne) {
  makeDelegate();
  launchAndCaptureStdout();
  const appkit::RunningApplication editor{4242, 77};
  workspace->setFrontmostApplication(editor);
  // With the copy keystroke each capture is visible as posted key events.
  delegate->userDefaults().set("useCopyHack", true);
  ::testing::internal::CaptureStdout();
  // The panel shows once the keystroke has gone to the editor, never before.
  std::size_t postedWhenOpened = 0;
  pressHotKey();
  EXPECT_TRUE(foundation::MainRunLoop::runUntil(
      [&] {
        const bool open = delegate->floatingPanel()->panel().isOpen();
        if (open) postedWhenOpened = keys->posted().size();
        return open;
      },
      5s));
  EXPECT_EQ(postedWhenOpened, 2u);
  EXPECT_TRUE(foundation::MainRunLoop::runUntil(
      [&] { return delegate->coreAppModel->capturesInFlight() == 0; }, 5s));
  const std::size_t eventsAfterOpening = keys->posted().size();
  EXPECT_EQ(workspace->rememberedApplication(), editor);
  EXPECT_GE(eventsAfterOpening, 1u);
  pressHotKey();
  foundation::MainRunLoop::runUntil([&] { return delegate->coreAppModel->capturesInFlight() == 0; },
                                    5s);
  foundation::MainRunLoop::runFor(30ms);
  EXPECT_FALSE(delegate->floatingPanel()->panel().isOpen());
  EXPECT_EQ(keys->posted().size(), eventsAfterOpening);
  const std::string out = ::testing::internal::GetCapturedStdout();
  std::size_t presses = 0;
  for (std::size_t at = 0;
       (at = out.find("Keyboard shortcut was pressed!\n", at)) != std::string::npos; ++at)
    ++presses;
  EXPECT_EQ(presses, 2u);
}

TEST_F(AppDelegateTests, ADestroyedDelegatesHotKeyHandlerNoLongerRuns) {
  makeDelegate();
  launchAndCaptureStdout();
  ASSERT_TRUE(HotKeys::isRegistered(showFloatingPanelName()));
  // Gone: its hot key goes back to the desktop.
  delegate.reset();
  EXPECT_FALSE(HotKeys::isRegistered(showFloatingPanelName()));
  EXPECT_EQ(hotKeys->registrationCount(), 0u);

  // The next delegate of the same process answers the key alone, once.
  makeDelegate();
  launchAndCaptureStdout();
  ::testing::internal::CaptureStdout();
  pressHotKey();
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("Keyboard shortcut was pressed!"),
            out.rfind("Keyboard shortcut was pressed!"));
  EXPECT_NE(out.find("Keyboard shortcut was pressed!"), std::string::npos);
  EXPECT_TRUE(foundation::MainRunLoop::runUntil(
      [&] { return delegate->floatingPanel()->panel().isOpen(); }, 5s));
  foundation::MainRunLoop::runUntil([&] { return delegate->coreAppModel->capturesInFlight() == 0; },
                                    5s);
}

TEST_F(AppDelegateTests, TheHotKeyHandsTheTimeOfItsReleaseToThePanelItOpens) {
  makeDelegate();
  launchAndCaptureStdout();
  ::testing::internal::CaptureStdout();
  pressHotKey(41000, 41230);
  ASSERT_TRUE(panelOpensAfterItsCapture());
  EXPECT_EQ(desktop->window->userTime, 41230u);
  pressHotKey(50000, 50100);
  EXPECT_FALSE(delegate->floatingPanel()->panel().isOpen());
  ::testing::internal::GetCapturedStdout();
  foundation::MainRunLoop::runUntil([&] { return delegate->coreAppModel->capturesInFlight() == 0; },
                                    5s);
}

TEST_F(AppDelegateTests, ATakenHotKeyPutsThePanelInTheTrayMenu) {
  hotKeys->takenElsewhere.insert({49, 0x800});  // Alt+Space, held by the window manager
  makeDelegate();
  launchAndCaptureStdout();
  const auto& items = desktop->menu.items();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0].title, kOpenPanelMenuTitle);
  items[0].action();
  EXPECT_TRUE(panelOpensAfterItsCapture());
}

TEST_F(AppDelegateTests, TheTrayMenuOffersThePanelWheneverTheRecordedHotKeyIsNotRegistered) {
  hotKeys->takenElsewhere.insert({49, 0x800});  // Alt+Space, held by the window manager
  makeDelegate();
  launchAndCaptureStdout();
  ASSERT_EQ(desktop->menu.items().size(), 6u);

  const auto name = showFloatingPanelName();
  using HotKeys::ModifierFlags;
  HotKeys::setShortcut(HotKeys::Shortcut(HotKeys::Key::k, ModifierFlags(ModifierFlags::control |
                                                                        ModifierFlags::option)),
                       name);
  ASSERT_TRUE(HotKeys::isRegistered(name));
  EXPECT_EQ(desktop->menu.items().size(), 5u);
  EXPECT_EQ(desktop->menu.items()[0].title, "Get Started");

  // A key another program holds, or none at all, puts the entry back.
  HotKeys::setShortcut(HotKeys::Shortcut(HotKeys::Key::space, ModifierFlags(ModifierFlags::option)),
                       name);
  ASSERT_EQ(desktop->menu.items().size(), 6u);
  EXPECT_EQ(desktop->menu.items()[0].title, kOpenPanelMenuTitle);
  HotKeys::setShortcut(std::nullopt, name);
  EXPECT_EQ(desktop->menu.items()[0].title, kOpenPanelMenuTitle);
  desktop->menu.items()[0].action();
  EXPECT_TRUE(panelOpensAfterItsCapture());
}

TEST_F(AppDelegateTests, AStartWithoutALinkOpensThePanelAndLeavesAnOpenOneOpen) {
  makeDelegate();
  launchAndCaptureStdout();
  ::testing::internal::CaptureStdout();
  delegate->applicationShouldHandleReopen();
  EXPECT_TRUE(panelOpensAfterItsCapture());
  delegate->applicationShouldHandleReopen();
  foundation::MainRunLoop::runUntil([&] { return delegate->coreAppModel->capturesInFlight() == 0; },
                                    5s);
  EXPECT_TRUE(delegate->floatingPanel()->panel().isOpen());
  ::testing::internal::GetCapturedStdout();
}

TEST_F(AppDelegateTests, TheLaunchTellsTheWayInThisDesktopOffers) {
  auto launch = [&](bool tray) {
    desktop->tray = tray;
    makeDelegate();
    ::testing::internal::CaptureStderr();
    launchAndCaptureStdout();
    return ::testing::internal::GetCapturedStderr();
  };
  // A tray and a free key: nothing to tell.
  EXPECT_EQ(launch(true).find("opens the panel"), std::string::npos);
  EXPECT_EQ(delegate->panelAccess->access.get(),
            (PanelAccess{showFloatingPanelName().shortcut(), true, true}));
  delegate.reset();
  EXPECT_NE(launch(false).find("Quillcast: Alt+Space opens the panel\n"), std::string::npos);
  delegate.reset();

  hotKeys->takenElsewhere.insert({49, 0x800});  // Alt+Space, held by the window manager
  std::string said = launch(false);
  EXPECT_NE(said.find("Quillcast: the hot key Alt+Space is taken by another program: start "
                      "Quillcast again to open the panel\n"),
            std::string::npos)
      << said;
  EXPECT_EQ(said.find("tray"), std::string::npos) << said;
  EXPECT_FALSE(delegate->panelAccess->access->hotKeyWorks);
  delegate.reset();
  said = launch(true);
  EXPECT_NE(said.find("\"Open Quillcast\" in the tray menu opens the panel, as does starting "
                      "Quillcast again"),
            std::string::npos)
      << said;

  // A key recorded later is told to the onboarding.
  using HotKeys::ModifierFlags;
  const HotKeys::Shortcut ctrlAltK(HotKeys::Key::k,
                                   ModifierFlags(ModifierFlags::control | ModifierFlags::option));
  HotKeys::setShortcut(ctrlAltK, showFloatingPanelName());
  EXPECT_EQ(delegate->panelAccess->access.get(), (PanelAccess{ctrlAltK, true, true}));
}

TEST_F(AppDelegateTests, TheRecorderRefusesTheTrayMenusKeysAndTheEditingKeys) {
  using HotKeys::Key;
  using Flags = HotKeys::ModifierFlags;
  makeDelegate();
  launchAndCaptureStdout();
  auto feedback = std::make_shared<appkit::FakeFeedback>();
  auto services = settingsRecorderServices(feedback, [this] { return delegate->setupMenus(); });
  HotKeys::RecorderEffects effects;
  effects.beep = services->beep;
  effects.alert = services->alert;
  effects.menuItemTitleUsing = services->menuItemTitleUsing;
  const HotKeys::Name name("recorded");
  HotKeys::RecorderController recorder(name, {}, effects);
  recorder.focusGained();
  auto press = [&](Key key, std::uint64_t flags) {
    HotKeys::InputEvent event;
    event.keyCode = key.rawValue;
    event.modifierFlags = Flags(flags);
    recorder.handleRecordingEvent(event, {0, 0, 130, 22});
  };

  const std::uint64_t ctrl = Flags::control, shift = Flags::shift;
  const std::vector<std::tuple<Key, std::uint64_t, std::string>> refused = {
      {Key::one, ctrl, "Get Started"}, {Key::two, ctrl, "Prompt Editor"},
      {Key::three, ctrl, "Settings"},  {Key::q, ctrl, "Quit"},
      {Key::z, ctrl, "Undo"},          {Key::z, ctrl | shift, "Redo"},
      {Key::y, ctrl, "Redo"},          {Key::x, ctrl, "Cut"},
      {Key::c, ctrl, "Copy"},          {Key::v, ctrl, "Paste"},
      {Key::a, ctrl, "Select All"}};
  for (const auto& [key, flags, title] : refused) {
    SCOPED_TRACE(title);
    const std::size_t before = feedback->alerts.size();
    press(key, flags);
    ASSERT_EQ(feedback->alerts.size(), before + 1);
    EXPECT_EQ(feedback->alerts.back().messageText,
              HotKeys::formatted(HotKeys::localized("keyboard_shortcut_used_by_menu_item"), title));
    EXPECT_FALSE(name.shortcut());
    EXPECT_TRUE(recorder.isRecording()) << "recording again after the alert";
  }

  // Other modifiers on the same keys are free.
  for (auto [key, flags] : std::vector<std::pair<Key, std::uint64_t>>{
           {Key::c, ctrl | shift}, {Key::c, Flags::command}, {Key::q, ctrl | Flags::option}}) {
    const std::size_t before = feedback->alerts.size();
    press(key, flags);
    EXPECT_EQ(feedback->alerts.size(), before);
    EXPECT_EQ(name.shortcut(), HotKeys::Shortcut(key, Flags(flags)));
    recorder.focusGained();
  }
  EXPECT_EQ(feedback->beeps, 0);
}

TEST_F(AppDelegateTests, HandedURLsOpenScenesByHostAndImportPresets) {
  makeDelegate();
  launchAndCaptureStdout();
  desktop->opened.clear();
  const std::size_t before = delegate->coreAppModel->prompts().size();
  ::testing::internal::CaptureStdout();
  const std::string import =
      "quillcast://import?data=%7B%22emoji%22%3A%22a%22%2C%22name%22%3A%22n%22"
      "%2C%22prompt%22%3A%22p%22%7D";
  delegate->application({import, "quillcast://promptEditor", "quillcast://nothing", import});
  EXPECT_EQ(desktop->opened, (std::vector<Scene>{Scene::promptEditor, Scene::promptEditor}));
  // The window's link carries no preset and ends the import there.
  EXPECT_EQ(delegate->coreAppModel->prompts().size(), before + 1);
  desktop->opened.clear();
  delegate->application({"quillcast://promptEditor", import});
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(desktop->opened, std::vector<Scene>{Scene::promptEditor});
  EXPECT_EQ(delegate->coreAppModel->prompts().size(), before + 1);
  EXPECT_FALSE(delegate->open("https://example.org"));  // no browser in this test
}

TEST_F(AppDelegateTests, FilesSetAsideAtStartAreNamedInOneAlertOnceLaunched) {
  writeFile(home.config() / "Quillcast" / "defaults.json", R"({"openapikey": "sk-)");
  writeFile(home.documents() / "Quillcast" / "QuillcastHistory.json", R"([{"topic": 1}])");
  ::testing::internal::CaptureStderr();
  makeDelegate();
  ::testing::internal::GetCapturedStderr();
  launchAndCaptureStdout();
  // Shown from the main queue, over the windows that launching opened.
  EXPECT_TRUE(feedback->alerts.empty());
  ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return !feedback->alerts.empty(); }, 5s));
  foundation::MainRunLoop::runFor(30ms);
  ASSERT_EQ(feedback->alerts.size(), 1u);
  const auto settings = delegate->userDefaults().unreadableFile();
  const auto& documents = delegate->coreAppModel->documents().unreadableFiles();
  ASSERT_TRUE(settings && settings->copy);
  ASSERT_EQ(documents.size(), 1u);
  ASSERT_TRUE(documents[0].copy);
  const std::string& told = feedback->alerts[0].informativeText;
  EXPECT_NE(told.find(settings->copy->string()), std::string::npos) << told;
  EXPECT_NE(told.find(documents[0].copy->string()), std::string::npos) << told;
  EXPECT_LT(told.find("Your settings"), told.find("Your chat history")) << told;

  // The next start finds sound files and says nothing.
  delegate.reset();
  feedback->alerts.clear();
  foundation::UserDefaults::resetStandard();  // a new process reads its settings afresh
  makeDelegate();
  launchAndCaptureStdout();
  foundation::MainRunLoop::runFor(50ms);
  EXPECT_TRUE(feedback->alerts.empty());
}

TEST_F(AppDelegateTests, SavesThatFailAreToldOncePerStreak) {
  // Before the model, so that the thread that writes its files is held to the permissions too.
  testsupport::ScopedPermissionChecks checked;
  ASSERT_TRUE(checked.binding());
  makeDelegate();
  launchAndCaptureStdout();
  auto& model = *delegate->coreAppModel;
  const auto folder = home.documents() / "Quillcast";
  const std::vector<core::ChatMessage> chat{core::ChatMessage::make("user", "q"),
                                            core::ChatMessage::make("assistant", "a")};
  ASSERT_TRUE(model.documents().waitForWrites());
  ::chmod(folder.c_str(), 0500);
  ::testing::internal::CaptureStdout();
  for (int i = 0; i < 3; ++i) model.saveHistoryWithDateTitle(chat, -1);
  EXPECT_FALSE(model.documents().waitForWrites());
  foundation::MainRunLoop::runFor(50ms);
  ASSERT_EQ(feedback->alerts.size(), 1u);
  EXPECT_EQ(feedback->alerts[0].messageText, "Quillcast could not save your chat history");
  EXPECT_NE(feedback->alerts[0].informativeText.find((folder / "QuillcastHistory.json").string()),
            std::string::npos);

  ::chmod(folder.c_str(), 0700);
  model.saveHistoryWithDateTitle(chat, -1);
  EXPECT_TRUE(model.documents().waitForWrites());
  ::chmod(folder.c_str(), 0500);
  model.saveHistoryWithDateTitle(chat, -1);
  EXPECT_FALSE(model.documents().waitForWrites());
  foundation::MainRunLoop::runFor(50ms);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(feedback->alerts.size(), 2u);
  ::chmod(folder.c_str(), 0700);
}

}  // namespace
}  // namespace shell
