#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ui/Accessibility.h"
#include "ui/Alignment.h"
#include "ui/Environment.h"
#include "ui/Geometry.h"
#include "ui/Identity.h"
#include "ui/Preference.h"
#include "ui/TextAlignment.h"

namespace ui {

class AnyView;
class BuildContext;
template <class T>
class Binding;
struct KeyEvent;
struct PointerEvent;
class Color;
class Font;
class Text;
class Shape;
enum class LabelStyle;
enum class ButtonStyle;
enum class SymbolRenderingMode;
enum class ImageScale;
enum class TextSelectability;

// An immutable description of part of the screen. A composite view computes its body from
// its environment and state; the layer's own primitives lay out and draw.
class View {
 public:
  virtual ~View() = default;
  virtual AnyView body(BuildContext& context) const = 0;
  // Lets a rebuild skip an unchanged subtree; views that can compare themselves say so
  // (EquatableView).
  virtual bool equals(const View&) const { return false; }
};

// A composite view compared by its own operator==, so an equal value skips its rebuild.
template <class Derived>
class EquatableView : public View {
 public:
  bool equals(const View& other) const override {
    auto* o = dynamic_cast<const Derived*>(&other);
    return o && *o == static_cast<const Derived&>(*this);
  }
};

// Flexible frame limits; maxWidth = kInfinity takes all the width proposed.
struct FrameBounds {
  std::optional<double> minWidth = {}, idealWidth = {}, maxWidth = {};
  std::optional<double> minHeight = {}, idealHeight = {}, maxHeight = {};
};

// A type-erased view and the builder of modified copies: every modifier returns a new value.
// An empty AnyView is EmptyView: zero size, nothing drawn.
class AnyView {
 public:
  AnyView() = default;
  AnyView(std::shared_ptr<const View> view) : view_(std::move(view)) {}  // NOLINT
  template <class V>
  requires std::derived_from<std::decay_t<V>, View> AnyView(V&& view)  // NOLINT: any view converts
      : view_(std::make_shared<const std::decay_t<V>>(std::forward<V>(view))) {}
  AnyView(const Text& text);  // NOLINT: a Text value is a view

  const View* get() const { return view_.get(); }
  const std::shared_ptr<const View>& shared() const { return view_; }
  explicit operator bool() const { return view_ != nullptr; }

  // Layout
  AnyView padding(std::optional<double> length = std::nullopt) const;
  AnyView padding(EdgeSet edges, std::optional<double> length = std::nullopt) const;
  AnyView padding(EdgeInsets insets) const;
  AnyView frame(std::optional<double> width, std::optional<double> height,
                Alignment alignment = Alignment::center) const;
  AnyView frame(FrameBounds bounds, Alignment alignment = Alignment::center) const;
  AnyView fixedSize(bool horizontal = true, bool vertical = true) const;
  AnyView offset(double x, double y) const;
  AnyView overlay(AnyView content, Alignment alignment = Alignment::center) const;
  AnyView background(AnyView content, Alignment alignment = Alignment::center) const;
  AnyView background(const std::optional<Color>& color) const;
  AnyView clipShape(const Shape& shape) const;
  AnyView clipped() const;
  AnyView layoutPriority(double priority) const;
  AnyView gridColumnAlignment(HAlign alignment) const;
  AnyView opacity(double value) const;

  // Identity
  AnyView id(Identity identity) const;

  // Environment
  template <EnvironmentKey K>
  AnyView environment(typename K::Value value) const {
    return transformEnvironmentWith([value](const Environment& e) { return e.with<K>(value); });
  }
  template <EnvironmentKey K>
  AnyView transformEnvironment(std::function<void(typename K::Value&)> edit) const {
    return transformEnvironmentWith(
        [edit](const Environment& e) { return e.transformed<K>(edit); });
  }
  AnyView transformEnvironmentWith(std::function<Environment(const Environment&)> change) const;
  AnyView font(const std::optional<Font>& font) const;
  AnyView foregroundColor(const std::optional<Color>& color) const;
  AnyView tint(const Color& color) const;
  AnyView lineSpacing(double spacing) const;
  AnyView multilineTextAlignment(TextAlignment alignment) const;
  AnyView foregroundStyle(const Color& primary, const std::optional<Color>& secondary) const;
  AnyView labelStyle(LabelStyle style) const;
  AnyView buttonStyle(ButtonStyle style) const;
  AnyView symbolRenderingMode(SymbolRenderingMode mode) const;
  AnyView imageScale(ImageScale scale) const;
  AnyView textSelection(TextSelectability selectability) const;

  // Preferences
  template <PreferenceKey K>
  AnyView preference(typename K::Value value) const {
    return transformPreferencesWith(
        [value](PreferenceValues& v, const Anchor&) { v.set<K>(value); });
  }
  template <PreferenceKey K>
  AnyView transformPreference(std::function<void(typename K::Value&)> edit) const {
    return transformPreferencesWith(
        [edit](PreferenceValues& v, const Anchor&) { v.transform<K>(edit); });
  }
  // Sets K to a value made from an anchor of this view's bounds.
  template <PreferenceKey K>
  AnyView anchorPreference(std::function<typename K::Value(const Anchor&)> make) const {
    return transformPreferencesWith(
        [make](PreferenceValues& v, const Anchor& bounds) { v.set<K>(make(bounds)); });
  }
  template <PreferenceKey K>
  AnyView transformAnchorPreference(
      std::function<void(typename K::Value&, const Anchor&)> edit) const {
    return transformPreferencesWith([edit](PreferenceValues& v, const Anchor& bounds) {
      v.transform<K>([&](typename K::Value& value) { edit(value, bounds); });
    });
  }
  AnyView transformPreferencesWith(
      std::function<void(PreferenceValues&, const Anchor& bounds)> edit) const;

  // Runs after layout whenever the combined value below changed (and once at first).
  template <PreferenceKey K>
  AnyView onPreferenceChange(std::function<void(const typename K::Value&)> action) const {
    return onPreferencesChangeWith(
        [](const PreferenceValues& v) -> ErasedValue {
          return std::make_shared<const typename K::Value>(v.valueOr<K>());
        },
        [](const std::shared_ptr<const void>& a, const std::shared_ptr<const void>& b) {
          return detail::sameValue<typename K::Value>(a.get(), b.get());
        },
        [action](const std::shared_ptr<const void>& v) {
          action(*static_cast<const typename K::Value*>(v.get()));
        });
  }
  // Secondary content built from this view's combined value, after this view is laid out.
  template <PreferenceKey K>
  AnyView backgroundPreferenceValue(std::function<AnyView(const typename K::Value&)> content,
                                    Alignment alignment = Alignment::center) const {
    return preferenceValueLayer(
        [content](const PreferenceValues& v) { return content(v.valueOr<K>()); }, alignment, false);
  }
  template <PreferenceKey K>
  AnyView overlayPreferenceValue(std::function<AnyView(const typename K::Value&)> content,
                                 Alignment alignment = Alignment::center) const {
    return preferenceValueLayer(
        [content](const PreferenceValues& v) { return content(v.valueOr<K>()); }, alignment, true);
  }

  // Lifecycle
  AnyView onAppear(std::function<void()> action) const;
  AnyView onDisappear(std::function<void()> action) const;
  // See Task.h.
  AnyView task(std::function<void(class TaskContext&)> work) const;
  AnyView task(Identity id, std::function<void(class TaskContext&)> work) const;

  // Input and accessibility
  AnyView onTapGesture(std::function<void()> action) const;
  // Fires when the release ends a press with this click count (2: a double-click).
  AnyView onTapGesture(int count, std::function<void()> action) const;
  AnyView onHover(std::function<void(bool)> action) const;
  // Lets the user reorder the rows of the vertical stack this view is (through single-content
  // views around it) by dragging them. A press on a row that moves farther than
  // kDragThreshold starts a drag, a line shows where the row would land and the release there
  // calls `perform` with the row's offset and the offset of the row it goes before, counted
  // before its removal (the row count for the end). Escape, a release outside the rows or
  // where the row already stands changes nothing. A click on a row still reaches it.
  AnyView onMove(std::function<void(const std::set<int>& offsets, int destination)> perform) const;
  AnyView focusable(Identity focusId) const;
  // Keeps `binding` equal to `equals` while the focus is inside this view (and clears it
  // when the focus leaves); setting it to `equals` moves the focus here, to nothing clears it.
  AnyView focused(Binding<std::optional<Identity>> binding, Identity equals) const;
  // Offers keys to `handler` (true = handled) while the focus is inside this view or
  // nothing is focused, after the focused view itself and before hosted widgets.
  AnyView onKeyPress(std::function<bool(const KeyEvent&)> handler) const;
  // Tells `handler` of every pointer release in the window while the focus is inside this
  // view, with the location in this view's coordinates (outside it too) and the view's size,
  // before the view that took the press gets the release.
  AnyView onPointerReleaseWhileFocused(
      std::function<void(const PointerEvent&, Size)> handler) const;
  // What a screen reader reads (see Accessibility.h). The layer's controls, texts and images
  // have their roles already; these say more, or something else.
  AnyView accessibilityLabel(std::string label) const;
  AnyView accessibilityIdentifier(std::string identifier) const;
  AnyView accessibilityRole(AccessibilityRole role) const;
  AnyView accessibilityHeading(int level) const;
  AnyView accessibilitySelected(bool selected) const;
  AnyView accessibilityValue(std::string value) const;
  // A text element whose text is `text` whole, however little of it is drawn.
  // The text is asked for only when a reader reads it.
  AnyView accessibilityText(std::function<std::string()> text) const;
  // What pressing the element does, for a view that is pressed in its own way.
  AnyView accessibilityAction(std::function<void()> action) const;
  AnyView accessibilityHidden(bool hidden = true) const;
  AnyView accessibility(AccessibilityTraits traits) const;
  AnyView disabled(bool isDisabled) const;

 private:
  using ErasedValue = std::shared_ptr<const void>;
  AnyView onPreferencesChangeWith(std::function<ErasedValue(const PreferenceValues&)> select,
                                  std::function<bool(const ErasedValue&, const ErasedValue&)> same,
                                  std::function<void(const ErasedValue&)> action) const;
  AnyView preferenceValueLayer(std::function<AnyView(const PreferenceValues&)> content,
                               Alignment alignment, bool overlay) const;

  std::shared_ptr<const View> view_;
};

AnyView EmptyView();

// Conditional content: the branches have distinct identities, so switching resets state.
AnyView If(bool condition, AnyView then, AnyView otherwise = {});

// Views for a collection, each identified by `id(element)`, for any container.
template <class Range, class IdFn, class ContentFn>
std::vector<AnyView> ForEach(const Range& data, IdFn id, ContentFn content) {
  std::vector<AnyView> views;
  for (const auto& element : data) views.push_back(AnyView(content(element)).id(id(element)));
  return views;
}

// A composite view written as a closure.
AnyView ViewBuilder(std::function<AnyView(BuildContext&)> body);
// Reads the environment while building.
AnyView EnvironmentReader(std::function<AnyView(const Environment&)> body);

}  // namespace ui
