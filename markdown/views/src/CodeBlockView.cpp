#include "markdown/CodeBlockView.h"

#include "StyleFont.h"

#include <foundation/DispatchQueue.h>
#include <foundation/ObservableObject.h>

#include "appkit/Pasteboard.h"
#include "markdown/FontProperties.h"
#include "markdown/MarkdownEnvironment.h"
#include "markdown/TextStyleAttributesReader.h"
#include "ui/Controls.h"
#include "ui/ImageView.h"
#include "ui/Shapes.h"
#include "ui/Stacks.h"
#include "ui/State.h"
#include "ui/TextValue.h"

namespace markdown {
namespace {

// Whether the copy button confirms a copy. Owned by the view's identity; the delayed reset
// holds it weakly, so a block gone within the two seconds is left alone.
class CopyButtonState final : public foundation::ObservableObject {
 public:
  foundation::Published<bool> justCopied{this, false};
};

}  // namespace

PasteboardKey::Value PasteboardKey::defaultValue() {
  return appkit::Pasteboard::general();
}

ui::AnyView CodeBlockView::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  const auto& highlighter = env.get<CodeSyntaxHighlighterKey>();
  const ui::Text code =
      highlighter ? highlighter->highlightCode(content_, info_) : ui::Text::verbatim(content_);
  return inStyleFont(ui::AnyView(code), env)
      .padding()
      .padding(ui::EdgeSet(ui::Edge::top), 20.0)
      .overlay(ui::Rectangle().fill(ui::Color::gray()).frame(4.0, std::nullopt),
               ui::Alignment::leading);
}

ui::AnyView CodeBlockCopyButton::body(ui::BuildContext& context) const {
  const ui::Environment& env = context.environment();
  auto state =
      context.stateObject<CopyButtonState>([] { return std::make_shared<CopyButtonState>(); });
  auto copy = [weak = std::weak_ptr<CopyButtonState>(state), pasteboard = env.get<PasteboardKey>(),
               content = content_] {
    auto strong = weak.lock();
    if (!strong || !pasteboard) return;
    pasteboard->clearContents();
    // "Copied" only when the text is really on the pasteboard.
    if (!pasteboard->setString(content)) return;
    strong->justCopied = true;
    foundation::DispatchQueue::main().asyncAfter(kCopiedDuration, [weak] {
      if (auto s = weak.lock()) s->justCopied = false;
    });
  };
  const bool copied = state->justCopied;
  ui::AnyView label =
      ui::HStack(ui::VAlign::center, std::nullopt,
                 {ui::SystemImage(copied ? "checkmark" : "doc.on.doc"),
                  ui::AnyView(ui::Text::localized(copied ? "Copied" : "Copy code"))});
  return ui::Button(std::move(copy), std::move(label))
      .fixedSize()
      .accessibilityIdentifier("copy-code");
}

ui::AnyView CodeBlock(std::optional<std::string> info, std::string content,
                      const std::function<ui::AnyView(ui::AnyView)>& style) {
  CodeBlockCopyButton button(content);
  return style(CodeBlockView(std::move(info), std::move(content)))
      .overlay(button, ui::Alignment::topTrailing);
}

ui::AnyView HTMLBlockView::body(ui::BuildContext& context) const {
  return inStyleFont(ui::AnyView(ui::Text::verbatim(content_)), context.environment());
}

}  // namespace markdown
