#include "panel/MarkdownAnswer.h"

#include <algorithm>
#include <memory>
#include <vector>

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
  struct Shown {
    std::string text;
    double fontSize = 0;
    ui::AnyView view;
  };
  // The answers shown last, most recent first. The panel rebuilds on every change of the model;
  // an answer whose text and size are the same is handed back as the same view, which the view
  // layer skips without comparing it.
  constexpr std::size_t kKept = 8;
  auto kept = std::make_shared<std::vector<Shown>>();
  return [kept](const std::string& markdown, double fontSize) {
    auto& shown = *kept;
    for (std::size_t i = 0; i < shown.size(); ++i) {
      if (shown[i].fontSize == fontSize && shown[i].text == markdown) {
        std::rotate(shown.begin(), shown.begin() + std::ptrdiff_t(i),
                    shown.begin() + std::ptrdiff_t(i) + 1);
        return shown.front().view;
      }
    }
    // An answer streamed further takes the place of its earlier part; otherwise the one shown
    // longest ago gives way.
    auto replaced = std::find_if(shown.begin(), shown.end(), [&](const Shown& s) {
      return s.fontSize == fontSize && markdown.starts_with(s.text);
    });
    if (replaced != shown.end()) {
      shown.erase(replaced);
    } else if (shown.size() >= kKept) {
      shown.pop_back();
    }
    shown.insert(shown.begin(), {markdown, fontSize,
                                 styled(markdown::Markdown(std::string_view(markdown)), fontSize)});
    return shown.front().view;
  };
}

}  // namespace panel
