#include "markdown/GrowingMarkdown.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "markdown/CommonMark.h"

namespace markdown {
namespace {

// A link label holds at most 999 characters (of up to four bytes) between its brackets.
constexpr std::size_t kLabelWindow = 4 * 999 + 3;

bool isSpace(char c) {
  return c == ' ' || c == '\t';
}

// Past the indentation and the quote and list markers at `i`.
std::size_t contentStart(std::string_view text, std::size_t i) {
  auto markerEnd = [&](std::size_t at) { return at >= text.size() || isSpace(text[at]); };
  while (i < text.size()) {
    if (isSpace(text[i]) || text[i] == '>') {
      ++i;
    } else if ((text[i] == '-' || text[i] == '+' || text[i] == '*') && markerEnd(i + 1)) {
      ++i;
    } else if (text[i] >= '0' && text[i] <= '9') {
      std::size_t j = i;
      while (j < text.size() && j - i < 9 && text[j] >= '0' && text[j] <= '9') ++j;
      if (j < text.size() && (text[j] == '.' || text[j] == ')') && markerEnd(j + 1)) {
        i = j + 1;
      } else {
        break;
      }
    } else {
      break;
    }
  }
  return i;
}

bool isLineEnd(char c) {
  return c == '\n' || c == '\r';
}

// The start of the line after the one at `i`, or the text's size; lines end as cmark ends
// them, at "\n", "\r\n" or "\r".
std::size_t nextLine(std::string_view text, std::size_t i) {
  while (i < text.size() && !isLineEnd(text[i])) ++i;
  if (i < text.size() && text[i] == '\r') {
    ++i;
    if (i < text.size() && text[i] == '\n') ++i;
  } else if (i < text.size()) {
    ++i;
  }
  return i;
}

struct ReferenceScan {
  bool found = false;
  // Where the next look must start: a line that may still become a definition's first line
  // as the text grows.
  std::size_t resumeAt = 0;
};

ReferenceScan scanForReferences(std::string_view text, std::size_t from) {
  ReferenceScan scan{false, text.size()};
  std::size_t line = from;
  while (line < text.size()) {
    const std::size_t next = nextLine(text, line);
    const std::size_t content = contentStart(text, line);
    if (next == text.size() && (next == line || !isLineEnd(text[next - 1]))) {
      // The last line may still grow into anything.
      scan.resumeAt = std::min(scan.resumeAt, line);
    }
    if (content < text.size() && text[content] == '[') {
      const std::size_t window = std::min(text.size(), content + kLabelWindow);
      if (text.substr(content, window - content).find("]:") != std::string_view::npos) {
        scan.found = true;
        return scan;
      }
      if (content + kLabelWindow > text.size()) scan.resumeAt = std::min(scan.resumeAt, line);
    }
    line = next;
  }
  return scan;
}

// The byte offset where line `number` (from 1) of `text` starts.
std::size_t lineOffset(std::string_view text, int number) {
  std::size_t at = 0;
  for (int line = 1; line < number && at < text.size(); ++line) at = nextLine(text, at);
  return at;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

bool mayDefineLinkReference(std::string_view text) {
  return scanForReferences(text, 0).found;
}

void GrowingMarkdown::reset() {
  keptText_.clear();
  settled_ = std::make_shared<std::vector<DocumentBlocks::Shared>>();
  settledImages_ = {};
  wholeParses_ = false;
  scanFrom_ = 0;
}

DocumentBlocks GrowingMarkdown::parse(std::string_view markdown, bool extendsLast) {
  if (!settled_ ||
      (extendsLast ? markdown.size() < keptText_.size() : !markdown.starts_with(keptText_)))
    reset();
  if (!wholeParses_) {
    // The closed blocks' text was looked at; what follows may differ from the last text's.
    const ReferenceScan scan = scanForReferences(markdown, std::min(scanFrom_, keptText_.size()));
    wholeParses_ = scan.found;
    scanFrom_ = scan.resumeAt;
  }
  if (wholeParses_) {
    // The definition stays in every text that extends this one.
    keptText_.assign(markdown);
    // Documents handed out before still read the list: a new one takes its place.
    if (!settled_->empty()) settled_ = std::make_shared<std::vector<DocumentBlocks::Shared>>();
    settledImages_ = {};
    return DocumentBlocks(parseMarkdown(markdown));
  }
  const std::string_view tail = markdown.substr(keptText_.size());
  // A new document skips a byte order mark at its start, which the whole text keeps as text.
  if (!keptText_.empty() && tail.starts_with(kByteOrderMark))
    return DocumentBlocks(parseMarkdown(markdown));

  ParsedTopLevel parsed = parseMarkdownTopLevel(tail);
  // The parser reads line by line without looking ahead, so a node that starts on a complete
  // line closed the nodes before it for good; a line still growing may yet join the node above
  // (a table row, a list item) instead. A node that starts on a line of the node before it (a
  // table whose header line a paragraph held until the delimiter row came) is no such start; a
  // node without lines of its own (the paragraph such a table leaves before it) takes those of
  // the node after it.
  std::size_t closed = 0, closedBytes = 0;
  std::vector<int> reachedBefore(parsed.nodes.size(), 0);  // the last line of the nodes before
  for (std::size_t i = 1; i < parsed.nodes.size(); ++i) {
    const auto& previous = parsed.nodes[i - 1];
    const int reached = previous.line > 0 ? previous.endLine : parsed.nodes[i].line;
    reachedBefore[i] = std::max(reachedBefore[i - 1], reached);
  }
  for (std::size_t k = parsed.nodes.size(); k-- > 0;) {
    const auto* node = &parsed.nodes[k];
    if (node->line <= 1) break;
    if (reachedBefore[k] >= node->line) continue;
    const std::size_t start = lineOffset(tail, node->line);
    const std::size_t next = nextLine(tail, start);
    if (next > start && isLineEnd(tail[next - 1])) {
      closed = node->blocksBefore;
      closedBytes = start;
      break;
    }
  }
  for (std::size_t i = 0; i < closed; ++i) {
    settled_->push_back(std::make_shared<const DocumentBlock>(std::move(parsed.blocks[i])));
    settledImages_.add(*settled_->back());
  }
  std::vector<DocumentBlocks::Shared> rest;
  rest.reserve(parsed.blocks.size() - closed);
  for (std::size_t i = closed; i < parsed.blocks.size(); ++i)
    rest.push_back(std::make_shared<const DocumentBlock>(std::move(parsed.blocks[i])));
  keptText_ += tail.substr(0, closedBytes);
  return DocumentBlocks(settled_, settled_->size(), std::move(rest), settledImages_);
}

}  // namespace markdown
