#include "ui/Image.h"

#include <cmath>

#include "ui/Font.h"
#include "ui/SymbolRegistry.h"

namespace ui {

double imageScaleFactor(ImageScale scale) {
  switch (scale) {
    case ImageScale::small:
      return 0.8;
    case ImageScale::medium:
      return 1.0;
    case ImageScale::large:
      return 1.3;
  }
  return 1.0;
}

std::shared_ptr<const PixelBuffer> PixelBuffer::make(int width, int height,
                                                     std::vector<std::uint8_t> rgba) {
  if (width <= 0 || height <= 0) return nullptr;
  const auto bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
  if (rgba.size() != bytes) return nullptr;
  auto buffer = std::make_shared<PixelBuffer>();
  buffer->width = width;
  buffer->height = height;
  buffer->rgba = std::move(rgba);
  return buffer;
}

Image Image::bitmap(std::shared_ptr<const PixelBuffer> pixels) {
  Image image;
  image.kind_ = Kind::bitmap;
  image.pixels_ = std::move(pixels);
  return image;
}

Image Image::file(std::filesystem::path path) {
  Image image;
  image.kind_ = Kind::file;
  image.path_ = std::move(path);
  return image;
}

Image Image::symbol(std::string name) {
  Image image;
  image.kind_ = Kind::symbol;
  image.name_ = std::move(name);
  return image;
}

Image Image::resizable() const {
  Image image = *this;
  image.resizable_ = true;
  return image;
}

const Symbol* Image::symbolDefinition() const {
  return kind_ == Kind::symbol ? SymbolRegistry::shared().find(name_) : nullptr;
}

Size Image::naturalSize() const {
  return naturalSize(Font::kDefaultSize, ImageScale::medium);
}

Size Image::naturalSize(double fontSize, ImageScale scale) const {
  switch (kind_) {
    case Kind::bitmap:
      if (!pixels_) return {};
      return {static_cast<double>(pixels_->width), static_cast<double>(pixels_->height)};
    case Kind::file:
      return {};
    case Kind::symbol: {
      const Symbol* symbol = symbolDefinition();
      if (!symbol || !std::isfinite(fontSize) || fontSize <= 0) return {};
      const double height = fontSize * imageScaleFactor(scale);
      return {height * symbol->aspectRatio, height};
    }
  }
  return {};
}

bool Image::operator==(const Image& other) const {
  if (kind_ != other.kind_ || resizable_ != other.resizable_) return false;
  switch (kind_) {
    case Kind::bitmap:
      return pixels_ == other.pixels_;
    case Kind::file:
      return path_ == other.path_;
    case Kind::symbol:
      return name_ == other.name_;
  }
  return false;
}

}  // namespace ui
