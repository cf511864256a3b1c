#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <filesystem>
#include <fstream>

#include "QtTestSupport.h"
#include "ui/qt/ImageDecoding.h"

namespace ui::qt {
namespace {

std::vector<std::uint8_t> encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format)) << format;
  return {bytes.begin(), bytes.end()};
}

QImage sample() {
  QImage image(4, 3, QImage::Format_RGBA8888);
  image.fill(QColor(10, 200, 30));
  image.setPixelColor(0, 0, QColor(255, 0, 0, 128));
  return image;
}

TEST(ImageDecoding, DecodesCommonFormatsIntoStraightRgba) {
  testing::app();
  const auto png = decodeImage(encoded(sample(), "PNG"));
  ASSERT_TRUE(png && png->pixels());
  EXPECT_EQ(png->naturalSize(), (Size{4, 3}));
  const auto& rgba = png->pixels()->rgba;
  EXPECT_EQ((std::vector<int>{rgba[0], rgba[1], rgba[2], rgba[3]}),
            (std::vector<int>{255, 0, 0, 128}));  // not premultiplied
  EXPECT_EQ(rgba[4 * 5 + 1], 200);
  const auto jpeg = decodeImage(encoded(sample(), "JPEG"));
  ASSERT_TRUE(jpeg);
  EXPECT_EQ(jpeg->naturalSize(), (Size{4, 3}));
  if (QImageWriter::supportedImageFormats().contains("webp")) {
    const auto webp = decodeImage(encoded(sample(), "WEBP"));
    ASSERT_TRUE(webp);
    EXPECT_EQ(webp->naturalSize(), (Size{4, 3}));
  }
  // From a file, too.
  const auto path = std::filesystem::temp_directory_path() / "quill-image-test.png";
  {
    const auto bytes = encoded(sample(), "PNG");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  const auto file = decodeImageFile(path);
  std::filesystem::remove(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->naturalSize(), (Size{4, 3}));
}

TEST(ImageDecoding, RefusesGarbageAndImagesOverTheLimit) {
  testing::app();
  EXPECT_FALSE(decodeImage({}));
  const std::vector<std::uint8_t> garbage(100, 0x42);
  EXPECT_FALSE(decodeImage(garbage));
  const auto png = encoded(sample(), "PNG");
  EXPECT_FALSE(decodeImage(std::vector<std::uint8_t>(png.begin(), png.begin() + 20)));
  EXPECT_FALSE(decodeImage(png, 4 * 3 * 4 - 1));  // one byte short of the pixels
  EXPECT_TRUE(decodeImage(png, 4 * 3 * 4));
  // A header claiming 60000 × 60000 is refused before any pixel is decoded.
  const auto big = encoded(QImage(1, 1, QImage::Format_RGBA8888), "PNG");
  std::vector<std::uint8_t> lying = big;
  const std::uint8_t dims[8] = {0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60};  // IHDR width, height
  std::copy(dims, dims + 8, lying.begin() + 16);
  EXPECT_FALSE(decodeImage(lying));
  EXPECT_FALSE(decodeImageFile("/nonexistent/image.png"));
}

}  // namespace
}  // namespace ui::qt
