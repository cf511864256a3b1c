#include "markdown/ImageViews.h"

#include "markdown/FlowLayout.h"
#include "markdown/FontProperties.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/URLResolution.h"
#include "ui/Controls.h"
#include "ui/Shapes.h"
#include "ui/SystemEnvironment.h"

namespace markdown {
namespace {

// A link whose only child is an image, or a link whose only child is such a link: the image
// with the outer destination.
std::optional<Inline::Image> linkedImage(const Inline::Link& link, const std::string& destination,
                                         int depth) {
  if (link.children.size() != 1) return std::nullopt;
  const Inline& child = link.children.front();
  if (const auto* image = child.as<Inline::ImageCase>())
    return Inline::Image{image->source, plainText(image->children), destination};
  if (const auto* inner = child.as<Inline::Link>(); inner && depth == 0)
    return linkedImage(*inner, destination, 1);
  return std::nullopt;
}

}  // namespace

std::optional<ImageView> ImageView::make(const std::vector<Inline>& inlines) {
  if (inlines.size() != 1) return std::nullopt;
  auto image = Inline::Image::from(inlines.front());
  if (!image) return std::nullopt;
  return ImageView(std::move(image->source), std::move(image->alt), std::move(image->destination));
}

ui::AnyView ImageView::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  const std::optional<foundation::URL> url =
      source_ ? resolveURL(*source_, env.get<ImageBaseURLKey>()) : std::nullopt;
  ui::AnyView image = env.get<ImageProviderKey>().makeLabeledImage(url, alt_);
  if (destination_) {
    if (auto link = resolveURL(*destination_, env.get<BaseURLKey>())) {
      image = ui::Button([open = env.get<ui::OpenURLKey>(), link = *link] { open(link); }, image)
                  .buttonStyle(ui::ButtonStyle::plain);
    }
  }
  return ApplyBlockStyle(themeSlot(BlockSlot::image), BlockConfiguration{{image}})
      .accessibilityLabel(alt_);
}

void hashInto(Hasher& hasher, const ImageFlowItem& item) {
  hasher.combineByte(item.image ? 1 : 0);
  if (item.image) hashInto(hasher, *item.image);
}

std::optional<ImageFlow> ImageFlow::make(const std::vector<Inline>& inlines) {
  std::vector<Indexed<ImageFlowItem>> items;
  auto add = [&](std::optional<Inline::Image> image) {
    items.push_back({static_cast<std::int64_t>(items.size()), ImageFlowItem{std::move(image)}});
  };
  for (const auto& i : inlines) {
    switch (i.kind()) {
      case Inline::Kind::text:
        if (!i.as<Inline::Text>()->text.empty()) return std::nullopt;
        break;
      case Inline::Kind::softBreak:
        break;
      case Inline::Kind::lineBreak:
        add(std::nullopt);
        break;
      case Inline::Kind::image: {
        const auto* image = i.as<Inline::ImageCase>();
        add(Inline::Image{image->source, plainText(image->children), std::nullopt});
        break;
      }
      case Inline::Kind::link: {
        const auto* link = i.as<Inline::Link>();
        auto image = linkedImage(*link, link->destination, 0);
        if (!image) return std::nullopt;
        add(std::move(image));
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return ImageFlow(std::move(items));
}

double imageFlowSpacing(double textSize) {
  return roundPoints(textSize * 0.25);
}

ui::AnyView ImageFlow::body(ui::BuildContext& context) const {
  const ui::AttributeContainer a = collectedAttributes(context.environment().get<TextStyleKey>());
  const FontProperties* p = a.get<FontPropertiesAttribute>();
  const double s = imageFlowSpacing(p ? p->size : FontProperties::defaultSize);
  std::vector<ui::AnyView> children;
  children.reserve(items_.size());
  for (const auto& item : items_) {
    ui::AnyView child;
    if (item.value.image) {
      const auto& image = *item.value.image;
      child = ImageView(image.source, image.alt, image.destination);
    } else {
      // A line break takes the whole row, so the images after it start a new one.
      child = ui::ColorView(ui::Color::clear());
    }
    children.push_back(child.id(ui::Identity::of(item)));
  }
  return ui::CustomLayout(std::make_shared<const FlowLayout>(s, s), std::move(children));
}

}  // namespace markdown
