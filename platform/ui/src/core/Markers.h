#pragma once

#include <optional>
#include <string>

#include "core/Modifier.h"

namespace ui::detail {

// Accessibility properties of a subtree (and the handle tests find views by).
class AccessibilityView final : public Modifier {
 public:
  AccessibilityView(AnyView content, std::optional<std::string> label,
                    std::optional<std::string> identifier);
  std::string name() const override { return "Accessibility"; }
  std::string describe(const Node&) const override;
  std::optional<std::string> label, identifier;
};

// Read by Grid: sets the horizontal alignment of the cell's column.
class GridColumnAlignmentView final : public Modifier {
 public:
  GridColumnAlignmentView(AnyView content, HAlign alignment);
  std::string name() const override { return "GridColumnAlignment"; }
  HAlign alignment;
};

class DisabledView final : public Modifier {
 public:
  DisabledView(AnyView content, bool disabled);
  std::string name() const override { return "Disabled"; }
  Environment childEnvironment(const Environment& env) const override;

 private:
  bool disabled_;
};

}  // namespace ui::detail
