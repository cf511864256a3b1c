#include "markdown/InlineText.h"

#include <algorithm>
#include <memory>

#include "markdown/FontProperties.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/URLResolution.h"
#include "ui/State.h"
#include "ui/Task.h"

namespace markdown {
namespace {

ui::AttributeContainer with(const AnyTextStyle& style, const ui::AttributeContainer& attributes) {
  ui::AttributeContainer copy = attributes;
  collect(style, copy);
  return copy;
}

}  // namespace

ui::AttributedString renderAttributedString(const Inline& inline_,
                                            const InlineEnvironment& environment,
                                            const ui::AttributeContainer& attributes) {
  switch (inline_.kind()) {
    case Inline::Kind::text:
      return ui::AttributedString(inline_.as<Inline::Text>()->text, attributes);
    case Inline::Kind::code:
      return ui::AttributedString(inline_.as<Inline::Code>()->text,
                                  with(environment.code, attributes));
    case Inline::Kind::html:
      return ui::AttributedString(inline_.as<Inline::HTML>()->text, attributes);
    case Inline::Kind::emphasis:
      return renderAttributedString(inline_.as<Inline::Emphasis>()->children, environment,
                                    with(environment.emphasis, attributes));
    case Inline::Kind::strong:
      return renderAttributedString(inline_.as<Inline::Strong>()->children, environment,
                                    with(environment.strong, attributes));
    case Inline::Kind::strikethrough:
      return renderAttributedString(inline_.as<Inline::Strikethrough>()->children, environment,
                                    with(environment.strikethrough, attributes));
    case Inline::Kind::link: {
      const auto* link = inline_.as<Inline::Link>();
      ui::AttributeContainer linked = with(environment.link, attributes);
      linked.link = resolveURL(link->destination, environment.baseURL);
      return renderAttributedString(link->children, environment, linked);
    }
    case Inline::Kind::image:
      // An image this text does not draw keeps its words in the line, for readers and for
      // screen readers alike.
      return renderAttributedString(inline_.as<Inline::ImageCase>()->children, environment,
                                    attributes);
    case Inline::Kind::softBreak:
      return ui::AttributedString(" ", attributes);
    case Inline::Kind::lineBreak:
      return ui::AttributedString("\n", attributes);
  }
  return {};
}

ui::AttributedString renderAttributedString(const std::vector<Inline>& inlines,
                                            const InlineEnvironment& environment,
                                            const ui::AttributeContainer& attributes) {
  ui::AttributedString result;
  for (const auto& i : inlines) result += renderAttributedString(i, environment, attributes);
  return result;
}

ui::Text renderText(const std::vector<Inline>& inlines, const InlineImages& images,
                    const InlineEnvironment& environment,
                    const ui::AttributeContainer& attributes) {
  ui::Text text;
  for (const auto& i : inlines) {
    if (const auto* image = i.as<Inline::ImageCase>()) {
      if (auto found = images.find(image->source); found != images.end()) {
        text += ui::Text::image(found->second);
        continue;
      }
    }
    text += ui::Text::attributed(
        resolvingFontProperties(renderAttributedString(i, environment, attributes)));
  }
  return text;
}

std::vector<Inline::Image> inlineImagesToLoad(const std::vector<Inline>& inlines) {
  std::vector<Inline::Image> images;
  for (const auto& i : inlines) {
    if (i.kind() != Inline::Kind::image) continue;
    auto image = Inline::Image::from(i);
    if (image && std::find(images.begin(), images.end(), *image) == images.end())
      images.push_back(std::move(*image));
  }
  return images;
}

namespace {

// One load of a paragraph's images: all of them, or none on the first failure.
struct InlineImageLoad {
  std::size_t remaining = 0;
  bool finished = false;
  InlineImages loaded;
};

}  // namespace

ui::AnyView InlineText::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  const Theme& theme = env.get<ThemeKey>();
  auto images = context.state<InlineImages>();
  const InlineEnvironment inlineEnvironment{env.get<BaseURLKey>(), theme.code(),
                                            theme.emphasis(),      theme.strong(),
                                            theme.strikethrough(), theme.link()};
  const ui::AttributeContainer attributes = collectedAttributes(env.get<TextStyleKey>());
  ui::AnyView text(renderText(inlines_, *images, inlineEnvironment, attributes));

  auto wanted = inlineImagesToLoad(inlines_);
  if (wanted.empty()) return text;
  return text.task([images, wanted = std::move(wanted),
                    provider = env.get<InlineImageProviderKey>(),
                    imageBase = env.get<ImageBaseURLKey>()](ui::TaskContext& task) {
    struct Request {
      std::string source;
      foundation::URL url;
      std::string alt;
    };
    std::vector<Request> requests;
    for (const auto& image : wanted) {
      if (!image.source) continue;
      if (auto url = resolveURL(*image.source, imageBase))
        requests.push_back({*image.source, std::move(*url), image.alt});
    }
    if (requests.empty() || !provider) {
      images.set({});
      return;
    }
    auto load = std::make_shared<InlineImageLoad>();
    load->remaining = requests.size();
    const auto cancelled = task.cancellation();
    for (const auto& request : requests) {
      provider->image(
          request.url, request.alt,
          [load, images, cancelled, source = request.source](InlineImageProvider::Result result) {
            if (load->finished || cancelled->load()) return;
            if (!result.image) {
              load->finished = true;
              images.set({});
              return;
            }
            load->loaded[source] = *result.image;
            if (--load->remaining > 0) return;
            load->finished = true;
            images.set(std::move(load->loaded));
          });
    }
  });
}

}  // namespace markdown
