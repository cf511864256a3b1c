#include <gtest/gtest.h>

#include <fstream>

#include "ui/Image.h"
#include "ui/ResourceFolder.h"
#include "ui/SymbolRegistry.h"

namespace ui {
namespace {

TEST(ImageTest, BitmapsMeasureInPixels) {
  auto pixels = PixelBuffer::make(3, 2, std::vector<std::uint8_t>(3 * 2 * 4, 0xFF));
  ASSERT_TRUE(pixels);
  const Image image = Image::bitmap(pixels);
  EXPECT_EQ(image.naturalSize(), (Size{3, 2}));
  EXPECT_EQ(image.naturalSize(40, ImageScale::large), (Size{3, 2}));  // fonts size symbols only
  EXPECT_FALSE(image.isResizable());
  EXPECT_TRUE(image.resizable().isResizable());
  EXPECT_EQ(image.resizable().naturalSize(), (Size{3, 2}));
  EXPECT_NE(image.resizable(), image);
  EXPECT_EQ(Image::bitmap(pixels), image);

  EXPECT_FALSE(PixelBuffer::make(3, 2, std::vector<std::uint8_t>(23)));
  EXPECT_FALSE(PixelBuffer::make(0, 2, {}));
  EXPECT_FALSE(PixelBuffer::make(-1, -1, std::vector<std::uint8_t>(4)));
  EXPECT_EQ(Image::bitmap(nullptr).naturalSize(), (Size{0, 0}));
}

TEST(ImageTest, SymbolsAreSizedFromTheFont) {
  EXPECT_EQ(imageScaleFactor(ImageScale::small), 0.8);
  EXPECT_EQ(imageScaleFactor(ImageScale::medium), 1.0);
  EXPECT_EQ(Image::symbol("square").naturalSize(), (Size{13, 13}));
  EXPECT_EQ(Image::symbol("square").naturalSize(20, ImageScale::small), (Size{16, 16}));
  EXPECT_GT(Image::symbol("square").naturalSize(20, ImageScale::large).height, 20);
  EXPECT_EQ(Image::symbol("no.such.symbol").naturalSize(), (Size{0, 0}));
  EXPECT_EQ(Image::symbol("no.such.symbol").symbolDefinition(), nullptr);
  EXPECT_EQ(Image::symbol("square").naturalSize(-1, ImageScale::medium), (Size{0, 0}));
}

TEST(ImageTest, RegistryDrawsEverySymbolInsideItsBox) {
  const auto& registry = SymbolRegistry::shared();
  for (const char* name : {"doc.on.doc", "checkmark", "circle.fill", "circle", "square.fill",
                           "checkmark.square.fill", "square"}) {
    const Symbol* symbol = registry.find(name);
    ASSERT_NE(symbol, nullptr) << name;
    EXPECT_EQ(symbol->name, name);
    ASSERT_FALSE(symbol->layers.empty()) << name;
    for (const SymbolLayer& layer : symbol->layers) {
      const Rect box = layer.path.boundingRect();
      EXPECT_FALSE(box.isEmpty()) << name;
      EXPECT_GE(box.minX(), 0) << name;
      EXPECT_GE(box.minY(), 0) << name;
      EXPECT_LE(box.maxX(), symbol->aspectRatio) << name;
      EXPECT_LE(box.maxY(), 1) << name;
    }
    EXPECT_NE(Image::symbol(name).symbolDefinition(), nullptr) << name;
  }
  EXPECT_EQ(registry.names().size(), 15u);
  // Outlined symbols are rings; they need the even-odd rule to stay hollow.
  EXPECT_EQ(registry.find("circle")->layers[0].path.fillRule(), Path::FillRule::evenOdd);
}

TEST(ImageTest, LayersTakeTheirColourFromTheRenderingMode) {
  using Role = SymbolLayer::Role;
  const Color primary = Color::rgba(0xB9B9BBFF), secondary = Color::rgba(0xEEEEEFFF);
  EXPECT_EQ(symbolLayerColor(Role::secondary, SymbolRenderingMode::monochrome, primary, secondary),
            primary);
  EXPECT_EQ(
      symbolLayerColor(Role::secondary, SymbolRenderingMode::hierarchical, primary, secondary),
      secondary);
  EXPECT_EQ(symbolLayerColor(Role::primary, SymbolRenderingMode::hierarchical, primary, secondary),
            primary);
  EXPECT_EQ(symbolLayerColor(Role::secondary, SymbolRenderingMode::hierarchical, primary),
            primary.opacity(kHierarchicalSecondaryOpacity));

  // Monochrome cuts the check out of the square instead of painting it over in the same colour.
  const Symbol* checked = SymbolRegistry::shared().find("checkmark.square.fill");
  ASSERT_EQ(checked->layers.size(), 2u);
  EXPECT_TRUE(checked->layers[0].drawnInMonochrome);
  EXPECT_FALSE(checked->layers[1].drawnInMonochrome);
}

class ResourceFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        std::filesystem::temp_directory_path() /
        ("quill-resources-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(root_ / "inner");
    std::ofstream(root_ / "logo.png") << "png";
    std::ofstream(root_ / "raw") << "raw";
    std::ofstream(root_.parent_path() / "outside.png") << "x";
  }
  void TearDown() override {
    std::filesystem::remove_all(root_);
    std::filesystem::remove(root_.parent_path() / "outside.png");
  }
  std::filesystem::path root_;
};

TEST_F(ResourceFolderTest, FindsNamesWithOrWithoutTheExtension) {
  const ResourceFolder folder(root_);
  EXPECT_EQ(folder.locate("logo"), root_ / "logo.png");
  EXPECT_EQ(folder.locate("logo.png"), root_ / "logo.png");
  EXPECT_EQ(folder.locate("raw"), root_ / "raw");
  EXPECT_FALSE(folder.locate("missing"));
  EXPECT_FALSE(folder.locate("inner"));  // a folder is no image
  const auto image = folder.image("logo");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->kind(), Image::Kind::file);
  EXPECT_EQ(image->filePath(), root_ / "logo.png");
}

TEST_F(ResourceFolderTest, NamesCannotLeaveTheFolder) {
  const ResourceFolder folder(root_);
  for (std::string_view name : {"", ".", "..", "../outside", "../outside.png", "inner/../logo",
                                "/etc/passwd", "..\\outside"}) {
    EXPECT_FALSE(folder.locate(name)) << name;
  }
  EXPECT_FALSE(folder.locate(std::string_view("logo\0x", 6)));
}

TEST_F(ResourceFolderTest, DecodesThroughTheGivenDecoder) {
  std::filesystem::path decoded;
  const ResourceFolder folder(root_, [&](const std::filesystem::path& path) {
    decoded = path;
    return path.filename() == "logo.png" ? PixelBuffer::make(1, 1, {1, 2, 3, 4})
                                         : std::shared_ptr<const PixelBuffer>();
  });
  const auto image = folder.image("logo");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->kind(), Image::Kind::bitmap);
  EXPECT_EQ(image->naturalSize(), (Size{1, 1}));
  EXPECT_EQ(decoded, root_ / "logo.png");
  EXPECT_FALSE(folder.image("raw"));  // not decodable
}

}  // namespace
}  // namespace ui
