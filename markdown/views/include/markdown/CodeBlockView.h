#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "appkit/Pasteboard.h"
#include "ui/View.h"

namespace markdown {

// The pasteboard the copy buttons of code blocks write to; by default the desktop's clipboard.
struct PasteboardKey {
  using Value = std::shared_ptr<appkit::Pasteboard>;
  static Value defaultValue();
};

// How long a code block's copy button says "Copied".
inline constexpr std::chrono::milliseconds kCopiedDuration{2000};

// Code in a padded box with a grey bar down its leading edge, coloured by the environment's
// highlighter. Its copy button is CodeBlockCopyButton: see CodeBlock.
class CodeBlockView final : public ui::View {
 public:
  CodeBlockView(std::optional<std::string> info, std::string content)
      : info_(std::move(info)), content_(std::move(content)) {}
  ui::AnyView body(ui::BuildContext& context) const override;
  const std::optional<std::string>& info() const { return info_; }
  const std::string& content() const { return content_; }

 private:
  std::optional<std::string> info_;
  std::string content_;
};

// "Copy code": puts the code on the pasteboard and says "Copied" for a while.
class CodeBlockCopyButton final : public ui::View {
 public:
  explicit CodeBlockCopyButton(std::string content) : content_(std::move(content)) {}
  ui::AnyView body(ui::BuildContext& context) const override;

 private:
  std::string content_;
};

// A code block as a document shows it: the code view in its block style (which may scroll it
// sideways), the copy button in the top-trailing corner of what the style shows, so that it
// stays in sight however short the code or far it is scrolled.
ui::AnyView CodeBlock(std::optional<std::string> info, std::string content,
                      const std::function<ui::AnyView(ui::AnyView)>& style);

// Raw HTML shown as its text.
class HTMLBlockView final : public ui::View {
 public:
  explicit HTMLBlockView(std::string content) : content_(std::move(content)) {}
  ui::AnyView body(ui::BuildContext& context) const override;
  const std::string& content() const { return content_; }

 private:
  std::string content_;
};

}  // namespace markdown
