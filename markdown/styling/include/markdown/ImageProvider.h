#pragma once

#include <foundation/URL.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "ui/Image.h"
#include "ui/View.h"

namespace markdown {

// Makes the view of a block-level image.
class ImageProvider {
 public:
  virtual ~ImageProvider() = default;
  virtual ui::AnyView makeImage(const std::optional<foundation::URL>& url) const = 0;
};

// Keeps its own copy of any provider.
class AnyImageProvider final : public ImageProvider {
 public:
  using MakeImage = std::function<ui::AnyView(const std::optional<foundation::URL>&)>;

  explicit AnyImageProvider(MakeImage makeImage) : makeImage_(std::move(makeImage)) {}
  template <class P>
  requires(std::derived_from<std::decay_t<P>, ImageProvider> &&
           !std::same_as<std::decay_t<P>, AnyImageProvider>) explicit AnyImageProvider(P&& provider)
      : makeImage_(
            [copy = std::make_shared<const std::decay_t<P>>(std::forward<P>(provider))](
                const std::optional<foundation::URL>& url) { return copy->makeImage(url); }) {}

  ui::AnyView makeImage(const std::optional<foundation::URL>& url) const override {
    return makeImage_ ? makeImage_(url) : ui::AnyView();
  }

 private:
  MakeImage makeImage_;
};

// Loads the image of an inline image, asynchronously; the completion runs on the main queue
// with the image or a description of the failure.
class InlineImageProvider {
 public:
  struct Result {
    std::optional<ui::Image> image;
    std::string error;  // set when there is no image
  };
  using Completion = std::function<void(Result)>;

  virtual ~InlineImageProvider() = default;
  virtual void image(const foundation::URL& url, const std::string& label,
                     Completion completion) const = 0;
};

// The environment's default providers, which load over the network, come from the renderer;
// until it installs its factories, block images show nothing and inline images fail.
struct DefaultImageProviders {
  using BlockFactory = std::function<AnyImageProvider()>;
  using InlineFactory = std::function<std::shared_ptr<const InlineImageProvider>()>;

  static DefaultImageProviders& shared();

  // Call once at start, before any view reads the defaults.
  void install(BlockFactory block, InlineFactory inlineImages);
  AnyImageProvider makeBlockProvider() const;
  std::shared_ptr<const InlineImageProvider> makeInlineProvider() const;

 private:
  BlockFactory block_;
  InlineFactory inline_;
};

}  // namespace markdown
