#include <foundation/DispatchQueue.h>

#include "markdown/CodeSyntaxHighlighter.h"
#include "markdown/ImageProvider.h"

namespace markdown {
namespace {

class NoInlineImages final : public InlineImageProvider {
 public:
  void image(const foundation::URL&, const std::string&, Completion completion) const override {
    foundation::DispatchQueue::main().async([completion = std::move(completion)] {
      completion({std::nullopt, "No image loader is installed"});
    });
  }
};

}  // namespace

ui::Text PlainTextCodeSyntaxHighlighter::highlightCode(const std::string& code,
                                                       const std::optional<std::string>&) const {
  return ui::Text::verbatim(code);
}

std::shared_ptr<const CodeSyntaxHighlighter> PlainTextCodeSyntaxHighlighter::plainText() {
  static const auto highlighter = std::make_shared<const PlainTextCodeSyntaxHighlighter>();
  return highlighter;
}

DefaultImageProviders& DefaultImageProviders::shared() {
  static DefaultImageProviders providers;
  return providers;
}

void DefaultImageProviders::install(BlockFactory block, InlineFactory inlineImages) {
  block_ = std::move(block);
  inline_ = std::move(inlineImages);
}

AnyImageProvider DefaultImageProviders::makeBlockProvider() const {
  if (block_) return block_();
  return AnyImageProvider(AnyImageProvider::MakeImage{});
}

std::shared_ptr<const InlineImageProvider> DefaultImageProviders::makeInlineProvider() const {
  if (inline_) return inline_();
  return std::make_shared<const NoInlineImages>();
}

}  // namespace markdown
