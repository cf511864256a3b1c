#include "ui/Environment.h"

namespace ui {

bool Environment::operator==(const Environment& other) const {
  if (values_ == other.values_) return true;
  const std::size_t mine = values_ ? values_->size() : 0;
  const std::size_t theirs = other.values_ ? other.values_->size() : 0;
  if (mine != theirs) return false;
  if (mine == 0) return true;
  for (auto a = values_->begin(), b = other.values_->begin(); a != values_->end(); ++a, ++b) {
    if (a->first != b->first) return false;
    if (!a->second.same(a->second.value.get(), b->second.value.get())) return false;
  }
  return true;
}

}  // namespace ui
