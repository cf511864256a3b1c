#include "ui/AttributeContainer.h"

#include <algorithm>

#include "ui/Hash.h"

namespace ui {

namespace {

template <class T>
void mergeField(std::optional<T>& into, const std::optional<T>& later) {
  if (later) into = later;
}

template <class T>
void hashField(std::size_t& seed, const std::optional<T>& field) {
  hashCombine(seed, field.has_value());
  if (field) hashCombine(seed, *field);
}

}  // namespace

const AttributeContainer::Extension* AttributeContainer::find(std::string_view name) const {
  auto it = std::lower_bound(extensions_.begin(), extensions_.end(), name,
                             [](const Extension& e, std::string_view n) { return e.name < n; });
  return it != extensions_.end() && it->name == name ? &*it : nullptr;
}

void AttributeContainer::put(std::string_view name, std::shared_ptr<const Value> value) {
  auto it = std::lower_bound(extensions_.begin(), extensions_.end(), name,
                             [](const Extension& e, std::string_view n) { return e.name < n; });
  if (it != extensions_.end() && it->name == name) {
    it->value = std::move(value);
  } else {
    extensions_.insert(it, Extension{name, std::move(value)});
  }
}

void AttributeContainer::erase(std::string_view name) {
  std::erase_if(extensions_, [name](const Extension& e) { return e.name == name; });
}

void AttributeContainer::merge(const AttributeContainer& later) {
  mergeField(font, later.font);
  mergeField(foregroundColor, later.foregroundColor);
  mergeField(backgroundColor, later.backgroundColor);
  mergeField(strikethroughStyle, later.strikethroughStyle);
  mergeField(underlineStyle, later.underlineStyle);
  mergeField(kern, later.kern);
  mergeField(tracking, later.tracking);
  mergeField(baselineOffset, later.baselineOffset);
  mergeField(link, later.link);
  for (const Extension& e : later.extensions_) put(e.name, e.value);
}

AttributeContainer AttributeContainer::merging(const AttributeContainer& later) const {
  AttributeContainer result = *this;
  result.merge(later);
  return result;
}

bool AttributeContainer::empty() const {
  return !font && !foregroundColor && !backgroundColor && !strikethroughStyle && !underlineStyle &&
         !kern && !tracking && !baselineOffset && !link && extensions_.empty();
}

bool operator==(const AttributeContainer& a, const AttributeContainer& b) {
  if (a.font != b.font || a.foregroundColor != b.foregroundColor ||
      a.backgroundColor != b.backgroundColor || a.strikethroughStyle != b.strikethroughStyle ||
      a.underlineStyle != b.underlineStyle || a.kern != b.kern || a.tracking != b.tracking ||
      a.baselineOffset != b.baselineOffset || a.link != b.link ||
      a.extensions_.size() != b.extensions_.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.extensions_.size(); ++i) {
    const auto& x = a.extensions_[i];
    const auto& y = b.extensions_[i];
    if (x.name != y.name) return false;
    if (x.value != y.value && !x.value->equals(*y.value)) return false;
  }
  return true;
}

std::size_t AttributeContainer::hash() const {
  std::size_t seed = 0;
  hashField(seed, font);
  hashField(seed, foregroundColor);
  hashField(seed, backgroundColor);
  hashField(seed, strikethroughStyle);
  hashField(seed, underlineStyle);
  hashField(seed, kern);
  hashField(seed, tracking);
  hashField(seed, baselineOffset);
  hashCombine(seed, link.has_value());
  if (link) hashCombine(seed, link->absoluteString());
  for (const Extension& e : extensions_) {
    hashCombine(seed, e.name);
    hashCombine(seed, e.value->hash());
  }
  return seed;
}

}  // namespace ui
