#include "markdown/DefaultImageProviders.h"

#include <foundation/DispatchQueue.h>

#include <fstream>
#include <iterator>
#include <mutex>

#include "markdown/FlowLayout.h"
#include "ui/ImageView.h"
#include "ui/ResourceFolder.h"
#include "ui/Shapes.h"
#include "ui/State.h"
#include "ui/Task.h"

namespace markdown {

void DefaultImageViewModel::task(const std::optional<foundation::URL>& url,
                                 const std::shared_ptr<ImageSession>& session,
                                 std::shared_ptr<std::atomic<bool>> cancelled) {
  if (url != url_ && state().phase != Phase::notRequested) {
    // Asked for another image: what was shown belongs to the old one.
    ++generation_;
    state_ = State{};
  }
  url_ = url;
  if (state().phase != Phase::notRequested) return;
  if (!url) {
    state_ = State{Phase::failure, std::nullopt, {}};
    return;
  }
  state_ = State{Phase::loading, std::nullopt, {}};
  // Results for a gone model or an old URL are dropped.
  loader_.image(
      *url, session,
      [this, alive = std::weak_ptr<int>(alive_), generation = generation_](ImageLoadResult result) {
        if (alive.expired() || generation != generation_) return;
        if (result.image)
          state_ = State{Phase::success, result.image, result.image->naturalSize()};
        else
          state_ = State{Phase::failure, std::nullopt, {}};
      },
      std::move(cancelled));
}

ui::AnyView DefaultImageView::body(ui::BuildContext& context) const {
  auto model = context.stateObject<DefaultImageViewModel>(
      [] { return std::make_shared<DefaultImageViewModel>(); });
  const auto& state = model->state();
  if (state.phase == DefaultImageViewModel::Phase::success && state.image && model->url() == url_)
    return ResizeToFit(ui::ImageView(state.image->resizable()));
  const ui::Identity taskId(url_ ? url_->absoluteString() : std::string());
  return ui::ColorView(ui::Color::clear())
      .frame(0.0, 0.0)
      .task(taskId, [weak = std::weak_ptr<DefaultImageViewModel>(model), url = url_,
                     session = session_](ui::TaskContext& task) {
        if (auto m = weak.lock()) m->task(url, session, task.cancellation());
      });
}

ui::AnyView DefaultImageProvider::makeImage(const std::optional<foundation::URL>& url) const {
  return DefaultImageView(url, session_);
}

void DefaultInlineImageProvider::image(const foundation::URL& url, const std::string&,
                                       Completion completion) const {
  DefaultImageLoader::shared().image(
      url, session_, [completion = std::move(completion)](ImageLoadResult result) {
        InlineImageProvider::Result r;
        r.image = std::move(result.image);
        if (!r.image) r.error = result.error ? result.error->description : "No image.";
        completion(std::move(r));
      });
}

namespace {

struct AssetFolder {
  std::mutex mutex;
  std::optional<std::filesystem::path> folder;
  static AssetFolder& shared() {
    static AssetFolder f;
    return f;
  }
};

std::optional<ui::Image> assetImage(const std::string& name,
                                    const std::optional<std::filesystem::path>& given) {
  std::optional<std::filesystem::path> folder = given;
  if (!folder) {
    auto& d = AssetFolder::shared();
    std::lock_guard lock(d.mutex);
    folder = d.folder;
  }
  if (!folder) return std::nullopt;
  return ui::ResourceFolder(*folder).image(name);
}

}  // namespace

std::string AssetImageProvider::lastPathComponent(const foundation::URL& url) {
  std::string path = url.path();
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void AssetImageProvider::setDefaultFolder(std::filesystem::path folder) {
  auto& d = AssetFolder::shared();
  std::lock_guard lock(d.mutex);
  d.folder = std::move(folder);
}

ui::AnyView AssetImageProvider::makeImage(const std::optional<foundation::URL>& url) const {
  if (!url || !name_) return {};
  auto image = assetImage(name_(*url), folder_);
  if (!image) return {};
  return ResizeToFit(ui::ImageView(image->resizable()));
}

void AssetInlineImageProvider::image(const foundation::URL& url, const std::string&,
                                     Completion completion) const {
  Result result;
  result.image = name_ ? assetImage(name_(url), folder_) : std::nullopt;
  if (!result.image) result.error = "No such image.";
  foundation::DispatchQueue::main().async(
      [completion = std::move(completion), result = std::move(result)] { completion(result); });
}

void installDefaultImageProviders() {
  static std::once_flag once;
  std::call_once(once, [] {
    DefaultImageProviders::shared().install(
        [] { return AnyImageProvider(DefaultImageProvider()); },
        [] { return std::make_shared<const DefaultInlineImageProvider>(); });
  });
}

}  // namespace markdown
