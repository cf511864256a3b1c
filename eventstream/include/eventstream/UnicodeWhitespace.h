#pragma once

namespace eventstream {

// Unicode space separators (Zs) and TAB.
bool isSpaceOrTab(char32_t c);

// Space separators, TAB, LF through CR, NEL, LINE SEPARATOR and PARAGRAPH SEPARATOR.
bool isWhitespaceOrNewline(char32_t c);

}  // namespace eventstream
