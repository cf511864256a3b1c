#pragma once

#include <memory>
#include <optional>
#include <string>

#include "foundation/URL.h"
#include "markdown/ImageLoader.h"
#include "markdown/ImageProvider.h"
#include "ui/View.h"

namespace panel {

// Images in answers. Their addresses come from the answer, so fetching one would hand the
// host whatever the address carries, the user's text included. An image on the network shows
// as a box with its alternative text and host until the user clicks it; then it loads like
// any Markdown image. One already in the image cache is shown at once: that costs no request.
class AskFirstImageProvider final : public markdown::ImageProvider {
 public:
  explicit AskFirstImageProvider(
      std::shared_ptr<markdown::ImageSession> session = markdown::ImageSession::shared(),
      markdown::DefaultImageLoader& loader = markdown::DefaultImageLoader::shared())
      : session_(std::move(session)), loader_(&loader) {}

  ui::AnyView makeImage(const std::optional<foundation::URL>& url) const override;
  ui::AnyView makeLabeledImage(const std::optional<foundation::URL>& url,
                               const std::string& alt) const override;

 private:
  std::shared_ptr<markdown::ImageSession> session_;
  markdown::DefaultImageLoader* loader_;
};

// Images inside running text have no room for a box to click: they show only when the cache
// already holds them, and are never fetched.
class CachedInlineImageProvider final : public markdown::InlineImageProvider {
 public:
  explicit CachedInlineImageProvider(
      markdown::DefaultImageLoader& loader = markdown::DefaultImageLoader::shared())
      : loader_(&loader) {}
  void image(const foundation::URL& url, const std::string& label,
             Completion completion) const override;

 private:
  markdown::DefaultImageLoader* loader_;
};

// The answer with the two providers above in its environment.
ui::AnyView withAnswerImageProviders(ui::AnyView answer);

}  // namespace panel
