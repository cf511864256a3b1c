#include "panel/MarkdownAnswer.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "glow/Theme.h"
#include "markdown/GrowingMarkdown.h"
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
  // An answer stands beside its avatar, by its leading edge.
  return markdown::markdownTextStyle(document, markdown::FontSize(fontSize))
      .textSelection(ui::TextSelectability::enabled)
      .environment<markdown::LeadingEdgeFixedKey>(true);
}

// Holds `kept` as long as the view is shown.
class Keeping final : public ui::View {
 public:
  Keeping(ui::AnyView content, std::shared_ptr<const void> kept)
      : content_(std::move(content)), kept_(std::move(kept)) {}
  ui::AnyView body(ui::BuildContext&) const override { return content_; }
  bool equals(const ui::View& other) const override {
    auto* o = dynamic_cast<const Keeping*>(&other);
    return o && o->content_.get() == content_.get();
  }

 private:
  ui::AnyView content_;
  std::shared_ptr<const void> kept_;
};

}  // namespace

ui::AnyView MarkdownAnswer(std::string_view markdown, double fontSize) {
  return styled(markdown::Markdown(markdown), fontSize);
}

MarkdownRenderer cachedMarkdownAnswers() {
  // An answer shown: its text, the parse that follows it as it grows, and the view made of it
  // last. The views made of it keep it; once none is shown it goes, with all it holds.
  struct Answer {
    std::string text;
    double fontSize = 0;
    markdown::GrowingMarkdown parse;
    std::weak_ptr<const ui::View> view;
  };
  auto answers = std::make_shared<std::vector<std::weak_ptr<Answer>>>();
  return [answers](std::string_view markdown, double fontSize) {
    std::erase_if(*answers, [](const auto& answer) { return answer.expired(); });
    std::shared_ptr<Answer> grown;
    for (const auto& weak : *answers) {
      auto answer = weak.lock();
      if (!answer) continue;
      // The same text at the same size is the same view, which the layer skips whole.
      if (answer->fontSize == fontSize && answer->text == markdown)
        if (auto view = answer->view.lock()) return ui::AnyView(std::move(view));
      // A text streamed further is parsed from the last block of the one before.
      if (!grown && markdown.starts_with(answer->text)) grown = answer;
    }
    const bool extends = grown != nullptr;
    if (!grown) {
      grown = std::make_shared<Answer>();
      answers->push_back(grown);
    }
    markdown::DocumentBlocks blocks = grown->parse.parse(markdown, extends);
    grown->text.assign(markdown);
    grown->fontSize = fontSize;
    ui::AnyView view(Keeping(styled(markdown::Markdown(std::move(blocks)), fontSize), grown));
    grown->view = view.shared();
    return view;
  };
}

}  // namespace panel
