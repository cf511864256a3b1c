#pragma once

#include <cstdint>

namespace accessibility {

// A handle on something the accessibility layer can be asked about. Which object an id names
// is up to the backend (the X11 one uses window ids).
class Element {
 public:
  enum class Kind { SystemWide, Application, UIElement };

  static Element systemWide() { return Element(Kind::SystemWide, -1, 0); }
  static Element application(int processIdentifier) {
    return Element(Kind::Application, processIdentifier, 0);
  }
  static Element uiElement(std::uint64_t id, int processIdentifier = -1) {
    return Element(Kind::UIElement, processIdentifier, id);
  }

  Kind kind() const { return kind_; }
  int processIdentifier() const { return processIdentifier_; }
  std::uint64_t id() const { return id_; }
  bool operator==(const Element&) const = default;

 private:
  Element(Kind kind, int processIdentifier, std::uint64_t id)
      : kind_(kind), processIdentifier_(processIdentifier), id_(id) {}
  Kind kind_;
  int processIdentifier_;
  std::uint64_t id_;
};

}  // namespace accessibility
