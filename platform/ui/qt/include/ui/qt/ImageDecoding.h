#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "ui/Image.h"

namespace ui::qt {

// Decoded images never take more than this many bytes of pixels (4 bytes a pixel): a small
// file that claims a huge size is refused before it is decoded.
inline constexpr std::size_t kDefaultImageAllocationLimit = 128u * 1024 * 1024;

// Decodes PNG, JPEG, GIF (first frame) and, where Qt's plugins offer it, WebP into the
// layer's straight-RGBA pixels. Absent for unreadable data or an image over the limit.
// Safe on any thread (QImageReader), so loads can decode off the main thread.
std::optional<Image> decodeImage(std::span<const std::uint8_t> bytes,
                                 std::size_t allocationLimit = kDefaultImageAllocationLimit);
std::optional<Image> decodeImageFile(const std::filesystem::path& path,
                                     std::size_t allocationLimit = kDefaultImageAllocationLimit);

// A Qt image of a bitmap (shares nothing with it), for painting.
QImage toQImage(const PixelBuffer& pixels);

}  // namespace ui::qt
