#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "ui/Image.h"

namespace ui {

// Images looked up by name in one folder of the program's resources.
class ResourceFolder {
 public:
  // Turns a file into pixels; null when the file is no image it can read.
  using Decoder = std::function<std::shared_ptr<const PixelBuffer>(const std::filesystem::path&)>;

  // Without a decoder, found images are file images for the backend to decode.
  explicit ResourceFolder(std::filesystem::path root, Decoder decoder = {});

  // The regular file `name`, else `name`.png, directly in the folder. Names that are empty or
  // hold a path separator, or are "." or "..", are never looked up.
  std::optional<std::filesystem::path> locate(std::string_view name) const;
  std::optional<Image> image(std::string_view name) const;

  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
  Decoder decoder_;
};

}  // namespace ui
