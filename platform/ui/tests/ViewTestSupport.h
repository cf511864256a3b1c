#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ui/FakeTextMeasurer.h"
#include "ui/Views.h"

namespace ui::testing {

// Text in a 10-point font: each character 6 wide, lines 12 high, baseline at 8.
inline AnyView T(std::string s) {
  return AnyView(Text::verbatim(std::move(s))).font(Font::system(10));
}
inline Text TV(std::string s) {
  return Text::verbatim(std::move(s)).font(Font::system(10));
}

struct Host {
  explicit Host(AnyView root, ProposedSize proposal = {})
      : host(std::move(root), std::make_shared<FakeTextMeasurer>()) {
    host.setProposal(proposal);
    host.update();
  }
  Rect frame(std::string_view id) const {
    auto f = host.frameOf(id);
    EXPECT_TRUE(f.has_value()) << "no view " << id << "\n" << host.dump();
    return f.value_or(Rect{-1, -1, -1, -1});
  }
  void click(Point p) {
    host.pointerPressed(PointerEvent::at(p));
    host.pointerReleased(PointerEvent::at(p));
    host.update();
  }
  void click(std::string_view id) {
    const Rect r = frame(id);
    click({r.midX(), r.midY()});
  }
  ViewHost host;
};

inline AnyView Box(double w, double h, std::string id) {
  return ColorView(Color::red()).frame(w, h).accessibilityIdentifier(std::move(id));
}

// Passes its content through and counts the times it is asked for a size: what a frame
// measures again below it.
class CountingLayout final : public Layout {
 public:
  explicit CountingLayout(std::shared_ptr<int> count) : count_(std::move(count)) {}
  Size sizeThatFits(ProposedSize proposal, const LayoutSubviews& subviews) const override {
    ++*count_;
    return subviews.empty() ? Size{} : subviews[0].sizeThatFits(proposal);
  }
  void placeSubviews(Rect bounds, ProposedSize proposal,
                     const LayoutSubviews& subviews) const override {
    for (const auto& s : subviews) s.place(bounds.origin(), UnitPoint::topLeading, proposal);
  }

 private:
  std::shared_ptr<int> count_;
};

inline AnyView Counted(AnyView content, std::shared_ptr<int> count) {
  return CustomLayout(std::make_shared<CountingLayout>(std::move(count)), {std::move(content)});
}

}  // namespace ui::testing

namespace ui {
inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}
inline void PrintTo(const Size& s, std::ostream* os) {
  *os << s.width << "x" << s.height;
}
}  // namespace ui
