#include "ui/Preference.h"

namespace ui {

void PreferenceValues::put(const void* tag, std::shared_ptr<const void> value, const Ops* ops) {
  for (auto& e : entries_) {
    if (e.tag == tag) {
      e.value = std::move(value);
      return;
    }
  }
  entries_.push_back({tag, std::move(value), ops});
}

void PreferenceValues::reduce(const PreferenceValues& next) {
  for (const auto& n : next.entries_) {
    bool merged = false;
    for (auto& e : entries_) {
      if (e.tag == n.tag) {
        e.value = e.ops->reduce(e.value.get(), n.value.get());
        merged = true;
        break;
      }
    }
    if (!merged) entries_.push_back(n);
  }
}

bool PreferenceValues::operator==(const PreferenceValues& other) const {
  if (entries_.size() != other.entries_.size()) return false;
  for (const auto& e : entries_) {
    bool found = false;
    for (const auto& o : other.entries_) {
      if (o.tag == e.tag) {
        found = e.ops->equal(e.value.get(), o.value.get());
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

}  // namespace ui
