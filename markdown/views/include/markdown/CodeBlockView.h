#pragma once

#include <chrono>
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

// Code in a padded box with a grey bar down its leading edge and a copy button in its
// top-trailing corner, coloured by the environment's highlighter.
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
