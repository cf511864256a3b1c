// The settings window drawn offscreen by the Qt backend, written as PNG files for a person to
// look at: without a key; with a key, GPT-4 chosen and a hot key another program holds; with a
// long hot key, idle and recording; and the alert of a refused key.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>

#include "HotKeys/CarbonHotKeys.h"
#include "HotKeys/HotKeys.h"
#include "HotKeys/RecorderController.h"
#include "appkit/Alert.h"
#include "carbon/FakeHotKeyService.h"
#include "foundation/UserDefaults.h"
#include "shell/AppDelegate.h"
#include "shell/RecorderConflicts.h"
#include "shell/SettingView.h"
#include "testsupport/ScopedHome.h"
#include "ui/ReadableColor.h"
#include "ui/qt/SchemePalette.h"
#include "ui/qt/Screenshot.h"

namespace shell {
namespace {

QApplication& application() {
  static int argc = 1;
  static char name[] = "quill_shell_settings_screenshots";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct NoOpener : URLOpener {
  bool open(std::string_view) override { return false; }
};

constexpr const char* kNotices[] = {settingIds::kOwnKeyNotice, settingIds::kGPT4Warning,
                                    "HotKeys.Recorder.warning", settingIds::kUseCopyHackNote,
                                    settingIds::kSiteLink};

// What a picture showed: its drawing and where the notices stood.
struct Shown {
  ui::DisplayList list;
  std::map<std::string, ui::Rect> notices;
};

// The notices and warnings of the window read at 4.5:1 on it, at a size a person reads
// without effort.
void expectReadableNotices(const QImage& image, const Shown& shown, const std::string& name) {
  const QColor window = image.pixelColor(2, 2);
  const ui::Rgba background{window.redF(), window.greenF(), window.blueF(), 1};
  for (const auto& [id, frame] : shown.notices) {
    int runs = 0;
    for (const auto& run : shown.list.itemsOf<ui::DisplayItem::TextRun>()) {
      if (!frame.contains({run.frame.midX(), run.frame.midY()})) continue;
      ++runs;
      EXPECT_GE(ui::contrastRatio(run.color, background), ui::kReadableContrast)
          << name << " " << id << " \"" << run.text << "\"";
      EXPECT_GE(run.font.size, 12) << name << " " << id << " \"" << run.text << "\"";
    }
    EXPECT_GT(runs, 0) << name << " " << id;
  }
}

std::string pathOf(const std::string& name, ui::ColorScheme scheme) {
  const std::filesystem::path dir = QUILL_SCREENSHOT_DIR;
  std::filesystem::create_directories(dir);
  return (dir / (name + (scheme == ui::ColorScheme::light ? "-light.png" : "-dark.png"))).string();
}

// Light and dark, after `prepare` reached a state by clicks and keys; returns how many notices
// were looked at.
std::size_t shoot(const std::string& name, std::function<void(ui::ViewHost&)> prepare = {}) {
  NoOpener opener;
  SettingViewServices services;
  services.opener = &opener;
  const std::filesystem::path dir = QUILL_SCREENSHOT_DIR;
  std::filesystem::create_directories(dir);
  std::size_t notices = 0;
  for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    const std::string file = name + (scheme == ui::ColorScheme::light ? "-light" : "-dark");
    ui::qt::ScreenshotOptions options;
    options.scheme = scheme;
    Shown shown;
    options.prepare = [&](ui::ViewHost& host) {
      if (prepare) {
        prepare(host);
        host.update();
      }
      shown.list = host.render();
      for (const char* id : kNotices)
        if (auto frame = host.frameOf(id)) shown.notices[id] = *frame;
    };
    const auto path = (dir / (file + ".png")).string();
    const QImage image =
        ui::qt::renderView(SettingView(nullptr, services), {560.0, std::nullopt}, options);
    EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
    std::cout << "screenshot: " << path << "\n";
    expectReadableNotices(image, shown, file);
    notices += shown.notices.size();
  }
  return notices;
}

TEST(SettingsScreenshots, WithoutAndWithAKey) {
  application();
  testsupport::ScopedHome home;
  auto hotKeys = std::make_shared<carbon::FakeHotKeyService>();
  HotKeys::resetForTesting();
  HotKeys::CarbonHotKeys::setService(hotKeys);
  EXPECT_EQ(shoot("settings"), 2u * 2) << "the copy-hack note and the site link";

  // Registrations start afresh, as in a program started while the key is held elsewhere.
  HotKeys::resetForTesting();
  HotKeys::CarbonHotKeys::setService(hotKeys);
  const HotKeys::Shortcut altSpace(HotKeys::Key::space,
                                   HotKeys::ModifierFlags(HotKeys::ModifierFlags::option));
  hotKeys->takenElsewhere.insert({static_cast<std::uint32_t>(altSpace.carbonKeyCode),
                                  static_cast<std::uint32_t>(altSpace.carbonModifiers)});
  HotKeys::onKeyUp(showFloatingPanelName(), [] {});
  auto& defaults = foundation::UserDefaults::standard();
  defaults.set("openapikey", "sk-example");
  defaults.set("model", "gpt-4-32k");
  EXPECT_EQ(shoot("settings-key"), 2u * 5) << "every notice and warning";

  HotKeys::resetForTesting();
  HotKeys::CarbonHotKeys::setService(nullptr);
}

TEST(SettingsScreenshots, RecordingALongShortcutAndARefusedKey) {
  application();
  testsupport::ScopedHome home;
  auto hotKeys = std::make_shared<carbon::FakeHotKeyService>();
  HotKeys::resetForTesting();
  HotKeys::CarbonHotKeys::setService(hotKeys);
  using Flags = HotKeys::ModifierFlags;
  HotKeys::setShortcut(
      HotKeys::Shortcut(HotKeys::Key::space, Flags(Flags::control | Flags::option)),
      showFloatingPanelName());
  shoot("settings-long-shortcut");
  shoot("settings-recording", [](ui::ViewHost& host) {
    host.focus(ui::Identity::pair("HotKeys.Recorder", "showFloatingPanel"));
  });

  // The alert a refused key brings up, as the desktop shows it in either scheme.
  for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    QApplication::setPalette(ui::qt::schemePalette(scheme, *QApplication::style()));
    auto services = settingsRecorderServices(std::make_shared<appkit::DesktopFeedback>(), {});
    HotKeys::RecorderEffects effects;
    effects.alert = services->alert;
    effects.menuItemTitleUsing = services->menuItemTitleUsing;
    HotKeys::RecorderController recorder(showFloatingPanelName(), {}, effects);
    recorder.focusGained();
    const std::string path = pathOf("settings-refused-key", scheme);
    bool shot = false;
    QTimer::singleShot(0, [&] {
      QWidget* alert = QApplication::activeModalWidget();
      if (!alert) return;
      shot = alert->grab().save(QString::fromStdString(path));
      alert->close();
    });
    HotKeys::InputEvent copy;
    copy.keyCode = HotKeys::Key::c.rawValue;
    copy.modifierFlags = Flags(Flags::control);
    recorder.handleRecordingEvent(copy, {});
    EXPECT_TRUE(shot);
    std::cout << "screenshot: " << path << "\n";
  }
  QApplication::setPalette(QPalette());
  HotKeys::resetForTesting();
  HotKeys::CarbonHotKeys::setService(nullptr);
}

}  // namespace
}  // namespace shell
