#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ui/TextValue.h"

namespace markdown {

// Colours the text of code blocks.
class CodeSyntaxHighlighter {
 public:
  virtual ~CodeSyntaxHighlighter() = default;
  virtual ui::Text highlightCode(const std::string& code,
                                 const std::optional<std::string>& language) const = 0;
};

// The code verbatim, whatever the language.
class PlainTextCodeSyntaxHighlighter final : public CodeSyntaxHighlighter {
 public:
  ui::Text highlightCode(const std::string& code,
                         const std::optional<std::string>& language) const override;
  static std::shared_ptr<const CodeSyntaxHighlighter> plainText();
};

}  // namespace markdown
