// The settings window drawn offscreen by the Qt backend, written as PNG files for a person to
// look at: without a key, and with a key, GPT-4 chosen and a hot key another program holds.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <iostream>

#include "HotKeys/CarbonHotKeys.h"
#include "HotKeys/HotKeys.h"
#include "carbon/FakeHotKeyService.h"
#include "foundation/UserDefaults.h"
#include "shell/AppDelegate.h"
#include "shell/SettingView.h"
#include "testsupport/ScopedHome.h"
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

// Light and dark.
void shoot(const std::string& name) {
  NoOpener opener;
  SettingViewServices services;
  services.opener = &opener;
  const std::filesystem::path dir = QUILL_SCREENSHOT_DIR;
  std::filesystem::create_directories(dir);
  for (const auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    ui::qt::ScreenshotOptions options;
    options.scheme = scheme;
    const auto path =
        (dir / (name + (scheme == ui::ColorScheme::light ? "-light.png" : "-dark.png"))).string();
    ASSERT_TRUE(ui::qt::renderViewToPNG(SettingView(nullptr, services), {560.0, std::nullopt}, path,
                                        options));
    std::cout << "screenshot: " << path << "\n";
  }
}

TEST(SettingsScreenshots, WithoutAndWithAKey) {
  application();
  testsupport::ScopedHome home;
  auto hotKeys = std::make_shared<carbon::FakeHotKeyService>();
  HotKeys::resetForTesting();
  HotKeys::CarbonHotKeys::setService(hotKeys);
  shoot("settings");

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
  shoot("settings-key");

  HotKeys::resetForTesting();
  HotKeys::CarbonHotKeys::setService(nullptr);
}

}  // namespace
}  // namespace shell
