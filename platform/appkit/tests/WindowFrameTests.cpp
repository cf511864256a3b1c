#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "appkit/WindowFrame.h"
#include "foundation/UserDefaults.h"

namespace appkit {
namespace {

TEST(WindowFrame, DecodesOnlyWholeFramesOfFiniteNumbers) {
  const ui::Rect frame{10.5, -20, 612, 90};
  EXPECT_EQ(decodeFrame(encodeFrame(frame)), frame);
  EXPECT_EQ(decodeFrame(nlohmann::json::parse(R"({"x":1,"y":2,"width":3})")), std::nullopt);
  EXPECT_EQ(decodeFrame(nlohmann::json::parse(R"({"x":"1","y":2,"width":3,"height":4})")),
            std::nullopt);
  EXPECT_EQ(decodeFrame(nlohmann::json::parse(R"({"x":1,"y":2,"width":0,"height":4})")),
            std::nullopt);
  EXPECT_EQ(decodeFrame(nlohmann::json::parse(R"({"x":1,"y":2,"width":3,"height":-4})")),
            std::nullopt);
  EXPECT_EQ(decodeFrame({{"x", 1}, {"y", 2}, {"width", std::nan("")}, {"height", 4}}),
            std::nullopt);
  EXPECT_EQ(decodeFrame(nlohmann::json::parse(R"([1,2,3,4])")), std::nullopt);
  EXPECT_EQ(decodeFrame(nlohmann::json("100 100 612 90")), std::nullopt);
}

TEST(WindowFrame, ClampsIntoTheScreenItOverlapsMost) {
  const std::vector<ui::Rect> screens{{0, 0, 1280, 800}, {1280, 0, 1920, 1080}};
  const ui::Rect inside{100, 100, 612, 90};
  EXPECT_EQ(clampFrameToScreens(inside, screens), inside);
  // Mostly on the second screen, hanging off its bottom: pulled up onto it.
  EXPECT_EQ(clampFrameToScreens({1400, 1050, 612, 90}, screens), (ui::Rect{1400, 990, 612, 90}));
  // On no screen at all (a monitor that is gone): onto the first.
  EXPECT_EQ(clampFrameToScreens({5000, -3000, 612, 90}, screens), (ui::Rect{668, 0, 612, 90}));
  // Larger than the screen: shrunk to it.
  EXPECT_EQ(clampFrameToScreens({-50, -50, 3000, 900}, {{0, 0, 1280, 800}}),
            (ui::Rect{0, 0, 1280, 800}));
  // A minimum the screen allows is kept.
  EXPECT_EQ(clampFrameToScreens({0, 0, 100, 20}, screens, {200, 40}), (ui::Rect{0, 0, 200, 40}));
  EXPECT_EQ(clampFrameToScreens(inside, {}), inside);
}

TEST(WindowFrame, IsKeptInTheDefaultsUnderItsName) {
  auto dir = std::filesystem::temp_directory_path() / ("quill-frame-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  {
    foundation::UserDefaults defaults(dir / "defaults.json");
    EXPECT_EQ(savedFrame(defaults, "savedFrame"), std::nullopt);
    saveFrame(defaults, "savedFrame", {1, 2, 300, 400});
    defaults.synchronize();
  }
  foundation::UserDefaults reread(dir / "defaults.json");
  EXPECT_EQ(savedFrame(reread, "savedFrame"), (ui::Rect{1, 2, 300, 400}));
  reread.set("savedFrame", "garbage");
  EXPECT_EQ(savedFrame(reread, "savedFrame"), std::nullopt);
  reread.synchronize();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

}  // namespace
}  // namespace appkit
