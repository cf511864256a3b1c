#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/UserDefaults.h"
#include "ui/Geometry.h"

namespace panel {

// Window frames kept in the user defaults under their name, as {"x", "y", "width", "height"}.
class FrameStore {
 public:
  explicit FrameStore(foundation::UserDefaults& defaults) : defaults_(defaults) {}

  void save(const std::string& name, const ui::Rect& frame);
  // The saved frame, when there is one that makes sense and that shows at least a corner of
  // itself on one of `screens`.
  std::optional<ui::Rect> restorable(const std::string& name,
                                     const std::vector<ui::Rect>& screens) const;

 private:
  foundation::UserDefaults& defaults_;
};

}  // namespace panel
