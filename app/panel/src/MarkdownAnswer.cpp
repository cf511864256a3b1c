#include "panel/MarkdownAnswer.h"

#include <memory>

#include "glow/Theme.h"
#include "markdown/Markdown.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/TextStyle.h"
#include "panel/AnswerImages.h"
#include "panel/GlowCodeSyntaxHighlighter.h"
#include "ui/SystemEnvironment.h"

namespace panel {

namespace {

ui::AnyView styled(ui::AnyView document, double fontSize) {
  // Only the theme's colours reach the code; its font is the code block's. One highlighter for
  // every build: the environment compares it by identity, and a new one each time would build
  // and lay out every block of a streamed answer again on every token.
  static const auto highlighter = std::make_shared<const GlowCodeSyntaxHighlighter>(
      glow::Theme::midnight(ui::Font::system(16)));
  document =
      markdown::markdownCodeSyntaxHighlighter(withAnswerImageProviders(document), highlighter);
  return markdown::markdownTextStyle(document, markdown::FontSize(fontSize))
      .textSelection(ui::TextSelectability::enabled);
}

}  // namespace

ui::AnyView MarkdownAnswer(const std::string& markdown, double fontSize) {
  return styled(markdown::Markdown(std::string_view(markdown)), fontSize);
}

MarkdownRenderer cachedMarkdownAnswers() {
  struct Parsed {
    std::string text;
    ui::AnyView document;
  };
  // The panel rebuilds on every change of the model; an answer is parsed again only when its
  // text changed.
  return [last = std::make_shared<Parsed>()](const std::string& markdown, double fontSize) {
    if (!last->document || last->text != markdown)
      *last = {markdown, markdown::Markdown(std::string_view(markdown))};
    return styled(last->document, fontSize);
  };
}

}  // namespace panel
