#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

#include "panel/AnswerPreparation.h"

namespace panel {
namespace {

// Paragraphs of about 100 bytes, each followed by a blank line.
std::string paragraphs(std::size_t bytes) {
  std::string text;
  for (int i = 0; text.size() < bytes; ++i)
    text += "Paragraph " + std::to_string(i) + " of an answer, long enough to look like one, " +
            "with a few words more.\n\n";
  return text.substr(0, bytes);
}

TEST(AnswerPreparation, ShortAnswersAndAnswersWithoutABlankLineAreNotPrepared) {
  EXPECT_EQ(preparedAnswerLength(""), 0u);
  EXPECT_EQ(preparedAnswerLength(paragraphs(511)), 0u);
  EXPECT_EQ(preparedAnswerLength(std::string(50000, 'x')), 0u);
  // One blank line, after the first mark: nothing complete by the mark.
  EXPECT_EQ(preparedAnswerLength(std::string(3000, 'x') + "\n\nmore"), 0u);
}

TEST(AnswerPreparation, ThePreparedPartEndsAfterABlankLineAndStaysCloseToTheEnd) {
  for (std::size_t size : {512u, 2048u, 5000u, 20480u, 102400u, 300000u}) {
    const std::string text = paragraphs(size);
    const std::size_t prepared = preparedAnswerLength(text);
    ASSERT_GT(prepared, 0u) << size;
    ASSERT_LE(prepared, text.size());
    EXPECT_EQ(text.substr(prepared - 2, 2), "\n\n") << size;
    // At most a step and a paragraph are left.
    EXPECT_LE(text.size() - prepared, std::size_t(4096 + 110)) << size;
  }
}

TEST(AnswerPreparation, AStreamIsPreparedAgainOnceAStep) {
  // Streamed in tokens of 4 bytes, a 100 KiB answer changes its prepared part once every 512
  // bytes, 2 or 4 KiB, each time growing.
  const std::string text = paragraphs(102400);
  std::set<std::size_t> lengths;
  std::size_t last = 0;
  for (std::size_t end = 4; end <= text.size(); end += 4) {
    const std::size_t prepared = preparedAnswerLength(std::string_view(text).substr(0, end));
    ASSERT_GE(prepared, last);
    last = prepared;
    lengths.insert(prepared);
  }
  const std::size_t steps = 4096u / 512u + 12u / 2u + 84u / 4u;
  EXPECT_LE(lengths.size(), steps + 2u);
  EXPECT_GE(lengths.size(), steps - 2u);
  // The part that shows first is made a few paragraphs at a time.
  EXPECT_LE(*std::next(lengths.begin()), 512u);
}

}  // namespace
}  // namespace panel
