#include "markdown/Inline.h"

#include <type_traits>

namespace markdown {
namespace {

void appendPlainText(const std::vector<Inline>& inlines, std::string& out) {
  for (const Inline& inline_ : inlines) {
    std::visit(
        [&out](const auto& payload) {
          using Case = std::decay_t<decltype(payload)>;
          if constexpr (std::is_same_v<Case, Inline::SoftBreak>) {
            out += ' ';
          } else if constexpr (std::is_same_v<Case, Inline::LineBreak>) {
            out += '\n';
          } else if constexpr (requires { payload.children; }) {
            appendPlainText(payload.children, out);
          } else {
            out += payload.text;
          }
        },
        inline_.value);
  }
}

}  // namespace

Inline Inline::emphasis(std::vector<Inline> children) {
  return Inline{Emphasis{std::move(children)}};
}
Inline Inline::strong(std::vector<Inline> children) {
  return Inline{Strong{std::move(children)}};
}
Inline Inline::strikethrough(std::vector<Inline> children) {
  return Inline{Strikethrough{std::move(children)}};
}
Inline Inline::link(std::string destination, std::vector<Inline> children) {
  return Inline{Link{std::move(destination), std::move(children)}};
}
Inline Inline::image(std::string source, std::vector<Inline> children) {
  return Inline{ImageCase{std::move(source), std::move(children)}};
}

std::optional<Inline::Image> Inline::Image::from(const Inline& inline_) {
  if (const auto* image = inline_.as<ImageCase>()) {
    return Image{image->source, plainText(image->children), std::nullopt};
  }
  if (const auto* link = inline_.as<Link>(); link && link->children.size() == 1) {
    if (const auto* image = link->children.front().as<ImageCase>()) {
      return Image{image->source, plainText(image->children), link->destination};
    }
  }
  return std::nullopt;
}

std::string plainText(const std::vector<Inline>& inlines) {
  std::string out;
  appendPlainText(inlines, out);
  return out;
}

void hashInto(Hasher& hasher, const std::vector<Inline>& inlines) {
  hasher.combine(static_cast<std::uint64_t>(inlines.size()));
  for (const Inline& inline_ : inlines) hashInto(hasher, inline_);
}

void hashInto(Hasher& hasher, const Inline& inline_) {
  hasher.combine(static_cast<std::uint64_t>(inline_.value.index()));
  std::visit(
      [&hasher](const auto& payload) {
        using Case = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<Case, Inline::Link>) {
          hasher.combine(payload.destination);
        } else if constexpr (std::is_same_v<Case, Inline::ImageCase>) {
          hasher.combine(payload.source);
        }
        if constexpr (requires { payload.children; }) {
          hashInto(hasher, payload.children);
        } else if constexpr (requires { payload.text; }) {
          hasher.combine(payload.text);
        }
      },
      inline_.value);
}

namespace {

void hashOptional(Hasher& hasher, const std::optional<std::string>& text) {
  hasher.combineByte(text ? 1 : 0);
  if (text) hasher.combine(*text);
}

}  // namespace

void hashInto(Hasher& hasher, const Inline::Image& image) {
  hashOptional(hasher, image.source);
  hasher.combine(image.alt);
  hashOptional(hasher, image.destination);
}

}  // namespace markdown
