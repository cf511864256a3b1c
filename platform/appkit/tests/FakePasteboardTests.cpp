#include <gtest/gtest.h>

#include "appkit/FakePasteboard.h"

namespace appkit {
namespace {

TEST(FakePasteboard, WritesReadsAndCountsEveryChange) {
  FakePasteboard pasteboard;
  EXPECT_EQ(pasteboard.string(), std::nullopt);
  const auto start = pasteboard.changeCount();

  EXPECT_TRUE(pasteboard.setString("héllo"));
  EXPECT_EQ(pasteboard.string(), "héllo");
  EXPECT_EQ(pasteboard.clearContents(), start + 2);
  EXPECT_EQ(pasteboard.string(), std::nullopt);

  EXPECT_TRUE(pasteboard.setString(""));
  EXPECT_EQ(pasteboard.string(), "");  // empty text is text
  EXPECT_EQ(pasteboard.changeCount(), start + 3);

  pasteboard.setWritesFail(true);
  EXPECT_FALSE(pasteboard.setString("x"));
  EXPECT_EQ(pasteboard.string(), "");
  EXPECT_EQ(pasteboard.changeCount(), start + 3);
}

TEST(FakePasteboard, SnapshotPutsBackEveryFormAndNothingWhereNothingWas) {
  FakePasteboard pasteboard;
  const std::vector<PasteboardEntry> copied{
      {"image/png", "image/png", 8, std::string("\x89PNG\0x", 6)},
      {"UTF8_STRING", "UTF8_STRING", 8, "caption"}};
  pasteboard.setEntries(copied);
  const auto snapshot = pasteboard.saveAll();

  pasteboard.clearContents();
  pasteboard.setString("pasted");
  EXPECT_TRUE(pasteboard.restore(snapshot));
  EXPECT_EQ(pasteboard.entries(), copied);

  pasteboard.clearContents();
  const auto nothing = pasteboard.saveAll();
  pasteboard.setString("pasted");
  const auto before = pasteboard.changeCount();
  EXPECT_TRUE(pasteboard.restore(nothing));
  EXPECT_TRUE(pasteboard.entries().empty());
  EXPECT_EQ(pasteboard.string(), std::nullopt);
  EXPECT_GT(pasteboard.changeCount(), before);
}

}  // namespace
}  // namespace appkit
