#pragma once

#include <optional>
#include <string>

#include "glow/SyntaxHighlighter.h"
#include "glow/Theme.h"
#include "markdown/CodeSyntaxHighlighter.h"
#include "panel/TextOutputFormat.h"

namespace panel {

// Colours the code blocks of answers. Every block is read as Swift, whatever its fence says.
class GlowCodeSyntaxHighlighter final : public markdown::CodeSyntaxHighlighter {
 public:
  explicit GlowCodeSyntaxHighlighter(glow::Theme theme);

  ui::Text highlightCode(const std::string& code,
                         const std::optional<std::string>& language) const override;

  glow::SyntaxHighlighter<TextOutputFormat> syntaxHighlighter;
};

}  // namespace panel
