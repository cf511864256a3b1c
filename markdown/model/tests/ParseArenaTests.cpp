#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../src/ParseArena.h"
#include "ModelPrinting.h"
#include "markdown/CommonMark.h"

namespace markdown {
namespace {

// Every kind of block and inline, texts short and long (a long one outgrows the arena's blocks),
// in an order drawn from `seed`, until the text holds `bytes`.
std::string mixedAnswer(std::uint32_t seed, std::size_t bytes) {
  const std::string longWords = [] {
    std::string words;
    while (words.size() < 3000) words += "words that run on and on, ";
    return words;
  }();
  const std::vector<std::string> pieces = {
      "# Heading with `code`\n\n",
      "Text with *emphasis*, **strong**, ~~struck~~, `code`, <b>html</b>, [a link](x.html), "
      "![an image](i.png), www.example.com and a hard  \nbreak,\nsoftly.\n\n",
      "A paragraph of " + longWords + "ending.\n\n",
      "- one\n- two\n  - nested *item*\n\n",
      "3. three\n4. four\n\n",
      "- [x] done\n- [ ] open\n- plain\n\n",
      "| left | centre | right | none |\n|:--|:-:|--:|---|\n| a | **b** | `c` | d |\n| e |\n\n",
      "```swift\nlet code = 1\n" + longWords + "\n```\n\n",
      "<div>\n<p>raw</p>\n</div>\n\n",
      "> quoted\n> - list in a quote\n\n",
      "***\n\n",
  };
  std::string text;
  while (text.size() < bytes) {
    seed = seed * 1664525u + 1013904223u;
    text += pieces[(seed >> 8) % pieces.size()];
  }
  return text;
}

// The same text parsed with the library's own memory, for comparison.
CommonMarkNode parsedOnTheHeap(const std::string& text) {
  cmark_parser* parser = cmark_parser_new(0);
  for (const CommonMarkExtension& extension : CommonMarkExtension::defaultExtensions()) {
    cmark_parser_attach_syntax_extension(parser,
                                         cmark_find_syntax_extension(extension.rawValue.c_str()));
  }
  cmark_parser_feed(parser, text.data(), text.size());
  cmark_node* document = cmark_parser_finish(parser);
  cmark_parser_free(parser);
  return CommonMarkNode(document);
}

// A document keeps its text whatever other documents do meanwhile: several are alive at once,
// some are freed before the others are read, and each gives what the library's own memory gives.
TEST(ParseArena, DocumentsAreThoseOfTheLibrarysOwnMemory) {
  const auto extensions = CommonMarkExtension::defaultExtensions();
  std::uint32_t seed = 1;
  for (const std::size_t kib : {1, 30, 300, 2}) {
    const std::string first = mixedAnswer(++seed, kib * 1024);
    const std::string second = mixedAnswer(++seed, kib * 512);
    const std::string third = mixedAnswer(++seed, kib * 1024);
    auto firstDocument = CommonMarkNode::parse(first, extensions, 0);
    auto secondDocument = CommonMarkNode::parse(second, extensions, 0);
    ASSERT_TRUE(firstDocument && secondDocument);
    firstDocument.reset();
    auto thirdDocument = CommonMarkNode::parse(third, extensions, 0);
    ASSERT_TRUE(thirdDocument);
    EXPECT_EQ(makeBlocks(*secondDocument), makeBlocks(parsedOnTheHeap(second))) << kib;
    EXPECT_EQ(makeBlocks(*thirdDocument), makeBlocks(parsedOnTheHeap(third))) << kib;
    EXPECT_EQ(parseMarkdown(first), makeBlocks(parsedOnTheHeap(first))) << kib;
  }
}

class ParseArenaMemory : public testing::Test {
 protected:
  cmark_mem& mem = *ParseArena::allocator();
};

TEST_F(ParseArenaMemory, AFreedBlockServesTheNextOfItsSizeZeroed) {
  ParseArena arena;
  const ParseArena::Scope scope(arena);
  void* first = mem.calloc(1, 40);
  std::memset(first, 0xff, 40);
  mem.free(first);
  auto* second = static_cast<unsigned char*>(mem.calloc(4, 10));
  EXPECT_EQ(second, first);
  EXPECT_EQ(std::vector<unsigned char>(second, second + 40), std::vector<unsigned char>(40, 0));
  for (int i = 0; i < 10'000; ++i) mem.free(mem.calloc(1, 40));
  EXPECT_EQ(arena.slabCount(), 1u);
  mem.free(second);
}

// Buffers grow from the arena's small blocks to the heap's and keep their bytes; blocks made
// outside a scope are the heap's and may be grown and freed inside one, and the other way round.
TEST_F(ParseArenaMemory, GrowingBlocksKeepTheirBytesWhereverTheyLive) {
  const auto filled = [](std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
  };
  char* outside = static_cast<char*>(mem.realloc(nullptr, 100));
  std::memcpy(outside, filled(100).data(), 100);
  ParseArena arena;
  char* inside = nullptr;
  {
    const ParseArena::Scope scope(arena);
    char* block = nullptr;
    std::size_t held = 0;
    for (const std::size_t size : {24, 200, 480, 496, 4000, 100'000, 300}) {
      block = static_cast<char*>(mem.realloc(block, size));
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(std::string(block, std::min(held, size)), filled(std::min(held, size))) << size;
      std::memcpy(block, filled(size).data(), size);
      held = size;
    }
    mem.free(block);
    outside = static_cast<char*>(mem.realloc(outside, 5000));
    inside = static_cast<char*>(mem.calloc(1, 64));
    std::memcpy(inside, filled(64).data(), 64);
  }
  EXPECT_EQ(std::string(outside, 100), filled(100));
  inside = static_cast<char*>(mem.realloc(inside, 128));
  EXPECT_EQ(std::string(inside, 64), filled(64));
  mem.free(inside);
  mem.free(outside);
}

}  // namespace
}  // namespace markdown
