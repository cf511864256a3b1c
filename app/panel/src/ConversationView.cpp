#include <algorithm>

#include "PanelViewParts.h"
#include "foundation/DispatchQueue.h"
#include "foundation/FreedMemory.h"
#include "markdown/ImageLoader.h"
#include "panel/AnswerPreparation.h"
#include "panel/ConversationContent.h"
#include "panel/LongText.h"
#include "panel/TextRows.h"
#include "ui/Backstage.h"
#include "ui/LazyVStack.h"
#include "ui/SystemEnvironment.h"

namespace panel::parts {

namespace {

// The height of the editor that shows a long answer as selectable text.
constexpr double kLongAnswerEditorHeight = 400;

// A text as it is written, in rows of lines made, laid out and drawn only near what shows: a
// message of a megabyte costs what a screenful of it costs. While an answer streams, only its
// last row changes. A text of one row is that text alone. `leadingEdgeFixed`: the text stands
// where its leading edge is, whatever its width (an answer beside its avatar), so its first
// rows may be only those that show (else its widest line among the first rows places it).
ui::AnyView PlainText(std::shared_ptr<const std::string> text, double fontSize,
                      ui::HAlign alignment, bool leadingEdgeFixed = false) {
  return ui::ViewBuilder([text, fontSize, alignment,
                          leadingEdgeFixed](ui::BuildContext& build) -> ui::AnyView {
    const auto rows = *build.state<std::shared_ptr<TextRows>>(std::make_shared<TextRows>());
    const auto cut = rows->cut(text);
    if (cut->rows.size() == 1) return ui::Text::verbatim(*text);
    ui::LazyRowHints hints;
    hints.key = [cut](std::size_t i) {
      const auto& row = cut->rows[i];
      std::uint64_t key = cut->generation * 0x9e3779b97f4a7c15ULL;
      key ^= (std::uint64_t(row.begin) + 0x7f4a7c15ULL + (key << 6) + (key >> 2));
      key ^= (std::uint64_t(row.end) + 0x9e3779b9ULL + (key << 6) + (key >> 2));
      return key;
    };
    // Lines at an average width of half the font size, as tall as 1.2 times it.
    hints.estimate = [cut, fontSize](std::size_t i, double width) {
      const auto& row = cut->rows[i];
      const double perLine = std::max(1.0, width / (0.5 * fontSize));
      const double lines = std::max(
          double(row.lines), 0.5 * double(row.lines) + double(row.end - row.begin) / perLine);
      return lines * 1.2 * fontSize;
    };
    // A long answer that came at once is not laid out a dozen rows of 32 lines at a time.
    hints.firstRowsByEstimate = leadingEdgeFixed;
    return ui::LazyVStack(
        alignment, 0.0, cut->rows.size(), {},
        [cut](std::size_t i) { return ui::AnyView(ui::Text::verbatim(std::string(cut->row(i)))); },
        std::move(hints));
  });
}

// An answer as Markdown, known by the same identity wherever it stands.
ui::AnyView MarkdownOf(const FloatingViewContext& context, std::string_view content) {
  return context.markdown(content, context.state->fontSize).id("answer.markdown");
}

// `streaming`: this is the answer being streamed now.
ui::AnyView AnswerText(const FloatingViewContext& context, std::size_t position,
                       const std::shared_ptr<const std::string>& content, bool streaming) {
  const double fontSize = context.state->fontSize;
  auto plain = [&] {
    return PlainText(content, fontSize, ui::HAlign::leading, true)
        .font(ui::Font::system(fontSize))
        .foregroundColor(ui::Color::primary())
        .accessibilityIdentifier("panel.plainAnswer");
  };
  if (context.state->markdownOn && context.markdown) {
    // While anything streams answers show as plain text. The Markdown each shows once the
    // stream ends waits laid out behind it, so that the end swaps it in instead of building the
    // answer in one frame; the answer streaming has its completed part prepared.
    if (context.model->isLoading) {
      const std::size_t prepared = streaming ? preparedAnswerLength(*content) : content->size();
      ui::AnyView front = plain();
      // What the stream laid out as it went is freed with the plain text: the system gets it
      // back, once the frame that swapped the answer in is done.
      if (streaming)
        front = front.onDisappear([] {
          foundation::DispatchQueue::main().async([] { foundation::returnFreedMemory(); });
        });
      return ui::Backstage(
          std::move(front),
          prepared == 0 ? ui::AnyView()
                        : MarkdownOf(context, std::string_view(*content).substr(0, prepared)));
    }
    return ui::Backstage(MarkdownOf(context, *content), {});
  }
  switch (answerMode(context.model->isLoading, context.state->markdownOn)) {
    case AnswerMode::plain:
    case AnswerMode::markdown:  // with a Markdown renderer, handled above
      break;
    case AnswerMode::selectableText: {
      // Selectable and copyable; what is typed into it is not kept.
      ui::TextEditorWidget editor;
      editor.text = ui::Binding<std::string>::constant(*content);
      editor.editable = false;
      editor.bordered = false;
      editor.font = ui::Font::system(fontSize);
      const ui::Identity id = ui::Identity::pair("answer", static_cast<std::int64_t>(position));
      // A long answer scrolls inside an editor of a set height: one as tall as the answer
      // would be measured by laying all of it out.
      if (content->size() > kShownTextLimit)
        return GrowingEditor(id, std::move(editor), fontSize)
            .frame(std::nullopt, kLongAnswerEditorHeight);
      editor.growsWithContent = true;
      return GrowingEditor(id, std::move(editor), fontSize);
    }
  }
  return plain();
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
                       const std::string& role, const std::shared_ptr<const std::string>& content,
                       bool streaming) {
  const double fontSize = context.state->fontSize;
  const ui::Font font = ui::Font::system(fontSize);
  // A screen reader reads the whole message, also what is not laid out; the text is shared, not
  // copied for it.
  auto whole = [content] { return *content; };
  auto text = [&](ui::Color color, ui::HAlign alignment) {
    return PlainText(content, fontSize, alignment)
        .font(font)
        .foregroundColor(color)
        .textSelection(ui::TextSelectability::enabled);
  };
  ui::AnyView row;
  switch (messageRowKind(role)) {
    case MessageRowKind::left:
      row = ui::HStack({Avatar(kAssistantAvatar, font, position),
                        AnswerText(context, position, content, streaming)
                            .accessibilityText(whole)
                            .accessibilityIdentifier("panel.answer." + std::to_string(position))
                            .layoutPriority(1),
                        ui::Spacer()});
      break;
    case MessageRowKind::right:
      row = ui::HStack({ui::Spacer(),
                        text(ui::Color::primary(), ui::HAlign::leading)
                            .accessibilityText(whole)
                            .layoutPriority(1),
                        Avatar(kUserAvatar, font, position)});
      break;
    case MessageRowKind::centre:
      row = ui::HStack({ui::Spacer(),
                        text(ui::Color::gray(), ui::HAlign::center)
                            .multilineTextAlignment(ui::TextAlignment::center)
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
  std::string role;
  std::shared_ptr<const std::string> content;
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
    // Messages not stored since are not compared again: an answer may be megabytes long.
    const auto seen = *build.state<std::shared_ptr<std::optional<std::uint64_t>>>(
        std::make_shared<std::optional<std::uint64_t>>());
    const bool messagesAsSeen = *seen == context.model->messages.stores();
    *seen = context.model->messages.stores();
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
          (!messagesAsSeen &&
           (row.role != messages[i].role || *row.content != messages[i].content))) {
        // The row keeps its text from before where it has not changed: a row of a megabyte
        // is not copied again when the settings change.
        auto content = row.content && *row.content == messages[i].content
                           ? row.content
                           : std::make_shared<const std::string>(messages[i].content);
        row = {messages[i].role, content, settings, streaming,
               MessageRow(context, i, messages[i].role, content, streaming)
                   .id(static_cast<std::int64_t>(i))};
      }
      rows.push_back(row.view);
    }
    // A conversation put away ("New chat", a saved chat closed) takes what was laid out,
    // drawn and loaded for it along, and the memory goes back to the system.
    const auto releaseCaches = build.environment().get<ui::ReleaseCachesKey>();
    return ui::VStack(ui::HAlign::center, std::nullopt, std::move(rows))
        .onDisappear([releaseCaches] {
          markdown::DefaultImageLoader::shared().removeAllCachedImages();
          if (releaseCaches) (*releaseCaches)();
        })
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
  // Known by name, not by place: when the error line comes or goes above them, the parts keep
  // what they built (a long answer is not built again because a stream ended with an error).
  auto part = [&](ui::AnyView view, const char* name) {
    parts.push_back(std::move(view).id(std::string("panel.part.") + name));
  };
  switch (chooseConversationContent(model)) {
    case ConversationContent::fillInForm:
      part(FillInFormView(context), "form");
      break;
    case ConversationContent::history:
      part(HistoryList(context).accessibilityIdentifier("panel.historyList"), "history");
      break;
    case ConversationContent::messages:
      part(MessageList(context), "messages");
      break;
    case ConversationContent::presetsOnly:
      part(PresetList(context).accessibilityIdentifier("panel.presetList"), "presets");
      break;
    case ConversationContent::hintAndPresets:
      part(Hint(), "hint");
      part(PresetList(context).accessibilityIdentifier("panel.presetList"), "presets");
      break;
  }
  return ui::VStack(ui::HAlign::center, std::nullopt, std::move(parts));
}

}  // namespace panel::parts
