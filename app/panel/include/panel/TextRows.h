#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace panel {

// A plain text cut into rows of lines, so that a long message is laid out and drawn a screenful
// at a time. A row ends after a line with text that a line with text follows, once it holds
// kLinesPerRow lines or kBytesPerRow bytes: no empty line stands at a row's edge, so rows laid
// out one under the other look like the whole text. The line break between two rows belongs
// to neither.
class TextRows {
 public:
  static constexpr std::size_t kLinesPerRow = 32;
  static constexpr std::size_t kBytesPerRow = 4096;

  struct Row {
    std::size_t begin = 0, end = 0;  // bytes of the text
    std::size_t lines = 0;
  };
  // What the rows of one text are: the text and its rows, shared and never changed.
  struct Cut {
    std::shared_ptr<const std::string> text;
    std::vector<Row> rows;
    // Changes when a text comes that does not continue the one before, so that a row at the same
    // place is known to hold other text.
    std::uint64_t generation = 0;

    std::string_view row(std::size_t i) const {
      return std::string_view(*text).substr(rows[i].begin, rows[i].end - rows[i].begin);
    }
  };

  // The rows of `text`. A text that begins with the last one up to its last row is cut only from
  // there: a streamed answer is not looked at again whole for every piece that arrives.
  std::shared_ptr<const Cut> cut(std::shared_ptr<const std::string> text);

 private:
  std::shared_ptr<const Cut> last_;
  std::uint64_t generations_ = 0;
};

}  // namespace panel
