#include "ui/Identity.h"

#include "ui/Hash.h"

namespace ui {

struct Identity::Pair final : Identity::Box {
  Pair(Identity a, Identity b) : first(std::move(a)), second(std::move(b)) {}
  std::size_t hash() const override {
    std::size_t seed = first.hash();
    hashCombine(seed, second);
    return seed;
  }
  bool equals(const Box& other) const override {
    auto* o = dynamic_cast<const Pair*>(&other);
    return o && o->first == first && o->second == second;
  }
  Identity first, second;
};

Identity Identity::pair(Identity a, Identity b) {
  Identity id;
  id.value_ = std::shared_ptr<const Box>(std::make_shared<Pair>(std::move(a), std::move(b)));
  return id;
}

std::size_t Identity::hash() const {
  switch (value_.index()) {
    case 0:
      return std::hash<std::int64_t>{}(std::get<0>(value_));
    case 1:
      return std::hash<std::string>{}(std::get<1>(value_)) ^ 0x5bd1e995;
    default:
      return std::get<2>(value_)->hash();
  }
}

bool Identity::operator==(const Identity& other) const {
  if (value_.index() != other.value_.index()) return false;
  switch (value_.index()) {
    case 0:
      return std::get<0>(value_) == std::get<0>(other.value_);
    case 1:
      return std::get<1>(value_) == std::get<1>(other.value_);
    default: {
      const auto& a = std::get<2>(value_);
      const auto& b = std::get<2>(other.value_);
      return a == b || a->equals(*b);
    }
  }
}

std::string Identity::description() const {
  switch (value_.index()) {
    case 0:
      return std::to_string(std::get<0>(value_));
    case 1:
      return "\"" + std::get<1>(value_) + "\"";
    default:
      if (auto* p = dynamic_cast<const Pair*>(std::get<2>(value_).get()))
        return "(" + p->first.description() + ", " + p->second.description() + ")";
      return "#" + std::to_string(hash());
  }
}

}  // namespace ui
