#include "panel/GlowCodeSyntaxHighlighter.h"

#include <utility>

namespace panel {

GlowCodeSyntaxHighlighter::GlowCodeSyntaxHighlighter(glow::Theme theme)
    : syntaxHighlighter(TextOutputFormat{std::move(theme)}, glow::SwiftGrammar()) {}

ui::Text GlowCodeSyntaxHighlighter::highlightCode(const std::string& code,
                                                  const std::optional<std::string>&) const {
  return syntaxHighlighter.highlight(code);
}

}  // namespace panel
