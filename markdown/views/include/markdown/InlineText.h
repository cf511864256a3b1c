#pragma once

#include <foundation/URL.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "markdown/Inline.h"
#include "markdown/TextStyle.h"
#include "ui/AttributedString.h"
#include "ui/Image.h"
#include "ui/TextValue.h"
#include "ui/View.h"

namespace markdown {

// What inline rendering takes from its surroundings: the base of links and the theme's inline
// styles.
struct InlineEnvironment {
  std::optional<foundation::URL> baseURL;
  AnyTextStyle code, emphasis, strong, strikethrough, link;
};

// Loaded inline images by source.
using InlineImages = std::map<std::string, ui::Image>;

// One inline as attributed text, starting from `attributes`; images inside running text give
// nothing.
ui::AttributedString renderAttributedString(const Inline& inline_,
                                            const InlineEnvironment& environment,
                                            const ui::AttributeContainer& attributes);
ui::AttributedString renderAttributedString(const std::vector<Inline>& inlines,
                                            const InlineEnvironment& environment,
                                            const ui::AttributeContainer& attributes);

// The text of a paragraph: each top-level inline in turn, a top-level image as its loaded image
// (nothing until it has loaded), font descriptions turned into fonts.
ui::Text renderText(const std::vector<Inline>& inlines, const InlineImages& images,
                    const InlineEnvironment& environment, const ui::AttributeContainer& attributes);

// The images of a paragraph that are loaded: those standing directly in it, once each. An image
// inside a link is never shown, so it is not fetched either.
std::vector<Inline::Image> inlineImagesToLoad(const std::vector<Inline>& inlines);

// Running text: paragraphs, headings, table cells. Loads its top-level images through the
// environment's inline image provider and shows them all at once when every one has loaded;
// one failure shows none.
class InlineText final : public ui::View {
 public:
  explicit InlineText(std::vector<Inline> inlines) : inlines_(std::move(inlines)) {}
  ui::AnyView body(ui::BuildContext& context) const override;
  const std::vector<Inline>& inlines() const { return inlines_; }

 private:
  std::vector<Inline> inlines_;
};

}  // namespace markdown
