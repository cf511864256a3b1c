#pragma once

#include "ui/View.h"

namespace ui::detail {

// An explicit identity around a view; unwrapped wherever a child is made.
class IdView final : public View {
 public:
  IdView(Identity id, AnyView view) : identity(std::move(id)), content(std::move(view)) {}
  AnyView body(BuildContext&) const override { return content; }
  Identity identity;
  AnyView content;
};

}  // namespace ui::detail
