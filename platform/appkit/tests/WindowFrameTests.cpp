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

TEST(WindowFrame, OpensCentredInTheWorkAreaAndNoLargerThanIt) {
  // A work area below a 24 px top bar, on a second monitor.
  const ui::Rect area{1280, 24, 1024, 576};
  EXPECT_EQ(centredFrame({560, 400}, area), (ui::Rect{1512, 112, 560, 400}));
  // Wider than the area: as wide as it, at its left edge.
  EXPECT_EQ(centredFrame({1080, 400}, area), (ui::Rect{1280, 112, 1024, 400}));
  EXPECT_EQ(centredFrame({1080, 640}, area), area);
  // Odd leftovers round towards the top left, never past the far edge.
  const ui::Rect odd = centredFrame({101, 77}, {0, 0, 200, 100});
  EXPECT_EQ(odd, (ui::Rect{49, 11, 101, 77}));
  EXPECT_LE(odd.maxX(), 200);
  // A minimum the area cannot hold is cut to it; one it holds is kept.
  EXPECT_EQ(sizeFittingArea({640, 700}, area), (ui::Size{640, 576}));
  EXPECT_EQ(sizeFittingArea({500, 0}, area), (ui::Size{500, 0}));
  EXPECT_EQ(sizeFittingArea({500, 300}, {0, 0, 0, 0}), (ui::Size{0, 0}));
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
