#include "ui/Font.h"

#include <algorithm>
#include <cmath>

#include "ui/Hash.h"

namespace ui {

Font Font::system(double size, Weight weight, Design design) {
  Font f;
  f.base_ = System{size, weight, design};
  return f;
}

Font Font::custom(std::string name, double size) {
  Font f;
  f.base_ = Custom{std::move(name), size};
  return f;
}

Font Font::adding(Step step) const {
  Font f = *this;
  f.steps_.push_back(step);
  return f;
}

ResolvedFont Font::resolved() const {
  ResolvedFont r;
  double size = kDefaultSize;
  if (const auto* s = std::get_if<System>(&base_)) {
    size = s->size;
    r.weight = s->weight;
    r.design = s->design;
  } else {
    const auto& c = std::get<Custom>(base_);
    size = c.size;
    r.family = c.name;
  }
  for (const Step& step : steps_) {
    switch (step.modifier) {
      case Modifier::monospaced:
        r.design = Design::monospaced;
        break;
      case Modifier::smallCaps:
        r.lowercaseSmallCaps = true;
        r.uppercaseSmallCaps = true;
        break;
      case Modifier::lowercaseSmallCaps:
        r.lowercaseSmallCaps = true;
        break;
      case Modifier::uppercaseSmallCaps:
        r.uppercaseSmallCaps = true;
        break;
      case Modifier::monospacedDigit:
        r.monospacedDigits = true;
        break;
      case Modifier::weight:
        r.weight = step.weight;
        break;
      case Modifier::italic:
        r.italic = true;
        break;
    }
  }
  r.size = std::isnan(size)
               ? kDefaultSize
               : std::clamp(size, ResolvedFont::kMinimumSize, ResolvedFont::kMaximumSize);
  return r;
}

std::size_t Font::hash() const {
  std::size_t seed = base_.index();
  if (const auto* s = std::get_if<System>(&base_)) {
    hashCombine(seed, s->size);
    hashCombine(seed, static_cast<int>(s->weight));
    hashCombine(seed, static_cast<int>(s->design));
  } else {
    const auto& c = std::get<Custom>(base_);
    hashCombine(seed, c.name);
    hashCombine(seed, c.size);
  }
  for (const Step& step : steps_) {
    hashCombine(seed, static_cast<int>(step.modifier));
    hashCombine(seed, static_cast<int>(step.weight));
  }
  return seed;
}

}  // namespace ui
