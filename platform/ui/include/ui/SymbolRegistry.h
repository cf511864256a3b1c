#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Color.h"
#include "ui/Path.h"

namespace ui {

enum class SymbolRenderingMode { monochrome, hierarchical };

// One filled outline of a symbol.
struct SymbolLayer {
  enum class Role { primary, secondary };

  Path path;
  Role role = Role::primary;
  bool drawnInMonochrome = true;  // false for marks that monochrome rendering cuts out instead
};

// A vector symbol drawn in a box `aspectRatio` wide and 1 high, y downwards; the bottom edge
// sits on the text baseline.
struct Symbol {
  std::string name;
  double aspectRatio = 1;
  std::vector<SymbolLayer> layers;  // back to front
};

// The symbols this program draws itself, by name: "doc.on.doc", "checkmark", "circle",
// "circle.fill", "square", "square.fill", "checkmark.square.fill", "clock", "hand.raised",
// "app.badge.checkmark", "shift.fill" and the letter keys "c.square.fill", "r.square.fill",
// "m.square.fill", "h.square.fill".
class SymbolRegistry {
 public:
  static const SymbolRegistry& shared();

  const Symbol* find(std::string_view name) const;
  std::vector<std::string> names() const;

 private:
  SymbolRegistry();
  std::vector<Symbol> symbols_;
};

// Opacity of the secondary layer under hierarchical rendering when no secondary colour is set.
inline constexpr double kHierarchicalSecondaryOpacity = 0.5;

// The colour a layer is filled with: monochrome paints every layer in `primary`; hierarchical
// paints secondary layers in `secondary`, or in `primary` at kHierarchicalSecondaryOpacity.
Color symbolLayerColor(SymbolLayer::Role role, SymbolRenderingMode mode, const Color& primary,
                       const std::optional<Color>& secondary = std::nullopt);

}  // namespace ui
