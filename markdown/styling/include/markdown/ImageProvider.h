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
  // With the image's alternative text, for providers that show something in the image's place;
  // by default the text is not used.
  virtual ui::AnyView makeLabeledImage(const std::optional<foundation::URL>& url,
                                       const std::string& alt) const {
    (void)alt;
    return makeImage(url);
  }
};

// Keeps its own copy of any provider. Copies are equal to each other, so an environment that
// carries the same provider again is unchanged.
class AnyImageProvider final : public ImageProvider {
 public:
  using MakeImage = std::function<ui::AnyView(const std::optional<foundation::URL>&)>;

  explicit AnyImageProvider(MakeImage makeImage)
      : boxed_(std::make_shared<const Function>(ignoringAlt(std::move(makeImage)))) {}
  template <class P>
  requires(std::derived_from<std::decay_t<P>, ImageProvider> &&
           !std::same_as<std::decay_t<P>, AnyImageProvider>) explicit AnyImageProvider(P&& provider)
      : boxed_(std::make_shared<const Function>(
            [copy = std::make_shared<const std::decay_t<P>>(std::forward<P>(provider))](
                const std::optional<foundation::URL>& url, const std::string* alt) {
              return alt ? copy->makeLabeledImage(url, *alt) : copy->makeImage(url);
            })) {}

  ui::AnyView makeImage(const std::optional<foundation::URL>& url) const override {
    return *boxed_ ? (*boxed_)(url, nullptr) : ui::AnyView();
  }
  ui::AnyView makeLabeledImage(const std::optional<foundation::URL>& url,
                               const std::string& alt) const override {
    return *boxed_ ? (*boxed_)(url, &alt) : ui::AnyView();
  }
  bool operator==(const AnyImageProvider& other) const { return boxed_ == other.boxed_; }

 private:
  // The alternative text, when the caller has one.
  using Function =
      std::function<ui::AnyView(const std::optional<foundation::URL>&, const std::string*)>;
  static Function ignoringAlt(MakeImage makeImage) {
    if (!makeImage) return {};
    return [makeImage = std::move(makeImage)](const std::optional<foundation::URL>& url,
                                              const std::string*) { return makeImage(url); };
  }
  std::shared_ptr<const Function> boxed_;
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
