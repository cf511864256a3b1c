#pragma once

#include <foundation/URL.h>

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "markdown/DocumentBlocks.h"
#include "markdown/MarkdownContent.h"
#include "ui/View.h"

namespace markdown {

// A Markdown document as views, styled by the theme in force. Link destinations resolve against
// `baseURL`, image sources against `imageBaseURL` (the base URL when none is given). Equal
// documents compare equal, so showing the same text again rebuilds nothing. Its blocks are made
// only while they show in the scroll view around it (see DocumentSequence).
class Markdown final : public ui::EquatableView<Markdown> {
 public:
  Markdown(MarkdownContent content, std::optional<foundation::URL> baseURL = std::nullopt,
           std::optional<foundation::URL> imageBaseURL = std::nullopt);
  // Parses once, here.
  explicit Markdown(std::string_view markdown,
                    std::optional<foundation::URL> baseURL = std::nullopt,
                    std::optional<foundation::URL> imageBaseURL = std::nullopt);
  // Calls the builder once, here.
  Markdown(std::optional<foundation::URL> baseURL, std::optional<foundation::URL> imageBaseURL,
           const std::function<MarkdownContent()>& content);
  // Blocks parsed already (a growing answer's, from GrowingMarkdown), shared as they are.
  explicit Markdown(DocumentBlocks blocks, std::optional<foundation::URL> baseURL = std::nullopt,
                    std::optional<foundation::URL> imageBaseURL = std::nullopt);

  ui::AnyView body(ui::BuildContext& context) const override;

  const DocumentBlocks& blocks() const { return *blocks_; }
  const std::optional<foundation::URL>& baseURL() const { return baseURL_; }
  const std::optional<foundation::URL>& imageBaseURL() const { return imageBaseURL_; }

  bool operator==(const Markdown& other) const;

 private:
  std::shared_ptr<const DocumentBlocks> blocks_;
  std::optional<foundation::URL> baseURL_, imageBaseURL_;
};

}  // namespace markdown
