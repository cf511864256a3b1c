#include <gtest/gtest.h>
#include <loginitem/Toggle.h>
#include <servicemanagement/FakeAutostart.h>
#include <ui/TextValue.h>
#include <ui/qt/Screenshot.h>

#include <QApplication>
#include <filesystem>

namespace {

struct SilentLog final : loginitem::Log {
  void error(std::string_view) override {}
};

QApplication& app() {
  static int argc = 1;
  static char name[] = "quill_loginitem_screenshots";
  static char* argv[] = {name, nullptr};
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

// Renders the toggle as the settings window shows it, off and on, into the build folder.
TEST(LoginItemToggleScreenshot, ShowsTheBoxAndTheLabel) {
  app();
  servicemanagement::FakeAutostart autostart;
  SilentLog log;
  auto observable = std::make_shared<LoginItem::Observable>(
      std::make_shared<loginitem::LoginItemControl>(autostart, log));
  const auto view = [&] {
    return ui::AnyView(LoginItem::Toggle(ui::Text::verbatim("Launch at login 😀"), observable))
        .padding(12);
  };
  std::filesystem::create_directories(QUILL_SCREENSHOT_DIR);
  const std::string dir = QUILL_SCREENSHOT_DIR;
  ui::qt::ScreenshotOptions options;
  options.scale = 2;
  const QImage off = ui::qt::renderView(view(), {}, options);
  observable->setEnabled(true);
  const QImage on = ui::qt::renderView(view(), {}, options);
  ASSERT_FALSE(off.isNull());
  EXPECT_GT(off.width(), off.height()) << "box and label side by side";
  EXPECT_NE(off, on) << "the check mark shows";
  EXPECT_TRUE(off.save(QString::fromStdString(dir + "/login-toggle-off.png")));
  EXPECT_TRUE(on.save(QString::fromStdString(dir + "/login-toggle-on.png")));
  for (auto scheme : {ui::ColorScheme::dark}) {
    options.scheme = scheme;
    EXPECT_TRUE(ui::qt::renderViewToPNG(view(), {}, dir + "/login-toggle-on-dark.png", options));
  }
}

}  // namespace
