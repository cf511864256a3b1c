#include "ui/ResourceFolder.h"

#include <system_error>

namespace ui {

ResourceFolder::ResourceFolder(std::filesystem::path root, Decoder decoder)
    : root_(std::move(root)), decoder_(std::move(decoder)) {}

std::optional<std::filesystem::path> ResourceFolder::locate(std::string_view name) const {
  // A name comes from content (an image reference); it must not reach outside the folder.
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
    return std::nullopt;
  }
  for (const std::string& candidate : {std::string(name), std::string(name) + ".png"}) {
    const std::filesystem::path path = root_ / candidate;
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) return path;
  }
  return std::nullopt;
}

std::optional<Image> ResourceFolder::image(std::string_view name) const {
  const auto path = locate(name);
  if (!path) return std::nullopt;
  if (!decoder_) return Image::file(*path);
  auto pixels = decoder_(*path);
  if (!pixels) return std::nullopt;
  return Image::bitmap(std::move(pixels));
}

}  // namespace ui
