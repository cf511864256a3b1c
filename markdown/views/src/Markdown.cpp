#include "markdown/Markdown.h"

#include "markdown/BlockSequence.h"
#include "markdown/DefaultImageProviders.h"
#include "markdown/ImageFilter.h"
#include "markdown/MarkdownEnvironment.h"
#include "ui/State.h"
#include "ui/SystemEnvironment.h"

namespace markdown {
namespace {

// The text style handed to the blocks, kept as the same object while what it collects stays
// the same. The environment compares styles by identity, and the style is made anew on every
// build (each streamed token rebuilds the answer): an equal-but-new object would make every
// block below build and lay out again.
struct StableTextStyle {
  ui::AttributeContainer collected;
  AnyTextStyle style;
};

ColorScheme modelScheme(ui::ColorScheme scheme) {
  return scheme == ui::ColorScheme::dark ? ColorScheme::dark : ColorScheme::light;
}

}  // namespace

Markdown::Markdown(MarkdownContent content, std::optional<foundation::URL> baseURL,
                   std::optional<foundation::URL> imageBaseURL)
    : Markdown(DocumentBlocks(std::move(content.blocks)), std::move(baseURL),
               std::move(imageBaseURL)) {}

Markdown::Markdown(std::string_view markdown, std::optional<foundation::URL> baseURL,
                   std::optional<foundation::URL> imageBaseURL)
    : Markdown(MarkdownContent(markdown), std::move(baseURL), std::move(imageBaseURL)) {}

Markdown::Markdown(std::optional<foundation::URL> baseURL,
                   std::optional<foundation::URL> imageBaseURL,
                   const std::function<MarkdownContent()>& content)
    : Markdown(content ? content() : MarkdownContent(), std::move(baseURL),
               std::move(imageBaseURL)) {}

Markdown::Markdown(DocumentBlocks blocks, std::optional<foundation::URL> baseURL,
                   std::optional<foundation::URL> imageBaseURL)
    : blocks_(std::make_shared<const DocumentBlocks>(std::move(blocks))),
      baseURL_(std::move(baseURL)),
      imageBaseURL_(imageBaseURL ? std::move(imageBaseURL) : baseURL_) {
  installDefaultImageProviders();
}

bool Markdown::operator==(const Markdown& other) const {
  return (blocks_ == other.blocks_ || *blocks_ == *other.blocks_) && baseURL_ == other.baseURL_ &&
         imageBaseURL_ == other.imageBaseURL_;
}

ui::AnyView Markdown::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  const auto stable =
      *context.state<std::shared_ptr<StableTextStyle>>(std::make_shared<StableTextStyle>());

  // The theme's base text style is collected after, and wins over, what the caller set.
  const AnyTextStyle withTheme = std::make_shared<const TextStyleBuilder::Pair>(
      env.get<TextStyleKey>(), env.get<ThemeKey>().text());
  const ui::AttributeContainer attributes = collectedAttributes(withTheme);
  // The raw size, not size × scale; the desktop's text scaling is left to the fonts.
  const FontProperties* properties = attributes.get<FontPropertiesAttribute>();
  const double size = properties ? properties->size : FontProperties::defaultSize;
  const AnyTextStyle sized = std::make_shared<const TextStyleBuilder::Pair>(
      withTheme, std::make_shared<const FontSize>(size));
  const ui::AttributeContainer collected = collectedAttributes(sized);
  if (!stable->style || !(stable->collected == collected)) {
    stable->collected = collected;
    stable->style = sized;
  }

  const auto scheme = modelScheme(env.get<ui::ColorSchemeKey>());
  // Most answers have no images for one appearance only: then the blocks are shown as they are.
  std::shared_ptr<const DocumentBlocks> shown = blocks_;
  if (blocks_->hidesImagesIn(scheme)) {
    std::vector<DocumentBlocks::Shared> filtered;
    filtered.reserve(blocks_->size());
    for (std::size_t i = 0; i < blocks_->size(); ++i) {
      const auto& block = (*blocks_)[i];
      filtered.push_back(block->hidesImagesIn(scheme)
                             ? std::make_shared<const DocumentBlock>(
                                   std::move(filterImages({block->block}, scheme).front()))
                             : block);
    }
    shown = std::make_shared<const DocumentBlocks>(std::move(filtered));
  }
  return DocumentSequence(std::move(shown))
      .foregroundColor(attributes.foregroundColor)
      .background(attributes.backgroundColor)
      .environment<TextStyleKey>(stable->style)
      .environment<BaseURLKey>(baseURL_)
      .environment<ImageBaseURLKey>(imageBaseURL_);
}

}  // namespace markdown
