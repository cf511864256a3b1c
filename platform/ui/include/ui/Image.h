#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ui/Geometry.h"

namespace ui {

struct Symbol;

enum class ImageScale { small, medium, large };

// Size factor of a symbol relative to its font: small 0.8, medium 1, large 1.3.
double imageScaleFactor(ImageScale scale);

// Decoded pixels: straight RGBA, 8 bits a channel, rows top to bottom without padding.
struct PixelBuffer {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;

  // Absent unless width and height are positive and `rgba` holds exactly width × height × 4
  // bytes.
  static std::shared_ptr<const PixelBuffer> make(int width, int height,
                                                 std::vector<std::uint8_t> rgba);
};

// An image as views describe it: decoded pixels, a file not decoded yet (the backend decodes
// it), or one of our vector symbols.
class Image {
 public:
  enum class Kind { bitmap, file, symbol };

  // A null buffer gives an empty bitmap of size 0 × 0.
  static Image bitmap(std::shared_ptr<const PixelBuffer> pixels);
  static Image file(std::filesystem::path path);
  // An unknown name gives a symbol of size 0 × 0 that draws nothing.
  static Image symbol(std::string name);

  // Stretches to the frame it is given instead of keeping its natural size.
  Image resizable() const;
  bool isResizable() const { return resizable_; }

  Kind kind() const { return kind_; }
  const std::shared_ptr<const PixelBuffer>& pixels() const { return pixels_; }
  const std::filesystem::path& filePath() const { return path_; }
  const std::string& symbolName() const { return name_; }
  const Symbol* symbolDefinition() const;  // null unless a known symbol

  // Points = pixels for bitmaps; 0 × 0 for an undecoded file; a symbol at the body font size
  // (13) and medium scale.
  Size naturalSize() const;
  // Symbols are `fontSize` × the scale factor high; other kinds ignore both arguments.
  Size naturalSize(double fontSize, ImageScale scale) const;

  // Bitmaps compare by buffer identity, files by path, symbols by name.
  bool operator==(const Image& other) const;

 private:
  Kind kind_ = Kind::bitmap;
  std::shared_ptr<const PixelBuffer> pixels_;
  std::filesystem::path path_;
  std::string name_;
  bool resizable_ = false;
};

}  // namespace ui
