#include "panel/AnswerImages.h"

#include "foundation/DispatchQueue.h"
#include "markdown/DefaultImageProviders.h"
#include "markdown/FlowLayout.h"
#include "markdown/MarkdownEnvironment.h"
#include "ui/Controls.h"
#include "ui/ImageView.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"
#include "ui/State.h"
#include "ui/SystemEnvironment.h"
#include "ui/TextValue.h"

namespace panel {
namespace {

using Phase = markdown::DefaultImageViewModel::Phase;

std::string hostOf(const foundation::URL& url) {
  const std::string host = url.host();
  return host.empty() ? url.absoluteString() : host;
}

std::string captionFor(Phase phase, const std::string& host) {
  switch (phase) {
    case Phase::loading:
      return "Loading from " + host + "\u2026";
    case Phase::failure:
      return "Could not load the image from " + host;
    case Phase::notRequested:
    case Phase::success:
      break;
  }
  return host + " \u00B7 Click to load";
}

// What stands in the image's place until it has loaded. The panel is dark whatever the
// desktop's scheme, and its answers are white: so is the box.
ui::AnyView placeholder(const std::string& alt, const std::string& caption) {
  const ui::AnyView box =
      ui::HStack(ui::VAlign::center, 8,
                 {ui::Text::verbatim("\U0001F5BC").font(ui::Font::system(20)),
                  ui::VStack(ui::HAlign::leading, 2,
                             {ui::Text::verbatim(alt.empty() ? "Image" : alt),
                              ui::Text::verbatim(caption)
                                  .font(ui::Font::callout())
                                  .foregroundColor(ui::Color::white().opacity(0.6))})})
          .padding(ui::EdgeInsets{8, 10, 8, 12})
          .background(ui::RoundedRectangle(6).fill(ui::Color::white().opacity(0.08)))
          .overlay(ui::RoundedRectangle(6).strokeBorder(ui::Color::white().opacity(0.2), 1));
  return box;
}

ui::AnyView fitted(const ui::Image& image) {
  return markdown::ResizeToFit(ui::ImageView(image.resizable()));
}

class AskFirstImage final : public ui::View {
 public:
  AskFirstImage(foundation::URL url, std::string alt,
                std::shared_ptr<markdown::ImageSession> session,
                markdown::DefaultImageLoader& loader)
      : url_(std::move(url)),
        alt_(std::move(alt)),
        session_(std::move(session)),
        loader_(&loader) {}

  ui::AnyView body(ui::BuildContext& context) const override {
    auto model = context.stateObject<markdown::DefaultImageViewModel>(
        [loader = loader_] { return std::make_shared<markdown::DefaultImageViewModel>(*loader); });
    const auto& state = model->state();
    const bool forThisURL = model->url() == url_;
    if (forThisURL && state.phase == Phase::success && state.image) return fitted(*state.image);
    if (auto cached = loader_->cachedImage(url_)) return fitted(*cached);
    const Phase phase = forThisURL ? state.phase : Phase::notRequested;
    ui::AnyView box = placeholder(alt_, captionFor(phase, hostOf(url_)))
                          .accessibilityIdentifier("answer.image " + url_.absoluteString());
    if (phase != Phase::notRequested) return box;
    return ui::Button(
               [weak = std::weak_ptr<markdown::DefaultImageViewModel>(model), url = url_,
                session = session_] {
                 if (auto m = weak.lock()) m->task(url, session);
               },
               box)
        .buttonStyle(ui::ButtonStyle::plain);
  }

 private:
  foundation::URL url_;
  std::string alt_;
  std::shared_ptr<markdown::ImageSession> session_;
  markdown::DefaultImageLoader* loader_;
};

}  // namespace

ui::AnyView AskFirstImageProvider::makeImage(const std::optional<foundation::URL>& url) const {
  return makeLabeledImage(url, "");
}

ui::AnyView AskFirstImageProvider::makeLabeledImage(const std::optional<foundation::URL>& url,
                                                    const std::string& alt) const {
  // Addresses that are not on the network are left to the default view, which reads nothing.
  if (!url || !markdown::isLoadableImageURL(*url)) return markdown::DefaultImageView(url, session_);
  return AskFirstImage(*url, alt, session_, *loader_);
}

void CachedInlineImageProvider::image(const foundation::URL& url, const std::string&,
                                      Completion completion) const {
  Result result;
  result.image = loader_->cachedImage(url);
  if (!result.image) result.error = "Images in running text are not loaded from the network.";
  foundation::DispatchQueue::main().async(
      [completion = std::move(completion), result = std::move(result)] { completion(result); });
}

ui::AnyView withAnswerImageProviders(ui::AnyView answer) {
  // One of each for every build, so that the environment below stays the same.
  static const markdown::AnyImageProvider block{AskFirstImageProvider()};
  static const auto inlineImages = std::make_shared<const CachedInlineImageProvider>();
  return markdown::markdownInlineImageProvider(
      answer.environment<markdown::ImageProviderKey>(block), inlineImages);
}

}  // namespace panel
