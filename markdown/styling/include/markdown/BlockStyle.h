#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "ui/AttributeContainer.h"
#include "ui/View.h"

namespace markdown {

// A block's content as the renderer has built it.
struct BlockConfiguration {
  struct Label {
    ui::AnyView body;
    operator ui::AnyView() const { return body; }  // NOLINT: a label is its view
  };
  Label label;
};

struct ListMarkerConfiguration {
  int listLevel = 1;  // 1 for a top-level list
  std::int64_t itemNumber = 1;

  // start + index, saturated at the limits of the type.
  static std::int64_t itemNumberFor(std::int64_t start, std::int64_t index);
};

struct TaskListMarkerConfiguration {
  bool isCompleted = false;
};

struct TableCellConfiguration {
  using Label = BlockConfiguration::Label;
  int row = 0;  // 0 is the header row
  int column = 0;
  Label label;
};

// For blocks that need nothing (the thematic break).
struct EmptyConfiguration {};

template <class C>
class BlockStyle;

namespace detail {
BlockStyle<ListMarkerConfiguration> decimalMarker();
BlockStyle<ListMarkerConfiguration> upperRomanMarker();
BlockStyle<ListMarkerConfiguration> lowerRomanMarker();
BlockStyle<ListMarkerConfiguration> dashMarker();
BlockStyle<ListMarkerConfiguration> discMarker();
BlockStyle<ListMarkerConfiguration> circleMarker();
BlockStyle<ListMarkerConfiguration> squareMarker();
BlockStyle<ListMarkerConfiguration> discCircleSquareMarker();
BlockStyle<TaskListMarkerConfiguration> checkmarkSquareMarker();
}  // namespace detail

// The look of one kind of block: a shared, immutable function from its configuration to a
// view.
template <class Configuration = EmptyConfiguration>
class BlockStyle {
 public:
  using Body = std::function<ui::AnyView(const Configuration&)>;

  // The plain style: the label unchanged.
  BlockStyle() requires requires(const Configuration& c) {
    c.label.body;
  } : body_(std::make_shared<const Body>([](const Configuration& c) { return c.label.body; })) {
  }

  template <class F>
  requires std::is_invocable_v<const F&, const Configuration&>
  explicit BlockStyle(F body)
      : body_(std::make_shared<const Body>(
            [body = std::move(body)](const Configuration& c) { return ui::AnyView(body(c)); })) {}

  // From the label alone.
  template <class F>
  requires(
      std::same_as<Configuration, BlockConfiguration> &&
      !std::is_invocable_v<const F&, const Configuration&> &&
      std::is_invocable_v<const F&, const BlockConfiguration::Label&>) explicit BlockStyle(F body)
      : body_(std::make_shared<const Body>([body = std::move(body)](const Configuration& c) {
          return ui::AnyView(body(c.label));
        })) {}

  // With no argument.
  template <class F>
  requires(std::same_as<Configuration, EmptyConfiguration> &&
           !std::is_invocable_v<const F&, const Configuration&> &&
           std::is_invocable_v<const F&>) explicit BlockStyle(F body)
      : body_(std::make_shared<const Body>(
            [body = std::move(body)](const Configuration&) { return ui::AnyView(body()); })) {}

  ui::AnyView body(const Configuration& configuration) const { return (*body_)(configuration); }
  ui::AnyView body() const requires std::same_as<Configuration, EmptyConfiguration> {
    return (*body_)({});
  }

  // Same function: copies of one style.
  bool sharesBody(const BlockStyle& other) const { return body_ == other.body_; }

  // List markers, each in a 1.5-em minimum-width frame aligned trailing.
  static BlockStyle decimal() requires std::same_as<Configuration, ListMarkerConfiguration> {
    return detail::decimalMarker();
  }
  static BlockStyle upperRoman() requires std::same_as<Configuration, ListMarkerConfiguration> {
    return detail::upperRomanMarker();
  }
  static BlockStyle lowerRoman() requires std::same_as<Configuration, ListMarkerConfiguration> {
    return detail::lowerRomanMarker();
  }
  static BlockStyle dash() requires std::same_as<Configuration, ListMarkerConfiguration> {
    return detail::dashMarker();
  }
  static BlockStyle disc() requires std::same_as<Configuration, ListMarkerConfiguration> {
    return detail::discMarker();
  }
  static BlockStyle circle() requires std::same_as<Configuration, ListMarkerConfiguration> {
    return detail::circleMarker();
  }
  static BlockStyle square() requires std::same_as<Configuration, ListMarkerConfiguration> {
    return detail::squareMarker();
  }
  // Disc, circle, square by level; levels below 1 get the disc.
  static BlockStyle discCircleSquare() requires
      std::same_as<Configuration, ListMarkerConfiguration> {
    return detail::discCircleSquareMarker();
  }
  static BlockStyle checkmarkSquare() requires
      std::same_as<Configuration, TaskListMarkerConfiguration> {
    return detail::checkmarkSquareMarker();
  }

 private:
  std::shared_ptr<const Body> body_;
};

// The decimal text outside 1...3999, else the upper-case numeral.
std::string romanNumeral(std::int64_t number);

// The symbol of a bullet at a third of the text size in force (13 points when none is set).
ui::AnyView ListBullet(const std::string& symbolName);
// round(round(size × scale) / 3) of the description in force.
double listBulletFontSize(const ui::AttributeContainer& attributes);

}  // namespace markdown
