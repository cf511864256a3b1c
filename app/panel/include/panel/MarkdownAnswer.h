#pragma once

#include <string>

#include "panel/FloatingView.h"
#include "ui/View.h"

namespace panel {

// A finished answer as Markdown: the default theme, the body text at `fontSize`, code blocks
// coloured by the panel's highlighter with the midnight colours.
ui::AnyView MarkdownAnswer(const std::string& markdown, double fontSize);

// MarkdownAnswer that keeps the answers it made last and hands the same view back for the same
// text and size, for a panel that rebuilds often.
MarkdownRenderer cachedMarkdownAnswers();

}  // namespace panel
