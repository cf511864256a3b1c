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

bool hidesAnyImage(const std::vector<Inline>& inlines, ColorScheme scheme);

bool hidesAnyImage(const std::vector<Block>& blocks, ColorScheme scheme) {
  for (const auto& b : blocks) {
    bool hides = false;
    std::visit(
        [&](const auto& value) {
          using T = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<T, Block::Blockquote>) {
            hides = hidesAnyImage(value.blocks, scheme);
          } else if constexpr (std::is_same_v<T, Block::BulletedList> ||
                               std::is_same_v<T, Block::NumberedList> ||
                               std::is_same_v<T, Block::TaskList>) {
            for (const auto& item : value.items)
              hides = hides || hidesAnyImage(item.blocks, scheme);
          } else if constexpr (std::is_same_v<T, Block::Paragraph>) {
            hides = hidesAnyImage(value.inlines, scheme);
          } else if constexpr (std::is_same_v<T, Block::Heading>) {
            hides = hidesAnyImage(value.text, scheme);
          } else if constexpr (std::is_same_v<T, Block::Table>) {
            for (const auto& row : value.rows)
              for (const auto& cell : row) hides = hides || hidesAnyImage(cell, scheme);
          }
        },
        b.value);
    if (hides) return true;
  }
  return false;
}

bool hidesAnyImage(const std::vector<Inline>& inlines, ColorScheme scheme) {
  for (const auto& i : inlines) {
    if (const auto* image = i.as<Inline::ImageCase>()) {
      auto url = foundation::URL::parse(image->source);
      if (url && !isVisible(*url, scheme)) return true;
    }
    std::vector<Inline> const* children = nullptr;
    if (const auto* e = i.as<Inline::Emphasis>()) children = &e->children;
    if (const auto* s = i.as<Inline::Strong>()) children = &s->children;
    if (const auto* s = i.as<Inline::Strikethrough>()) children = &s->children;
    if (const auto* l = i.as<Inline::Link>()) children = &l->children;
    if (children && hidesAnyImage(*children, scheme)) return true;
  }
  return false;
}

ColorScheme modelScheme(ui::ColorScheme scheme) {
  return scheme == ui::ColorScheme::dark ? ColorScheme::dark : ColorScheme::light;
}

}  // namespace

Markdown::Markdown(MarkdownContent content, std::optional<foundation::URL> baseURL,
                   std::optional<foundation::URL> imageBaseURL)
    : content_(std::make_shared<const MarkdownContent>(std::move(content))),
      baseURL_(std::move(baseURL)),
      imageBaseURL_(imageBaseURL ? std::move(imageBaseURL) : baseURL_) {
  installDefaultImageProviders();
}

Markdown::Markdown(std::string_view markdown, std::optional<foundation::URL> baseURL,
                   std::optional<foundation::URL> imageBaseURL)
    : Markdown(MarkdownContent(markdown), std::move(baseURL), std::move(imageBaseURL)) {}

Markdown::Markdown(std::optional<foundation::URL> baseURL,
                   std::optional<foundation::URL> imageBaseURL,
                   const std::function<MarkdownContent()>& content)
    : Markdown(content ? content() : MarkdownContent(), std::move(baseURL),
               std::move(imageBaseURL)) {}

bool Markdown::operator==(const Markdown& other) const {
  return (content_ == other.content_ || *content_ == *other.content_) &&
         baseURL_ == other.baseURL_ && imageBaseURL_ == other.imageBaseURL_;
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
  auto blocks =
      hidesAnyImage(content_->blocks, scheme)
          ? std::make_shared<const std::vector<Block>>(filterImages(content_->blocks, scheme))
          : std::shared_ptr<const std::vector<Block>>(content_, &content_->blocks);
  return BlockSequence(std::move(blocks))
      .foregroundColor(attributes.foregroundColor)
      .background(attributes.backgroundColor)
      .environment<TextStyleKey>(stable->style)
      .environment<BaseURLKey>(baseURL_)
      .environment<ImageBaseURLKey>(imageBaseURL_);
}

}  // namespace markdown
