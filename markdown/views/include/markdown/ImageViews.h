#pragma once

#include <optional>
#include <string>
#include <vector>

#include "markdown/Indexed.h"
#include "markdown/Inline.h"
#include "ui/View.h"

namespace markdown {

// One block image: the environment's image provider's view of its source (resolved against the
// image base URL), a plain button opening its link (resolved against the base URL) when it has
// one, in the theme's image style, labelled with its alternative text.
class ImageView final : public ui::View {
 public:
  ImageView(std::optional<std::string> source, std::string alt,
            std::optional<std::string> destination)
      : source_(std::move(source)), alt_(std::move(alt)), destination_(std::move(destination)) {}
  // A paragraph of exactly one image, or one link around only an image.
  static std::optional<ImageView> make(const std::vector<Inline>& inlines);

  ui::AnyView body(ui::BuildContext& context) const override;

  const std::optional<std::string>& source() const { return source_; }
  const std::string& alt() const { return alt_; }
  const std::optional<std::string>& destination() const { return destination_; }

 private:
  std::optional<std::string> source_;
  std::string alt_;
  std::optional<std::string> destination_;
};

// One entry of an image flow: an image, or a line break (no image).
struct ImageFlowItem {
  std::optional<Inline::Image> image;
  bool operator==(const ImageFlowItem&) const = default;
};
void hashInto(Hasher& hasher, const ImageFlowItem& item);

// A paragraph or table cell of images and breaks only, in wrapping rows spaced by a quarter of
// the text size.
class ImageFlow final : public ui::View {
 public:
  explicit ImageFlow(std::vector<Indexed<ImageFlowItem>> items) : items_(std::move(items)) {}
  // Images (also inside a link, or a link in a link), line breaks, soft breaks and empty
  // texts; anything else gives no flow. No inlines give an empty flow.
  static std::optional<ImageFlow> make(const std::vector<Inline>& inlines);

  ui::AnyView body(ui::BuildContext& context) const override;
  const std::vector<Indexed<ImageFlowItem>>& items() const { return items_; }

 private:
  std::vector<Indexed<ImageFlowItem>> items_;
};

// The spacing of an image flow for a text size: round(size / 4), halves away from zero.
double imageFlowSpacing(double textSize);

}  // namespace markdown
