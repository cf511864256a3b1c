#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "markdown/DocumentBlocks.h"

namespace markdown {

// The blocks of a text that grows at its end, as a streamed answer does, each piece parsed about
// once. The blocks of a text above its last top-level block are closed: nothing appended can
// change them. So each text that extends the one before is parsed only from the start of the
// last block of the one before, and shares the closed blocks with it; any other text is parsed
// whole. A text where a link reference definition may stand is also parsed whole: a definition
// changes the links of every block, those above it too.
class GrowingMarkdown {
 public:
  // The blocks of `markdown`, the same as parsing it whole gives. `extendsLast` promises that
  // `markdown` begins with the text of the last call, which spares looking at all of it again.
  DocumentBlocks parse(std::string_view markdown, bool extendsLast = false);

  // Bytes at the start of the last text whose blocks are closed (what the next text that
  // extends it is not parsed again for).
  std::size_t settledLength() const { return wholeParses_ ? 0 : keptText_.size(); }

 private:
  void reset();

  // The text a new one must begin with to be parsed from where the last stopped: the closed
  // blocks' text, or while texts are parsed whole, all of the last.
  std::string keptText_;
  // The closed blocks, shared with the documents handed out: it only ever grows at its end
  // (a new text that does not extend the last gets a list of its own).
  std::shared_ptr<std::vector<DocumentBlocks::Shared>> settled_;
  DocumentBlocks::HiddenImages settledImages_;
  bool wholeParses_ = false;
  // Where the look for link reference definitions goes on.
  std::size_t scanFrom_ = 0;
};

// Whether a link reference definition ("[label]: destination") may begin in `text`: a line
// whose content, past indentation and quote and list markers, begins with "[" and has "]:"
// within the longest label after it. Errs towards yes.
bool mayDefineLinkReference(std::string_view text);

}  // namespace markdown
