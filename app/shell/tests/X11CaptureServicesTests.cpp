#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "accessibility/FakeKeyEventPoster.h"
#include "appkit/FakePasteboard.h"
#include "shell/X11CaptureServices.h"

namespace shell {
namespace {

TEST(X11CaptureServicesTest, KeepsWhatItIsGivenAndWithoutADisplayIsNotTrusted) {
  const char* display = std::getenv("DISPLAY");
  const std::optional<std::string> saved =
      display ? std::optional<std::string>(display) : std::nullopt;
  ::setenv("DISPLAY", ":9999", 1);  // nothing listens there

  auto pasteboard = std::make_shared<appkit::FakePasteboard>();
  auto keys = std::make_shared<accessibility::FakeKeyEventPoster>();
  const auto services = x11CaptureServices({.pasteboard = pasteboard, .keyEventPoster = keys});
  EXPECT_EQ(services.pasteboard, pasteboard);
  EXPECT_EQ(services.keyEventPoster, keys);
  ASSERT_NE(services.workspace, nullptr);
  ASSERT_NE(services.accessibility, nullptr);
  EXPECT_FALSE(services.accessibility->isProcessTrusted());
  EXPECT_EQ(services.workspace->frontmostApplication(), std::nullopt);

  if (saved) {
    ::setenv("DISPLAY", saved->c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
}

TEST(X11CaptureServicesTest, ThePasteboardLeftEmptyIsTheGeneralOne) {
  auto keys = std::make_shared<accessibility::FakeKeyEventPoster>();
  const auto services = x11CaptureServices({.keyEventPoster = keys});
  EXPECT_EQ(services.pasteboard, appkit::Pasteboard::general());
  EXPECT_EQ(services.keyEventPoster, keys);
}

}  // namespace
}  // namespace shell
