#pragma once

#include <string>
#include <string_view>

#include "panel/FloatingView.h"
#include "ui/View.h"

namespace panel {

// A finished answer as Markdown: the default theme, the body text at `fontSize`, code blocks
// coloured by the panel's highlighter with the midnight colours.
ui::AnyView MarkdownAnswer(std::string_view markdown, double fontSize);

// MarkdownAnswer that hands the same view back for the same text and size while that view is
// shown, for a panel that rebuilds often, and parses a text that extends one shown only from
// the last block of that one (GrowingMarkdown): a streamed answer is not parsed whole again.
MarkdownRenderer cachedMarkdownAnswers();

}  // namespace panel
