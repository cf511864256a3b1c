// The settings window drawn offscreen by the Qt backend, written as PNG files for a person to
// look at: without a key, and with a key, GPT-4 chosen and a hot key another program holds.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <iostream>
#include <map>

#include "HotKeys/CarbonHotKeys.h"
#include "HotKeys/HotKeys.h"
#include "carbon/FakeHotKeyService.h"
#include "foundation/UserDefaults.h"
#include "shell/AppDelegate.h"
#include "shell/SettingView.h"
#include "testsupport/ScopedHome.h"
#include "ui/ReadableColor.h"
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

// Light and dark; returns how many notices were looked at.
std::size_t shoot(const std::string& name) {
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

}  // namespace
}  // namespace shell
