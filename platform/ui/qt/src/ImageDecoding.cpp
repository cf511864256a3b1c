#include "ui/qt/ImageDecoding.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <cstring>

namespace ui::qt {
namespace {

std::optional<Image> read(QImageReader& reader, std::size_t limit) {
  reader.setAutoTransform(true);
  const QSize size = reader.size();  // from the header, before any pixel is decoded
  if (!size.isValid() || size.isEmpty()) return std::nullopt;
  const auto bytes = std::uint64_t(size.width()) * std::uint64_t(size.height()) * 4;
  if (bytes > limit) return std::nullopt;
  // A header that lied about the size meets Qt's own allocation limit (128 MiB by default).
  QImage image;
  if (!reader.read(&image) || image.isNull()) return std::nullopt;
  if (std::uint64_t(image.width()) * std::uint64_t(image.height()) * 4 > limit) return std::nullopt;
  image = image.convertToFormat(QImage::Format_RGBA8888);
  const auto rowBytes = std::size_t(image.width()) * 4;
  std::vector<std::uint8_t> rgba(rowBytes * std::size_t(image.height()));
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(rgba.data() + rowBytes * std::size_t(y), image.constScanLine(y), rowBytes);
  auto pixels = PixelBuffer::make(image.width(), image.height(), std::move(rgba));
  if (!pixels) return std::nullopt;
  return Image::bitmap(std::move(pixels));
}

}  // namespace

std::optional<Image> decodeImage(std::span<const std::uint8_t> bytes, std::size_t limit) {
  if (bytes.empty()) return std::nullopt;
  QByteArray data =
      QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  return read(reader, limit);
}

std::optional<Image> decodeImageFile(const std::filesystem::path& path, std::size_t limit) {
  QImageReader reader(QString::fromStdString(path.string()));
  return read(reader, limit);
}

QImage toQImage(const PixelBuffer& pixels) {
  QImage image(pixels.width, pixels.height, QImage::Format_RGBA8888);
  const auto rowBytes = std::size_t(pixels.width) * 4;
  for (int y = 0; y < pixels.height; ++y)
    std::memcpy(image.scanLine(y), pixels.rgba.data() + rowBytes * std::size_t(y), rowBytes);
  return image;
}

}  // namespace ui::qt
