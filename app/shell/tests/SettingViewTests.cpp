#include <gtest/gtest.h>

#include "RecordingOpener.h"

#include <functional>
#include <string>
#include <vector>

#include "FakeWidgetFactory.h"
#include "HotKeys/CarbonHotKeys.h"
#include "HotKeys/HotKeys.h"
#include "carbon/FakeHotKeyService.h"
#include "foundation/DispatchQueue.h"
#include "shell/AppDelegate.h"
#include "shell/CheckForUpdatesViewModel.h"
#include "shell/ProductSite.h"
#include "shell/SettingView.h"
#include "testsupport/ScopedHome.h"
#include "ui/FakeTextMeasurer.h"
#include "ui/Views.h"

namespace shell {
namespace {

struct FakeUpdater : updater::Updater {
  bool can = false;
  int checks = 0;
  std::vector<std::function<void(bool)>> observers;

  bool canCheckForUpdates() const override { return can; }
  foundation::Cancellable observeCanCheckForUpdates(std::function<void(bool)> observer) override {
    observer(can);
    observers.push_back(std::move(observer));
    return foundation::Cancellable([this] { observers.clear(); });
  }
  void checkForUpdates() override { ++checks; }
  void publish(bool value) {
    can = value;
    for (auto& o : observers) o(value);
  }
};

class SettingViewTests : public ::testing::Test {
 protected:
  SettingViewTests() {
    HotKeys::resetForTesting();
    HotKeys::CarbonHotKeys::setService(hotKeys);
  }
  ~SettingViewTests() override {
    host.reset();
    HotKeys::resetForTesting();
    HotKeys::CarbonHotKeys::setService(nullptr);
  }

  foundation::UserDefaults& defaults() { return foundation::UserDefaults::standard(); }

  ui::ViewHost& show() {
    SettingViewServices services;
    services.opener = &opener;
    services.version = "0.1.0 build 1";
    host = std::make_unique<ui::ViewHost>(ui::AnyView(SettingView(&updater, services)),
                                          std::make_shared<ui::FakeTextMeasurer>());
    host->setWidgetFactory(widgets);
    host->setProposal({560, std::nullopt});
    host->update(true);
    return *host;
  }
  bool shows(std::string_view id) {
    host->update();
    return host->frameOf(id).has_value();
  }
  void click(std::string_view id) {
    host->update();
    const auto r = host->frameOf(id);
    ASSERT_TRUE(r) << id;
    const auto event = ui::PointerEvent::at({r->midX(), r->midY()}, 1);
    host->pointerPressed(event);
    host->pointerReleased(event);
    host->update();
  }
  ui::ComboBoxWidget& picker() {
    host->update();
    auto* combo = widgets->description<ui::ComboBoxWidget>(settingIds::kModelPicker);
    EXPECT_NE(combo, nullptr);
    return *combo;
  }
  void typeKey(const std::string& key) {
    host->update();
    auto* field = widgets->description<ui::TextFieldWidget>(settingIds::kAPIKeyField);
    ASSERT_NE(field, nullptr);
    field->text.set(key);
    host->update();
  }
  std::string storedModel() { return defaults().stringForKey("model").value_or("(none)"); }

  testsupport::ScopedHome home;
  std::shared_ptr<carbon::FakeHotKeyService> hotKeys =
      std::make_shared<carbon::FakeHotKeyService>();
  std::shared_ptr<panel::testing::FakeWidgetFactory> widgets =
      std::make_shared<panel::testing::FakeWidgetFactory>();
  FakeUpdater updater;
  RecordingOpener opener;
  std::unique_ptr<ui::ViewHost> host;
};

TEST_F(SettingViewTests, KeyDecidesTheOfferedModelsTheNoticeAndClearingFallsBack) {
  show();
  EXPECT_EQ(picker().items, std::vector<std::string>{"gpt-3.5-turbo"});
  EXPECT_FALSE(shows(settingIds::kOwnKeyNotice));
  EXPECT_FALSE(defaults().has("model"));  // showing the window writes nothing

  typeKey("sk-1");
  EXPECT_EQ(defaults().stringForKey("openapikey"), "sk-1");
  EXPECT_EQ(picker().items.size(), 4u);
  EXPECT_TRUE(shows(settingIds::kOwnKeyNotice));

  picker().selection.set("gpt-4-32k");
  EXPECT_EQ(storedModel(), "gpt-4-32k");
  EXPECT_TRUE(shows(settingIds::kGPT4Warning));
  typeKey("sk-12");  // a changed key keeps the model
  EXPECT_EQ(storedModel(), "gpt-4-32k");

  typeKey("");
  EXPECT_EQ(storedModel(), "gpt-3.5-turbo");
  EXPECT_EQ(picker().items.size(), 1u);
  EXPECT_FALSE(shows(settingIds::kOwnKeyNotice));
  EXPECT_FALSE(shows(settingIds::kGPT4Warning));
}

// The notice takes a place kept for it: typing the key moves nothing under the pointer.
TEST_F(SettingViewTests, TypingTheKeyMovesNeitherTheFieldNorThePicker) {
  show();
  host->update();
  const auto field = host->frameOf(settingIds::kAPIKeyField);
  const auto picker = host->frameOf(settingIds::kModelPicker);
  ASSERT_TRUE(field && picker);
  for (const std::string key : {"s", "sk-1", ""}) {
    typeKey(key);
    EXPECT_EQ(host->frameOf(settingIds::kAPIKeyField), field) << "after \"" << key << "\"";
    EXPECT_EQ(host->frameOf(settingIds::kModelPicker), picker) << "after \"" << key << "\"";
  }
}

TEST_F(SettingViewTests, TheKeyFieldKeepsItsWidgetAndTheKeyboardWhileTheNoticeComesAndGoes) {
  show();
  ASSERT_TRUE(host->focus(settingIds::kAPIKeyField));
  auto* field = widgets->find(settingIds::kAPIKeyField);
  ASSERT_NE(field, nullptr);

  // The first keystroke brings the notice above the field, a cleared key takes it away.
  for (const std::string key : {"s", "sk", "sk-", "", "x", "xy"}) {
    typeKey(key);
    EXPECT_EQ(widgets->find(settingIds::kAPIKeyField), field) << "after \"" << key << "\"";
    EXPECT_EQ(host->focusedId(), ui::Identity(settingIds::kAPIKeyField));
  }
  EXPECT_EQ(defaults().stringForKey("openapikey"), "xy");

  // The warning comes and goes below the field; the picker keeps its widget too.
  auto* combo = widgets->find(settingIds::kModelPicker);
  picker().selection.set("gpt-4");
  EXPECT_TRUE(shows(settingIds::kGPT4Warning));
  picker().selection.set("gpt-3.5-turbo");
  EXPECT_EQ(widgets->find(settingIds::kModelPicker), combo);
}

TEST_F(SettingViewTests, ThePickerNeverRewritesAStoredModelItDoesNotOffer) {
  defaults().set("model", "gpt-4");  // stored earlier, now without a key
  show();
  EXPECT_EQ(picker().items.size(), 1u);
  EXPECT_EQ(picker().selection.get(), "gpt-4");
  EXPECT_TRUE(shows(settingIds::kGPT4Warning));
  EXPECT_EQ(storedModel(), "gpt-4");

  defaults().set("model", "gpt-3.5-turbo-16k");  // written elsewhere: the window follows
  EXPECT_FALSE(shows(settingIds::kGPT4Warning));
  EXPECT_EQ(picker().selection.get(), "gpt-3.5-turbo-16k");
}

TEST_F(SettingViewTests, VersionLinksAndCopyMethod) {
  show();
  EXPECT_EQ(host->dump().find("Version: 0.1.0 build 1") != std::string::npos, true);

  ::testing::internal::CaptureStdout();
  click(settingIds::kTutorial);
  click(settingIds::kSiteLink);
  opener.succeeds = false;
  click(settingIds::kTutorial);
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(opener.opened, (std::vector<std::string>{productPage("/tutorial"), productPage(""),
                                                     productPage("/tutorial")}));
  EXPECT_EQ(printed, "Successfully opened\nSuccessfully opened\n");

  click(settingIds::kPromptEditor);
  EXPECT_EQ(opener.opened.back(), "quillcast://promptEditor");

  EXPECT_FALSE(defaults().boolForKey("useCopyHack"));
  // The toggle says what it does, right under it.
  const auto toggle = host->frameOf(settingIds::kUseCopyHack);
  const auto note = host->frameOf(settingIds::kUseCopyHackNote);
  ASSERT_TRUE(toggle && note);
  EXPECT_LE(toggle->maxY(), note->y);
  EXPECT_LT(note->y - toggle->maxY(), 10);
  EXPECT_NE(host->dump().find("\"Sends Ctrl+C to the window in front"), std::string::npos);
  click(settingIds::kUseCopyHack);
  EXPECT_TRUE(defaults().boolForKey("useCopyHack"));
  click(settingIds::kUseCopyHack);
  EXPECT_FALSE(defaults().boolForKey("useCopyHack"));
  EXPECT_TRUE(defaults().has("useCopyHack"));
}

TEST_F(SettingViewTests, TabReachesEveryControlInReadingOrderAndShiftTabGoesBack) {
  updater.can = true;
  show();
  auto step = [&](bool back) {
    EXPECT_TRUE(host->keyPressed(ui::KeyEvent::of(ui::Key::tab, {.shift = back})));
    host->update();
    return host->focusedId() ? host->focusedId()->description() : std::string("none");
  };
  const std::vector<std::string> reading{"(\"HotKeys.Recorder\", \"showFloatingPanel\")",
                                         "\"settings.launchAtLogin\"",
                                         "\"settings.promptEditor\"",
                                         "\"settings.apiKey\"",
                                         "\"settings.model\"",
                                         "\"settings.tutorial\"",
                                         "\"settings.checkForUpdates\"",
                                         "\"settings.useCopyHack\"",
                                         "\"settings.site\""};
  std::vector<std::string> forward, backward;
  for (std::size_t i = 0; i < reading.size(); ++i) forward.push_back(step(false));
  EXPECT_EQ(forward, reading);
  for (std::size_t i = 1; i < reading.size(); ++i) backward.push_back(step(true));
  EXPECT_EQ(backward, std::vector<std::string>(reading.rbegin() + 1, reading.rend()));
  // The recorder records while it has the focus, Shift+Tab too; Escape ends that, and the
  // focus goes round.
  EXPECT_EQ(step(true), reading.front());
  host->keyPressed(ui::KeyEvent::of(ui::Key::escape));
  EXPECT_EQ(step(true), reading.back());
  EXPECT_EQ(step(false), reading.front());
  // Space and Return work what has the focus.
  host->focus(settingIds::kUseCopyHack);
  EXPECT_TRUE(host->keyPressed(ui::KeyEvent::typing(" ")));
  EXPECT_EQ(defaults().boolForKey("useCopyHack"), true);
  host->focus(settingIds::kTutorial);
  EXPECT_TRUE(host->keyPressed(ui::KeyEvent::of(ui::Key::enter)));
  host->focus(settingIds::kSiteLink);
  EXPECT_TRUE(host->keyPressed(ui::KeyEvent::typing(" ")));
  EXPECT_EQ(opener.opened.size(), 2u);
  host->focus(settingIds::kCheckForUpdates);
  EXPECT_TRUE(host->keyPressed(ui::KeyEvent::of(ui::Key::enter)));
  EXPECT_EQ(updater.checks, 1);
}

TEST_F(SettingViewTests, UpdateButtonFollowsTheUpdater) {
  show();
  click(settingIds::kCheckForUpdates);
  EXPECT_EQ(updater.checks, 0);  // disabled until the updater says it can check

  updater.publish(true);
  click(settingIds::kCheckForUpdates);
  EXPECT_EQ(updater.checks, 1);

  updater.publish(false);
  click(settingIds::kCheckForUpdates);
  EXPECT_EQ(updater.checks, 1);

  CheckForUpdatesViewModel none(nullptr);
  EXPECT_FALSE(none.canCheckForUpdates.get());
}

TEST_F(SettingViewTests, AHotKeyTheDesktopRefusesIsToldOnceBesideTheRecorder) {
  // Alt+Space, held by the window manager; taken before the name is first declared.
  const std::optional<HotKeys::Shortcut> shortcut = HotKeys::Shortcut(
      HotKeys::Key::space, HotKeys::ModifierFlags(HotKeys::ModifierFlags::option));
  hotKeys->takenElsewhere.insert({static_cast<std::uint32_t>(shortcut->carbonKeyCode),
                                  static_cast<std::uint32_t>(shortcut->carbonModifiers)});
  HotKeys::onKeyUp(showFloatingPanelName(), [] {});
  foundation::DispatchQueue::main().drain();
  ASSERT_FALSE(HotKeys::isRegistered(showFloatingPanelName()));
  show();
  const std::string tree = host->dump();
  const std::string warning = "id=HotKeys.Recorder.warning";
  const auto first = tree.find(warning);
  ASSERT_NE(first, std::string::npos) << tree;
  EXPECT_EQ(tree.find(warning, first + 1), std::string::npos);
}

TEST_F(SettingViewTests, AHotKeyClearedInTheWindowStaysClearedAfterARestart) {
  HotKeys::onKeyUp(showFloatingPanelName(), [] {});
  ASSERT_TRUE(HotKeys::isRegistered(showFloatingPanelName()));
  show();
  click("HotKeys.Recorder.clear");
  EXPECT_FALSE(showFloatingPanelName().shortcut());
  EXPECT_EQ(hotKeys->registrationCount(), 0u);
  host.reset();

  // The next start reads the settings file afresh and declares the name with its default:
  // the user's choice stands, and nothing takes Alt+Space.
  defaults().synchronize();
  foundation::UserDefaults::resetStandard();
  HotKeys::resetForTesting();
  HotKeys::onKeyUp(showFloatingPanelName(), [] {});
  EXPECT_FALSE(showFloatingPanelName().shortcut());
  EXPECT_FALSE(HotKeys::isRegistered(showFloatingPanelName()));
  EXPECT_EQ(hotKeys->registrationCount(), 0u);
  show();
  EXPECT_NE(host->dump().find("Record Shortcut"), std::string::npos) << "an empty field";

  // Reset brings the default back.
  HotKeys::reset({showFloatingPanelName()});
  EXPECT_EQ(showFloatingPanelName().shortcut(),
            HotKeys::Shortcut(HotKeys::Key::space,
                              HotKeys::ModifierFlags(HotKeys::ModifierFlags::option)));
}

}  // namespace
}  // namespace shell
