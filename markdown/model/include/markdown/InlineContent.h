#pragma once

#include <initializer_list>
#include <vector>

#include "markdown/Inline.h"

namespace markdown {

template <class Builder>
class BuilderComponent;
struct InlineContentBuilder;
// A statement of an inline content body (see InlineBuilders.h).
using InlineComponent = BuilderComponent<InlineContentBuilder>;

// The inlines that the inline builders produce.
struct InlineContent {
  std::vector<Inline> inlines;

  // The content of an inline content body.
  static InlineContent build(std::initializer_list<InlineComponent> content);

  const InlineContent& _inlineContent() const { return *this; }

  bool operator==(const InlineContent&) const = default;
};

}  // namespace markdown
