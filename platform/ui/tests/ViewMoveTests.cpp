#include <gtest/gtest.h>

#include "ViewTestSupport.h"

namespace ui {
namespace {
using testing::Box;
using testing::Host;

// Four rows 20 high (row i spans 20i to 20i + 20) that take clicks, then an "add" row below
// the movable ones.
struct MovableRows {
  struct Move {
    std::set<int> offsets;
    int destination;
    bool operator==(const Move&) const = default;
  };
  std::vector<Move> moves;
  std::vector<int> taps;
  bool added = false;
  Host host{VStack(HAlign::leading, 0,
                   {VStack(HAlign::leading, 0, {row(0), row(1), row(2), row(3)})
                        .onMove([this](const std::set<int>& offsets, int destination) {
                          moves.push_back({offsets, destination});
                        })
                        .accessibilityIdentifier("rows"),
                    Box(100, 20, "add").onTapGesture([this] { added = true; })})};

  AnyView row(int i) {
    return Box(100, 20, "row" + std::to_string(i)).onTapGesture([this, i] { taps.push_back(i); });
  }
  void press(Point p) { host.host.pointerPressed(PointerEvent::at(p)); }
  void moveTo(Point p) {
    host.host.pointerMoved(PointerEvent::at(p));
    host.host.update();
  }
  void release(Point p) {
    host.host.pointerReleased(PointerEvent::at(p));
    host.host.update();
  }
  void drag(Point from, Point to) {
    press(from);
    moveTo({from.x, (from.y + to.y) / 2});
    moveTo(to);
    release(to);
  }
  std::string state() const {
    const std::string dump = host.host.dump();
    const auto at = dump.find("OnMove");
    return dump.substr(at, dump.find('\n', at) - at);
  }
};

TEST(ViewMove, AClickWithinTheThresholdStaysAClick) {
  MovableRows rows;
  rows.press({10, 30});
  rows.moveTo({10 + kDragThreshold - 1, 30 + 1});
  EXPECT_EQ(rows.state().find("dragging"), std::string::npos);
  rows.release({10 + kDragThreshold - 1, 31});
  EXPECT_EQ(rows.taps, std::vector<int>{1});
  EXPECT_TRUE(rows.moves.empty());
}

TEST(ViewMove, TheDestinationIsTheRowBeforeWhichTheDraggedRowLands) {
  MovableRows rows;
  // The line follows the pointer: above the middle of a row it lands before it.
  rows.press({10, 10});
  rows.moveTo({10, 25});
  EXPECT_NE(rows.state().find("dragging=0 to=1"), std::string::npos) << rows.state();
  rows.moveTo({10, 45});
  EXPECT_NE(rows.state().find("dragging=0 to=2"), std::string::npos) << rows.state();
  rows.release({10, 45});
  EXPECT_EQ(rows.state().find("dragging"), std::string::npos);

  rows.drag({10, 70}, {10, 2});   // the last row to the top
  rows.drag({10, 30}, {10, 79});  // below the middle of the last row: the end
  rows.drag({10, 50}, {10, 25});  // above the middle of the row above: before it
  using Move = MovableRows::Move;
  EXPECT_EQ(rows.moves, (std::vector<Move>{{{0}, 2}, {{3}, 0}, {{1}, 4}, {{2}, 1}}));
  EXPECT_TRUE(rows.taps.empty());  // a drag is no click

  // Dropped on itself or just below itself, a row stays: nothing is reported.
  rows.drag({10, 30}, {10, 22});
  rows.drag({10, 30}, {10, 45});
  EXPECT_EQ(rows.moves.size(), 4u);
}

TEST(ViewMove, EscapeOrAReleaseOutsideTheRowsCancels) {
  MovableRows rows;
  rows.press({10, 10});
  rows.moveTo({10, 50});
  EXPECT_TRUE(rows.host.host.keyPressed(KeyEvent::of(Key::escape)));
  EXPECT_EQ(rows.state().find("dragging"), std::string::npos);
  rows.release({10, 50});
  // Over the row below the movable ones: no target, not the end either.
  rows.press({10, 10});
  rows.moveTo({10, 70});
  rows.moveTo({10, 90});
  EXPECT_NE(rows.state().find("to=none"), std::string::npos) << rows.state();
  rows.release({10, 90});
  rows.drag({10, 10}, {300, 50});  // beside the rows
  // Only the primary button drags.
  rows.host.host.pointerPressed({{10, 10}, PointerButton::secondary, {}, 1});
  rows.moveTo({10, 50});
  rows.release({10, 50});
  EXPECT_TRUE(rows.moves.empty());
  EXPECT_TRUE(rows.taps.empty());
  EXPECT_FALSE(rows.added);
  // With no drag under way Escape is left to others.
  EXPECT_FALSE(rows.host.host.keyPressed(KeyEvent::of(Key::escape)));
}

}  // namespace
}  // namespace ui
