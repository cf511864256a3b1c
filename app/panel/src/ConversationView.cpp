#include <algorithm>

#include "PanelViewParts.h"
#include "panel/AnswerPreparation.h"
#include "panel/ConversationContent.h"
#include "panel/LongText.h"
#include "ui/Backstage.h"
#include "ui/SystemEnvironment.h"

namespace panel::parts {

namespace {

// Plain text in blocks of lines: while an answer streams only its last block changes, so only
// that block is laid out again. Blocks end only between two lines with text, so no empty line
// stands at a block's edge, where it would lose its height.
ui::AnyView PlainLines(const std::string& content, double fontSize) {
  constexpr int kLinesPerBlock = 32;
  std::vector<ui::AnyView> blocks;
  std::size_t blockStart = 0, lineStart = 0;
  int lines = 0;
  std::int64_t index = 0;
  while (true) {
    const std::size_t end = content.find('\n', lineStart);
    if (end == std::string::npos) break;
    ++lines;
    const bool lineHasText = end > lineStart;
    const bool nextHasText = end + 1 < content.size() && content[end + 1] != '\n';
    if (lines >= kLinesPerBlock && lineHasText && nextHasText) {
      blocks.push_back(ui::AnyView(ui::Text::verbatim(content.substr(blockStart, end - blockStart)))
                           .id(index++));
      blockStart = end + 1;
      lines = 0;
    }
    lineStart = end + 1;
  }
  blocks.push_back(ui::AnyView(ui::Text::verbatim(content.substr(blockStart))).id(index));
  return ui::VStack(ui::HAlign::leading, 0, std::move(blocks))
      .font(ui::Font::system(fontSize))
      .foregroundColor(ui::Color::primary())
      .accessibilityIdentifier("panel.plainAnswer");
}

// The note under a text shown only in part: smaller, grey and italic on a faint backing, so it
// is not taken for part of the text.
ui::AnyView MoreCharactersMarker(std::size_t hidden, double fontSize, std::size_t position) {
  return ui::AnyView(ui::Text::verbatim(moreCharactersNote(hidden)))
      .font(ui::Font::system(std::max(11.0, fontSize - 3)).italic())
      .foregroundColor(ui::Color::gray())
      .padding(ui::EdgeInsets{3, 8, 3, 8})
      .background(ui::RoundedRectangle(6).fill(ui::Color::gray().opacity(0.18)))
      .accessibilityLabel(moreCharactersNote(hidden))
      .accessibilityIdentifier("panel.moreText." + std::to_string(position));
}

// A message's text over the marker, when only its beginning is shown.
ui::AnyView WithMarker(ui::AnyView text, const TextBeginning& beginning, std::size_t position,
                       double fontSize, ui::HAlign alignment) {
  if (!beginning.isCut()) return text;
  return ui::VStack(
      alignment, 6,
      {std::move(text), MoreCharactersMarker(beginning.hiddenCharacters, fontSize, position)});
}

// An answer as Markdown, known by the same identity wherever it stands.
ui::AnyView MarkdownOf(const FloatingViewContext& context, const std::string& content) {
  return context.markdown(content, context.state->fontSize).id("answer.markdown");
}

// `streaming`: this is the answer being streamed now.
ui::AnyView AnswerText(const FloatingViewContext& context, std::size_t position,
                       const std::string& content, bool streaming) {
  const double fontSize = context.state->fontSize;
  if (context.state->markdownOn && context.markdown) {
    // While anything streams answers show as plain text. The Markdown each shows once the
    // stream ends waits laid out behind it, so that the end swaps it in instead of building a
    // long answer in one frame; the answer streaming has its completed part prepared.
    if (context.model->isLoading) {
      const std::string prepared =
          streaming ? content.substr(0, preparedAnswerLength(content)) : content;
      return ui::Backstage(PlainLines(content, fontSize),
                           prepared.empty() ? ui::AnyView() : MarkdownOf(context, prepared));
    }
    return ui::Backstage(MarkdownOf(context, content), {});
  }
  switch (answerMode(context.model->isLoading, context.state->markdownOn)) {
    case AnswerMode::plain:
    case AnswerMode::markdown:  // with a Markdown renderer, handled above
      break;
    case AnswerMode::selectableText: {
      // Selectable and copyable; what is typed into it is not kept.
      ui::TextEditorWidget editor;
      editor.text = ui::Binding<std::string>::constant(content);
      editor.editable = false;
      editor.growsWithContent = true;
      editor.bordered = false;
      editor.font = ui::Font::system(fontSize);
      return GrowingEditor(ui::Identity::pair("answer", static_cast<std::int64_t>(position)),
                           std::move(editor), fontSize);
    }
  }
  return PlainLines(content, fontSize);
}

// An avatar keeps its width beside an answer that would take every point (a code block that
// scrolls sideways, a text editor), and is drawn in the answer's size.
ui::AnyView Avatar(std::string_view emoji, const ui::Font& font, std::size_t position) {
  return ui::AnyView(ui::Text::verbatim(std::string(emoji)))
      .font(font)
      .fixedSize()
      .accessibilityIdentifier("panel.avatar." + std::to_string(position));
}

ui::AnyView MessageRow(const FloatingViewContext& context, std::size_t position,
                       const core::ChatMessage& message, bool streaming) {
  const double fontSize = context.state->fontSize;
  const ui::Font font = ui::Font::system(fontSize);
  const TextBeginning beginning = textBeginning(message.content);
  const std::string shown(beginning.shown);
  // A screen reader reads the whole message, however little of it is drawn; it is taken from
  // the model when read, so that nothing is copied for it otherwise.
  auto whole = [model = context.model, position] {
    const auto& messages = model->messages.get();
    return position < messages.size() ? messages[position].content : std::string();
  };
  auto text = [&](ui::Color color) {
    return ui::AnyView(ui::Text::verbatim(shown))
        .font(font)
        .foregroundColor(color)
        .textSelection(ui::TextSelectability::enabled);
  };
  ui::AnyView row;
  switch (messageRowKind(message.role)) {
    case MessageRowKind::left:
      row = ui::HStack({Avatar(kAssistantAvatar, font, position),
                        WithMarker(AnswerText(context, position, shown, streaming), beginning,
                                   position, fontSize, ui::HAlign::leading)
                            .accessibilityText(whole)
                            .accessibilityIdentifier("panel.answer." + std::to_string(position))
                            .layoutPriority(1),
                        ui::Spacer()});
      break;
    case MessageRowKind::right:
      row = ui::HStack({ui::Spacer(),
                        WithMarker(text(ui::Color::primary()), beginning, position, fontSize,
                                   ui::HAlign::trailing)
                            .accessibilityText(whole)
                            .layoutPriority(1),
                        Avatar(kUserAvatar, font, position)});
      break;
    case MessageRowKind::centre:
      row = ui::HStack(
          {ui::Spacer(),
           WithMarker(text(ui::Color::gray()).multilineTextAlignment(ui::TextAlignment::center),
                      beginning, position, fontSize, ui::HAlign::center)
               .accessibilityText(whole)
               .layoutPriority(1),
           ui::Spacer()});
      break;
    case MessageRowKind::empty:
      row = ui::HStack({});
      break;
  }
  auto state = context.state;
  return row.padding(30)
      .onAppear([state] { state->loadStored(); })
      .accessibilityIdentifier("panel.message." + std::to_string(position));
}

// What a row's look depends on besides its message.
struct RowSettings {
  double fontSize = 0;
  bool markdownOn = false;
  bool isLoading = false;
  bool operator==(const RowSettings&) const = default;
};

struct BuiltRow {
  std::string role, content;
  RowSettings settings;
  bool streaming = false;
  ui::AnyView view;
};

ui::AnyView Hint() {
  return ui::VStack({ui::Spacer(),
                     ui::AnyView(ui::Text::verbatim(std::string(kStartHint)))
                         .foregroundColor(ui::Color::gray())
                         .multilineTextAlignment(ui::TextAlignment::center)
                         .accessibilityIdentifier("panel.hint"),
                     ui::Spacer()});
}

}  // namespace

ui::AnyView MessageList(const FloatingViewContext& context) {
  return ui::ViewBuilder([context](ui::BuildContext& build) {
    // The rows of the last build. A row whose message and settings are unchanged is handed back
    // as the same view, which the layer skips whole: a key typed beside a long answer neither
    // builds nor lays out the answer again.
    const auto built = *build.state<std::shared_ptr<std::vector<BuiltRow>>>(
        std::make_shared<std::vector<BuiltRow>>());
    const auto& messages = context.model->messages.get();
    const RowSettings settings{context.state->fontSize, context.state->markdownOn,
                               context.model->isLoading};
    built->resize(messages.size());
    std::vector<ui::AnyView> rows;
    // Newest first; a row is known by its position, as saved chats may repeat a message.
    for (std::size_t i = messages.size(); i-- > 0;) {
      BuiltRow& row = (*built)[i];
      const bool streaming = settings.isLoading && i + 1 == messages.size();
      if (!row.view || !(row.settings == settings) || row.streaming != streaming ||
          row.role != messages[i].role || row.content != messages[i].content) {
        row = {messages[i].role, messages[i].content, settings, streaming,
               MessageRow(context, i, messages[i], streaming).id(static_cast<std::int64_t>(i))};
      }
      rows.push_back(row.view);
    }
    return ui::VStack(ui::HAlign::center, std::nullopt, std::move(rows))
        .accessibilityIdentifier("panel.messages")
        .id(std::string(kMessageListId));
  });
}

ui::AnyView ConversationArea(const FloatingViewContext& context) {
  const auto& model = *context.model;
  std::vector<ui::AnyView> parts;
  if (!model.error->empty())
    parts.push_back(ui::AnyView(ui::Text::verbatim(model.error))
                        .foregroundColor(ui::Color::red())
                        .multilineTextAlignment(ui::TextAlignment::center)
                        .id(std::string(kErrorLineId))
                        .accessibilityIdentifier("panel.error"));
  switch (chooseConversationContent(model)) {
    case ConversationContent::fillInForm:
      parts.push_back(FillInFormView(context));
      break;
    case ConversationContent::history:
      parts.push_back(HistoryList(context).accessibilityIdentifier("panel.historyList"));
      break;
    case ConversationContent::messages:
      parts.push_back(MessageList(context));
      break;
    case ConversationContent::presetsOnly:
      parts.push_back(PresetList(context).accessibilityIdentifier("panel.presetList"));
      break;
    case ConversationContent::hintAndPresets:
      parts.push_back(Hint());
      parts.push_back(PresetList(context).accessibilityIdentifier("panel.presetList"));
      break;
  }
  return ui::VStack(ui::HAlign::center, std::nullopt, std::move(parts));
}

}  // namespace panel::parts
