#include <gtest/gtest.h>
#include <ui/qt/Screenshot.h>

#include <QApplication>
#include <filesystem>

#include "shell/OnboardingView.h"
#include "ui/ViewHost.h"

namespace {

QApplication& app() {
  static int argc = 1;
  static char name[] = "quill_shell_screenshots";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

// Both onboarding pages at the window's first size, light and dark, into the build folder.
TEST(OnboardingScreenshot, ShowsBothPages) {
  app();
  std::filesystem::create_directories(QUILL_SCREENSHOT_DIR);
  const std::string dir = QUILL_SCREENSHOT_DIR;
  for (auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
    ui::qt::ScreenshotOptions options;
    options.scheme = scheme;
    const std::string suffix = scheme == ui::ColorScheme::dark ? "-dark" : "";
    for (int page : {1, 2}) {
      EXPECT_TRUE(ui::qt::renderViewToPNG(
          shell::OnboardingView({}, page), ui::ProposedSize::of({1080, 640}),
          dir + "/onboarding-page" + std::to_string(page) + suffix + ".png", options));
    }
  }
}

// On a 1024×768 screen the window gets the work area less its title bar and borders.
TEST(OnboardingScreenshot, ReadsWellOnASmallScreen) {
  app();
  std::filesystem::create_directories(QUILL_SCREENSHOT_DIR);
  const std::string dir = QUILL_SCREENSHOT_DIR;
  for (int page : {1, 2}) {
    EXPECT_TRUE(ui::qt::renderViewToPNG(
        shell::OnboardingView({}, page), ui::ProposedSize::of({1022, 743}),
        dir + "/onboarding-page" + std::to_string(page) + "-1024x768.png", {}));
  }
}

}  // namespace
