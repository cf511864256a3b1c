#pragma once

#include <foundation/ObservableObject.h>
#include <foundation/URL.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "markdown/ImageLoader.h"
#include "markdown/ImageProvider.h"
#include "ui/Geometry.h"
#include "ui/Image.h"
#include "ui/View.h"

namespace markdown {

// The load state of one block image. Belongs to one URL: asked for another, it starts over.
class DefaultImageViewModel final : public foundation::ObservableObject {
 public:
  enum class Phase { notRequested, loading, success, failure };
  struct State {
    Phase phase = Phase::notRequested;
    std::optional<ui::Image> image;
    ui::Size size;
    bool operator==(const State&) const = default;
  };

  explicit DefaultImageViewModel(DefaultImageLoader& loader = DefaultImageLoader::shared())
      : loader_(loader) {}

  const State& state() const { return state_.get(); }
  const std::optional<foundation::URL>& url() const { return url_; }

  // Loads `url` once; a model already loading or loaded for it does nothing.
  void task(const std::optional<foundation::URL>& url, const std::shared_ptr<ImageSession>& session,
            std::shared_ptr<std::atomic<bool>> cancelled = nullptr);

 private:
  foundation::Published<State> state_{this, State{}};
  std::optional<foundation::URL> url_;
  std::uint64_t generation_ = 0;
  DefaultImageLoader& loader_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // watched weakly by loads
};

// A block image from the network: nothing (a zero-size frame) until it has loaded, then the
// image at its pixel size, scaled down to the width offered.
class DefaultImageView final : public ui::View {
 public:
  DefaultImageView(std::optional<foundation::URL> url, std::shared_ptr<ImageSession> session)
      : url_(std::move(url)), session_(std::move(session)) {}
  ui::AnyView body(ui::BuildContext& context) const override;

 private:
  std::optional<foundation::URL> url_;
  std::shared_ptr<ImageSession> session_;
};

class DefaultImageProvider final : public ImageProvider {
 public:
  explicit DefaultImageProvider(std::shared_ptr<ImageSession> session = ImageSession::shared())
      : session_(std::move(session)) {}
  ui::AnyView makeImage(const std::optional<foundation::URL>& url) const override;

 private:
  std::shared_ptr<ImageSession> session_;
};

class DefaultInlineImageProvider final : public InlineImageProvider {
 public:
  explicit DefaultInlineImageProvider(
      std::shared_ptr<ImageSession> session = ImageSession::shared())
      : session_(std::move(session)) {}
  // The label is not used.
  void image(const foundation::URL& url, const std::string& label,
             Completion completion) const override;

 private:
  std::shared_ptr<ImageSession> session_;
};

// Images by name from a folder of the program's resources: the name is made from the URL (by
// default its last path component).
class AssetImageProvider final : public ImageProvider {
 public:
  using Name = std::function<std::string(const foundation::URL&)>;
  explicit AssetImageProvider(Name name = lastPathComponent,
                              std::optional<std::filesystem::path> folder = std::nullopt)
      : name_(std::move(name)), folder_(std::move(folder)) {}
  ui::AnyView makeImage(const std::optional<foundation::URL>& url) const override;

  static std::string lastPathComponent(const foundation::URL& url);
  // The folder used when none is given; by default none is set and nothing is found.
  static void setDefaultFolder(std::filesystem::path folder);

 private:
  Name name_;
  std::optional<std::filesystem::path> folder_;
};

class AssetInlineImageProvider final : public InlineImageProvider {
 public:
  explicit AssetInlineImageProvider(
      AssetImageProvider::Name name = AssetImageProvider::lastPathComponent,
      std::optional<std::filesystem::path> folder = std::nullopt)
      : name_(std::move(name)), folder_(std::move(folder)) {}
  void image(const foundation::URL& url, const std::string& label,
             Completion completion) const override;

 private:
  AssetImageProvider::Name name_;
  std::optional<std::filesystem::path> folder_;
};

// Makes the network providers the environment's defaults; done by the Markdown view itself.
void installDefaultImageProviders();

}  // namespace markdown
