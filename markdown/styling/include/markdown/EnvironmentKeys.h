#pragma once

#include <foundation/URL.h>

#include <optional>

#include "markdown/TextStyle.h"
#include "ui/Environment.h"

namespace markdown {

struct BaseURLKey {
  using Value = std::optional<foundation::URL>;
  static Value defaultValue() { return std::nullopt; }
};
struct ImageBaseURLKey {
  using Value = std::optional<foundation::URL>;
  static Value defaultValue() { return std::nullopt; }
};
// Raised by one for the items of each list.
struct ListLevelKey {
  using Value = int;
  static Value defaultValue() { return 0; }
};
struct TightSpacingEnabledKey {
  using Value = bool;
  static Value defaultValue() { return false; }
};
// The document stands where its leading edge is, whatever its width (an answer beside its
// avatar): a long one that comes where the view shows already makes only the first blocks
// that reach past what shows, rather than the first couple of dozen, whose widest would place
// it otherwise.
struct LeadingEdgeFixedKey {
  using Value = bool;
  static Value defaultValue() { return false; }
};
// The text style in force; by default the default description (13-point regular system text).
struct TextStyleKey {
  using Value = AnyTextStyle;
  static Value defaultValue();
};

inline int listLevel(const ui::Environment& env) {
  return env.get<ListLevelKey>();
}
inline bool tightSpacingEnabled(const ui::Environment& env) {
  return env.get<TightSpacingEnabledKey>();
}

}  // namespace markdown
