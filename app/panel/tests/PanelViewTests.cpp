#include <gtest/gtest.h>

#include "PanelTestSupport.h"
#include "accessibility/Attributes.h"
#include "accessibility/FakeAccessibility.h"
#include "appkit/Alert.h"
#include "appkit/FakePasteboard.h"
#include "appkit/FakeWorkspace.h"
#include "core/CaptureMessages.h"
#include "core/DocumentsFiles.h"
#include "panel/ConversationContent.h"
#include "panel/ListRows.h"

namespace panel::testing {
namespace {

using std::chrono::milliseconds;

class PanelView : public PanelTest {
 protected:
  std::size_t streamRequests() {
    std::size_t n = 0;
    for (const auto& r : server.requests(kChatPath))
      if (nlohmann::json::parse(r.body).at("stream") == true) ++n;
    return n;
  }
  // An answer on screen, as after a finished stream.
  void showAnswer(const std::string& answer) {
    model->messages = {core::ChatMessage::make("system", "You are a helpful assistant."),
                       core::ChatMessage::make("user", "Hi"),
                       core::ChatMessage::make("assistant", answer)};
    model->responseValue = answer;
    settle();
  }
  double top(std::string_view id) { return frame(id).y; }
};

TEST_F(PanelView, OpensWithThePresetsOfItsKindAndSearchesAsTheUserTypes) {
  makeContent();
  // No context: the non-context presets under the hint, nothing selected but the typed row.
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 3}));
  EXPECT_EQ(model->selectedIndex, -1);
  EXPECT_TRUE(has("panel.hint"));
  EXPECT_TRUE(has("panel.preset.-1"));
  EXPECT_TRUE(has("panel.preset.3"));
  EXPECT_FALSE(has("panel.preset.1"));

  type("B");
  type("r");
  EXPECT_EQ(model->command.get(), "Br");
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{3}));
  EXPECT_FALSE(has("panel.preset.0"));
  model->selectedIndex = 3;
  settle();
  inputLine()->text.set("");
  settle();
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 3}));
  EXPECT_EQ(model->selectedIndex, -1);
  // A command beginning with ":" searches nothing.
  type(":xyz");
  EXPECT_EQ(model->filteredData.get(), (std::vector<int>{0, 3}));
  EXPECT_EQ(model->selectedIndex, -1);
}

TEST_F(PanelView, InputLineFollowsTheModelAndShowsTheContextPlaceholder) {
  makeContent();
  type("a");
  type("b");
  type("c");
  EXPECT_EQ(model->command.get(), "abc");
  model->command = "";
  settle();
  EXPECT_EQ(inputLine()->text.get(), "");
  EXPECT_EQ(inputLine()->placeholder, "Ask AI...");
  model->status = "Context found press esc to remove context";
  settle();
  EXPECT_EQ(inputLine()->placeholder, "Search for prompts preset or ask AI...");
  model->status = "Context removed";
  settle();
  EXPECT_EQ(inputLine()->placeholder, "Ask AI...");
  EXPECT_TRUE(inputLine()->growsWithContent);
  EXPECT_EQ(inputLine()->font, ui::Font::system(18));
}

TEST_F(PanelView, InputLineRoutesArrowsEscapeAndReturn) {
  makeContent();
  view().host().focus(ui::Identity(kInputLineFocus));
  // Down and Up move the selection and still reach the text widget.
  EXPECT_FALSE(press(ui::Key::down));
  EXPECT_EQ(model->selectedIndex, 0);
  EXPECT_FALSE(press(ui::Key::down));
  EXPECT_EQ(model->selectedIndex, 3);
  EXPECT_FALSE(press(ui::Key::up));
  EXPECT_EQ(model->selectedIndex, 0);
  // Escape steps back once per press, also with an empty line.
  type("abc");
  EXPECT_TRUE(press(ui::Key::escape));
  EXPECT_EQ(model->command.get(), "");
  // Shift+Return is the widget's line break: nothing is sent.
  serveAnswer({"Hello"});
  type("Hi");
  EXPECT_FALSE(press(ui::Key::enter, {.shift = true}));
  settle();
  EXPECT_EQ(streamRequests(), 0u);
  // Return sends exactly once.
  model->selectedIndex = -1;
  EXPECT_TRUE(press(ui::Key::enter));
  EXPECT_TRUE(waitFor([&] { return !model->isLoading && model->responseValue.get() == "Hello"; }));
  EXPECT_EQ(streamRequests(), 1u);
}

TEST_F(PanelView, ShiftReturnGrowsTheLineAndTheTopAreaStopsAt300) {
  makeContent();
  const double oneLine = frame("panel.topArea").height;
  EXPECT_EQ(oneLine, frame("panel.inputLine").height);
  EXPECT_DOUBLE_EQ(oneLine, 18 * 1.2);
  type("one\ntwo\nthree");
  EXPECT_DOUBLE_EQ(frame("panel.topArea").height, 3 * oneLine);
  type("\n");
  EXPECT_DOUBLE_EQ(frame("panel.topArea").height, 4 * oneLine);
  std::string many;
  for (int i = 0; i < 40; ++i) many += "line\n";
  inputLine()->text.set(many);
  settle();
  EXPECT_EQ(frame("panel.topArea").height, 300);
  EXPECT_GT(frame("panel.inputLine").height, 300);
  inputLine()->text.set("x");
  settle();
  EXPECT_DOUBLE_EQ(frame("panel.topArea").height, oneLine);
}

TEST_F(PanelView, FocusRequestPutsTheKeyboardInTheLineAndIsClearedSoonAfter) {
  makeModel();
  model->didFocus = false;
  makeContent();
  view().host().clearFocus();
  model->didFocus = true;
  EXPECT_TRUE(waitFor([&] { return view().focusedId() == ui::Identity(kInputLineFocus); }));
  EXPECT_TRUE(waitFor([&] { return !model->didFocus; }));
  // A finished or cancelled answer asks again.
  view().host().clearFocus();
  model->isLoading = true;
  settle(milliseconds(1));
  model->isLoading = false;
  EXPECT_TRUE(waitFor([&] { return view().focusedId() == ui::Identity(kInputLineFocus); }));
}

TEST_F(PanelView, FillInFormGoesFieldByFieldAndSendsFromTheLast) {
  makeContent();
  serveAnswer({"Done"});
  model->selectedIndex = 0;  // "Write [a] about [b]."
  model->sendPrompt();
  settle();
  ASSERT_TRUE(model->nonContextPrompt);
  EXPECT_TRUE(has("panel.back"));
  EXPECT_FALSE(has("panel.inputLine"));
  const auto& pieces = model->extractedTexts.get();
  ASSERT_EQ(pieces.size(), 5u);
  const auto first = ui::Identity(pieces[1].id), second = ui::Identity(pieces[3].id);
  EXPECT_TRUE(waitFor([&] { return view().focusedId() == first; }));
  // Typing fills the piece in place.
  auto* field = widgetFactory->description<ui::TextFieldWidget>(first);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->placeholder, "[a]");
  field->text.set("cats");
  EXPECT_EQ(model->extractedTexts.get()[1].text, "cats");
  field->onSubmit();
  EXPECT_TRUE(waitFor([&] { return view().focusedId() == second; }));
  EXPECT_EQ(streamRequests(), 0u);
  widgetFactory->description<ui::TextFieldWidget>(second)->onSubmit();
  EXPECT_TRUE(waitFor([&] { return streamRequests() == 1u; }));
  EXPECT_NE(server.requests(kChatPath).front().body.find("Write cats about [b]."),
            std::string::npos);
}

TEST_F(PanelView, BackLeavesTheFormAndTheLineTakesTheKeyboardAgain) {
  makeContent();
  model->selectedIndex = 0;
  model->sendPrompt();
  settle();
  click("panel.back");
  EXPECT_FALSE(model->nonContextPrompt);
  EXPECT_TRUE(waitFor([&] { return view().focusedId() == ui::Identity(kInputLineFocus); }));
}

TEST_F(PanelView, RowsSelectByClickSendByDoubleClickAndKeepTheLastHover) {
  makeContent();
  serveAnswer({"Ideas"});
  EXPECT_NEAR(frame("panel.preset.-1").height, 16 * 1.2 + 20, 1e-9);
  click("panel.preset.0");
  EXPECT_EQ(model->selectedIndex, 0);
  hover("panel.preset.3");
  hover("panel.preset.-1");
  EXPECT_EQ(model->hoverIndex, 3);  // the typed row has no hover, leaving changes nothing
  type("Brain");
  click("panel.preset.3", 2);
  // The typed text was cleared before sending (the stream then leaves its own blank).
  EXPECT_EQ(model->command.get(), " ");
  EXPECT_TRUE(waitFor([&] { return streamRequests() == 1u; }));
  EXPECT_NE(server.requests(kChatPath).front().body.find("Ideas please"), std::string::npos);
}

TEST_F(PanelView, PresetNamesStartAtOneEdgeWhateverTheirIcons) {
  makeModel();
  // The keyboard of the typed-command row is two characters (with its presentation selector),
  // the shipped icons one; a preset may carry a wider one.
  model->PromptM.get()->prompts.modify([](std::vector<core::PromptData>& presets) {
    presets[3].emoji = "\U0001F1EC\U0001F1E7";  // a flag: two characters
  });
  makeContent();
  auto nameX = [&](const std::string& name) {
    for (const auto& run : view().host().render().itemsOf<ui::DisplayItem::TextRun>())
      if (run.text == name) return run.frame.x;
    ADD_FAILURE() << name << " not drawn";
    return -1.0;
  };
  const double edge = nameX(std::string(kTypedCommandTitle));
  EXPECT_DOUBLE_EQ(nameX("Write an email"), edge);
  EXPECT_DOUBLE_EQ(nameX("Brainstorm"), edge);
  // The column grows with the font size, and the names with it.
  ctrl("=");
  settle();
  EXPECT_DOUBLE_EQ(nameX("Write an email"), nameX(std::string(kTypedCommandTitle)));
  EXPECT_GT(nameX("Write an email"), edge);
}

TEST_F(PanelView, HistoryRowsShowTheTopicSplitAndCtrlHResetsTheirSelection) {
  makeContent();
  model->oldMessages = {
      {"\U0001F9D1\u200D\U0001F4BB Code help", {}, 1, {}}, {"X", {}, 2, {}}, {"", {}, 3, {}}};
  EXPECT_TRUE(ctrl("h"));
  EXPECT_TRUE(model->openHistory);
  EXPECT_TRUE(has("panel.historyList"));
  EXPECT_EQ(model->keyHistorySelected, 0);
  EXPECT_EQ(model->keyHistoryHover, -1);
  click("panel.history.1");
  hover("panel.history.2");
  EXPECT_EQ(model->keyHistorySelected, 1);
  EXPECT_EQ(model->keyHistoryHover, 2);
  EXPECT_EQ(view().scrollTarget(), historyRowId(1));
  // The toolbar button only toggles.
  click("panel.history");
  EXPECT_FALSE(model->openHistory);
  EXPECT_EQ(model->keyHistorySelected, 1);
  EXPECT_TRUE(ctrl("h"));
  EXPECT_EQ(model->keyHistorySelected, 0);
  EXPECT_EQ(model->keyHistoryHover, -1);
}

TEST_F(PanelView, SavedChatsReadAfterTheHistoryListOpenedShowInIt) {
  ASSERT_TRUE(core::saveJSONToDocuments(
      std::vector<core::oldMessagesStruct>{{"\U0001F4C1 One", {}, 1, {}},
                                           {"\U0001F4C1 Two", {}, 2, {}},
                                           {"\U0001F4C1 Three", {}, 3, {}}},
      core::kHistoryFileName));
  makeModel();
  // The file is read off the main thread; its chats come in through the main queue, not run yet.
  content = std::make_unique<FloatingViewController>(model, options());
  content->setSize({612, 500});
  view().update();
  ASSERT_FALSE(model->historyLoaded());
  EXPECT_TRUE(ctrl("h"));
  view().update();
  EXPECT_TRUE(has("panel.historyList"));
  EXPECT_FALSE(has("panel.history.0"));

  ASSERT_TRUE(waitFor([&] { return model->historyLoaded(); }));
  settle();
  EXPECT_TRUE(has("panel.history.0"));
  EXPECT_TRUE(has("panel.history.2"));
  EXPECT_FALSE(has("panel.history.3"));
}

TEST_F(PanelView, ArrowKeysScrollTheSelectedSavedChatIntoView) {
  makeContent();
  std::vector<core::oldMessagesStruct> chats;
  for (int i = 0; i < 40; ++i)
    chats.push_back({"\U0001F4AC Chat " + std::to_string(i), {}, 1.0 * i, {}});
  model->oldMessages = chats;
  ctrl("h");
  view().host().focus(ui::Identity(kInputLineFocus));
  const ui::Rect visible = frame("panel.conversation");
  // Out of view: below it, or not made yet.
  const auto before = view().host().frameOf("panel.history.30");
  EXPECT_TRUE(!before || before->minY() > visible.maxY());
  for (int i = 0; i < 30; ++i) press(ui::Key::down);
  settle();
  EXPECT_EQ(model->keyHistorySelected, 30);
  const ui::Rect row = frame("panel.history.30");
  EXPECT_GE(row.minY(), visible.minY());
  EXPECT_LE(row.maxY(), visible.maxY() + 1e-6);
}

TEST_F(PanelView, TwentyThousandSavedChatsMakeRowsOnlyForWhatIsInView) {
  makeContent();
  std::vector<core::oldMessagesStruct> chats;
  for (int i = 0; i < 20000; ++i)
    chats.push_back({"\U0001F4AC Chat " + std::to_string(i),
                     {core::ChatMessage::make("user", "Question " + std::to_string(i)),
                      core::ChatMessage::make("assistant", "Answer " + std::to_string(i))},
                     1.0 * i,
                     {}});
  model->oldMessages = chats;
  const std::size_t nodesBefore = view().host().nodeCount();
  EXPECT_TRUE(ctrl("h"));
  settle();
  EXPECT_TRUE(has("panel.history.0"));
  EXPECT_FALSE(has("panel.history.19999"));
  EXPECT_LT(view().host().nodeCount(), nodesBefore + 2000);

  // A row far down, chosen from the model, is made and scrolled into view.
  model->keyHistorySelected = 15000;
  settle();
  settle();
  const ui::Rect visible = frame("panel.conversation");
  const ui::Rect row = frame("panel.history.15000");
  EXPECT_GE(row.minY(), visible.minY());
  EXPECT_LE(row.maxY(), visible.maxY() + 1e-6);
  EXPECT_FALSE(has("panel.history.0"));

  // A double click there reopens that very chat.
  click("panel.history.14999", 2);
  EXPECT_EQ(model->keyHistorySelected, 14999);
  ASSERT_FALSE(model->messages->empty());
  EXPECT_EQ(model->messages->front().content, "Question 14999");
}

TEST_F(PanelView, ARequestThatEndsWithAnErrorBringsTheErrorIntoView) {
  makeContent();
  std::string answer;
  for (int i = 0; i < 80; ++i) answer += "Line " + std::to_string(i) + " of a long answer\n";
  // Streaming, and the user reads on far below the top.
  model->isLoading = true;
  showAnswer(answer);
  const ui::Rect visible = frame("panel.conversation");
  ASSERT_TRUE(view().scrolled({visible.midX(), visible.midY()}, 0, 1500));
  settle();

  // The connection is lost: what arrived stays, and the error is where the user looks.
  model->error = "The network connection was lost.";
  model->isLoading = false;
  settle();
  const ui::Rect error = frame("panel.error");
  EXPECT_GE(error.minY(), visible.minY());
  EXPECT_LE(error.maxY(), visible.maxY() + 1e-6);
  EXPECT_TRUE(has("panel.message.2"));

  // A refusal (404) ends the request with no answer left to show: the error still shows.
  ASSERT_TRUE(view().scrolled({visible.midX(), visible.midY()}, 0, 1500));
  model->error = "";
  model->isLoading = true;
  settle();
  model->error = "Error 404: The model does not exist.";
  model->isLoading = false;
  settle();
  EXPECT_GE(frame("panel.error").minY(), visible.minY());
}

// A long error wraps inside the panel, however wide the user made it.
TEST_F(PanelView, ALongErrorWrapsInsideAWidePanel) {
  makePanel();
  for (const double width : {612.0, 1400.0}) {
    SCOPED_TRACE(width);
    view().setSize({width, 500});
    model->error = std::string(core::kAccessibilityMessage);
    settle();
    const ui::Rect error = frame("panel.error");
    const ui::Rect conversation = frame("panel.conversation");
    EXPECT_GE(error.minX(), conversation.minX() - 1e-6);
    EXPECT_LE(error.maxX(), conversation.maxX() + 1e-6);
    EXPECT_LE(error.maxX(), width);
    EXPECT_GT(error.height, 20);  // more than one line at this length
  }
}

TEST_F(PanelView, StaleFilteredIndicesAreSkipped) {
  makeContent();
  model->filteredData = {0, 17, -2, 3};
  settle();
  EXPECT_TRUE(has("panel.preset.0"));
  EXPECT_TRUE(has("panel.preset.3"));
  EXPECT_FALSE(has("panel.preset.17"));
}

TEST_F(PanelView, ConversationShowsNewestFirstWithAnErrorLineAbove) {
  makeContent();
  showAnswer("Answer");
  model->messages.modify([](auto& list) {
    list.push_back(core::ChatMessage::make("tool", "?"));
    // Saved chats may repeat a message word for word: both rows are drawn.
    list.push_back(core::ChatMessage::make("user", "ok"));
    list.push_back(core::ChatMessage::make("user", "ok"));
  });
  model->error = "No internet connection";
  settle();
  EXPECT_LT(top("panel.error"), top("panel.message.5"));
  EXPECT_LT(top("panel.message.5"), top("panel.message.4"));
  EXPECT_LT(top("panel.message.4"), top("panel.message.3"));
  EXPECT_DOUBLE_EQ(frame("panel.message.3").height, 60);  // an unknown role: an empty row
  EXPECT_LT(top("panel.message.2"), top("panel.message.1"));
  EXPECT_LT(top("panel.message.1"), top("panel.message.0"));
  EXPECT_EQ(chooseConversationContent(*model), ConversationContent::messages);
  model->openHistory = true;
  settle();
  EXPECT_LT(top("panel.error"), top("panel.historyList"));
}

TEST_F(PanelView, MessagesCanBeSelectedAndCopied) {
  auto pasteboard = std::make_shared<appkit::FakePasteboard>();
  auto o = options();
  o.answerServices.pasteboard = pasteboard;
  makeContent(o);
  showAnswer("The answer");
  const ui::Rect user = frame("panel.message.1");
  // Three clicks select the whole text of the user's message; Ctrl+C copies it.
  for (int c = 1; c <= 3; ++c) {
    const auto event = ui::PointerEvent::at({user.maxX() - 60, user.midY()}, c);
    view().pointerPressed(event);
    view().pointerReleased(event);
  }
  EXPECT_EQ(view().host().selectedText(), std::optional<std::string>("Hi"));
  // (With the input line focused, its widget takes Ctrl+C for its own text.)
  view().host().clearFocus();
  EXPECT_TRUE(ctrl("c"));
  view().answerActions().waitUntilIdle();
  EXPECT_EQ(pasteboard->string(), "Hi");
}

TEST_F(PanelView, AnswersArePlainWhileStreamingThenMarkdownOrSelectableText) {
  std::vector<std::pair<std::string, double>> rendered;
  auto o = options();
  o.markdown = [&](std::string_view text, double size) {
    rendered.emplace_back(std::string(text), size);
    return ui::AnyView(ui::Text::verbatim(std::string(text))).accessibilityIdentifier("markdown");
  };
  makeContent(o);
  model->isLoading = true;
  showAnswer("**bold**");
  EXPECT_TRUE(rendered.empty());
  EXPECT_TRUE(has("panel.spinner"));
  model->isLoading = false;
  settle();
  EXPECT_FALSE(has("panel.spinner"));
  ASSERT_FALSE(rendered.empty());
  EXPECT_EQ(rendered.back(), (std::pair<std::string, double>("**bold**", 16)));
  ctrl("=");
  EXPECT_EQ(rendered.back().second, 18);
  EXPECT_TRUE(ctrl("m"));
  EXPECT_FALSE(view().state().markdownOn);
  EXPECT_FALSE(defaults().boolForKey(kMarkdownOnKey));
  auto* editor = widgetFactory->description<ui::TextEditorWidget>(
      ui::Identity::pair("answer", static_cast<std::int64_t>(2)));
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(editor->editable);
  editor->text.set("changed");
  EXPECT_EQ(model->messages.get()[2].content, "**bold**");
  EXPECT_EQ(editor->font, ui::Font::system(18));
}

TEST_F(PanelView, AvatarsKeepTheirWidthAndSpacingBesideEveryKindOfAnswer) {
  makeContent();
  // A code block wider than the panel scrolls sideways and would take every point offered.
  const std::string answer = "```\n" + std::string(300, 'x') + "\n```\n\nMore text.";
  auto expectRoomFor = [&](const char* mode, double fontSize) {
    SCOPED_TRACE(mode);
    const ui::Rect avatar = frame("panel.avatar.2"), text = frame("panel.answer.2");
    EXPECT_GE(avatar.width, 0.5 * fontSize) << "drawn in the answer's size";
    EXPECT_DOUBLE_EQ(text.x - avatar.maxX(), 8);
    EXPECT_LE(text.maxX(), frame("panel.message.2").maxX());
    const ui::Rect user = frame("panel.avatar.1");
    EXPECT_GE(user.width, 0.5 * fontSize);
  };
  model->isLoading = true;
  showAnswer(answer);
  expectRoomFor("streaming, plain", 16);
  model->isLoading = false;
  settle();
  ASSERT_TRUE(has("copy-code"));
  expectRoomFor("Markdown", 16);
  EXPECT_TRUE(ctrl("m"));
  settle();
  expectRoomFor("selectable text", 16);
  ctrl("=");
  settle();
  expectRoomFor("selectable text, larger", 18);
  EXPECT_GT(frame("panel.avatar.2").width, 0.5 * 18);
}

TEST_F(PanelView, StreamingAnswerKeepsEveryLineIncludingEmptyOnes) {
  makeContent();
  model->isLoading = true;
  std::string answer;
  for (int i = 0; i < 100; ++i) answer += i % 3 == 2 ? "\n" : "line " + std::to_string(i) + "\n";
  answer += "last";
  showAnswer(answer);
  // 101 lines of 16-point text, blank ones included, however the lines are grouped.
  EXPECT_NEAR(frame("panel.plainAnswer").height, 101 * 16 * 1.2, 1e-6);
}

TEST_F(PanelView, FontKeysStepWithinLimitsAndAreStored) {
  makeContent();
  for (int i = 0; i < 12; ++i) EXPECT_TRUE(ctrl("+", true));
  EXPECT_EQ(view().state().fontSize, 40);
  EXPECT_EQ(defaults().doubleForKey(kFontSizeKey), 40);
  ctrl("=");
  EXPECT_EQ(view().state().fontSize, 40);
  EXPECT_TRUE(ctrl("0"));
  EXPECT_EQ(view().state().fontSize, 16);
  for (int i = 0; i < 3; ++i) ctrl("-");
  EXPECT_EQ(view().state().fontSize, 12);
  EXPECT_EQ(defaults().doubleForKey(kFontSizeKey), 12);
  // Rows follow at once.
  EXPECT_NEAR(frame("panel.preset.-1").height, 12 * 1.2 + 20, 1e-9);
}

TEST_F(PanelView, StoredSizeAndSwitchAreLoadedAtCreationAndClamped) {
  defaults().set(kFontSizeKey, 20.0);
  defaults().set(kMarkdownOnKey, false);
  makeContent();
  EXPECT_EQ(view().state().fontSize, 20);
  EXPECT_FALSE(view().state().markdownOn);
  ctrl("-");
  EXPECT_EQ(defaults().doubleForKey(kFontSizeKey), 18);
  content.reset();
  defaults().set(kFontSizeKey, 39.0);
  makeContent();
  ctrl("+", true);
  EXPECT_EQ(view().state().fontSize, 40);
  content.reset();
  defaults().set(kFontSizeKey, 1000.0);
  makeContent();
  EXPECT_EQ(view().state().fontSize, 40);
}

TEST_F(PanelView, RegenerateNeedsAnAnswerAndWorksWhileHistoryIsOpen) {
  makeContent();
  serveAnswer({"Again"});
  EXPECT_FALSE(ctrl("r"));
  EXPECT_EQ(streamRequests(), 0u);
  showAnswer("First");
  model->openHistory = true;
  settle();
  EXPECT_FALSE(has("panel.regenerate"));
  EXPECT_TRUE(ctrl("r"));
  EXPECT_TRUE(waitFor([&] { return streamRequests() == 1u && !model->isLoading; }));
  EXPECT_EQ(model->responseValue.get(), "Again");
}

TEST_F(PanelView, RegenerateBringsTheNewAnswerIntoView) {
  makeContent();
  serveAnswer({"Again, ", "shorter."});
  std::string first;
  for (int i = 0; i < 80; ++i) first += "line " + std::to_string(i) + "\n\n";
  // A continued chat: the earlier, long answer stays below the one regenerated.
  showAnswer(first);
  model->messages.modify([](auto& list) {
    list.push_back(core::ChatMessage::make("user", "And then?"));
    list.push_back(core::ChatMessage::make("assistant", "Then this."));
  });
  model->responseValue = "Then this.";
  settle();
  const ui::Rect viewport = frame("panel.conversation");
  // Read down into the earlier answer.
  ASSERT_TRUE(view().scrolled({viewport.midX(), viewport.midY()}, 0, 1000));
  settle();
  ASSERT_LT(frame("panel.message.4").maxY(), viewport.y);

  EXPECT_TRUE(ctrl("r"));
  ASSERT_TRUE(waitFor([&] { return streamRequests() == 1u && !model->isLoading; }));
  settle();
  ASSERT_EQ(model->messages->back().content, "Again, shorter.");
  const ui::Rect shown = frame("panel.message.4");
  EXPECT_GE(shown.y, viewport.y - 1e-9) << "the new answer shows, from its top";
  EXPECT_LT(shown.maxY(), viewport.maxY());
}

TEST_F(PanelView, ToolbarShowsStatusOrTheAnswerGroup) {
  makeContent();
  model->status = "No selection";
  settle();
  EXPECT_EQ(view().host().accessibilityLabelOf("panel.status"), std::nullopt);
  EXPECT_TRUE(has("panel.status"));
  EXPECT_FALSE(has("panel.copyAll"));
  showAnswer("A");
  EXPECT_FALSE(has("panel.status"));
  EXPECT_TRUE(has("panel.regenerate"));
  EXPECT_TRUE(has("panel.copyAll"));
  EXPECT_NE(view().host().dump().find("\"New chat\""), std::string::npos);
  model->isLoading = true;
  settle();
  EXPECT_NE(view().host().dump().find("\"Cancel\""), std::string::npos);
  model->isLoading = false;
  settle();
  click("panel.escape");
  EXPECT_TRUE(model->responseValue->empty());
}

class AnswerActionsView : public PanelView {
 protected:
  FloatingViewOptions withServices() {
    auto o = options();
    o.answerServices = {pasteboard, ax, feedback};
    return o;
  }
  // The hot key over a text field of another application: its selection becomes the context
  // and the field the place the answer goes.
  void captureFrom(accessibility::Element field) {
    ax->setFocusedElement(field);
    ax->setAttribute(field, accessibility::attribute::kValue,
                     std::string("0123456789ABCDE0123456789abcde"));
    ax->setAttribute(field, accessibility::attribute::kSelectedTextRange,
                     accessibility::TextRange{10, 5});
    ax->setAttribute(field, accessibility::attribute::kSelectedText, std::string("ABCDE"));
    model->captureSelectedText();
    ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0; }));
    ASSERT_EQ(model->captureTarget(), field);
  }
  std::vector<accessibility::FakeAccessibility::Write> textWrites() {
    // The target is looked at on the queue, the panel resigns on the main thread, then the
    // queue writes.
    for (int hop = 0; hop < 2; ++hop) {
      view().answerActions().waitUntilIdle();
      settle();
    }
    std::vector<accessibility::FakeAccessibility::Write> writes;
    for (const auto& write : ax->writes())
      if (write.element.kind() == accessibility::Element::Kind::UIElement) writes.push_back(write);
    return writes;
  }
  void makeServedPanel() {
    makeModel({ax, pasteboard, workspace, nullptr});
    makePanel(withServices());
  }
  std::shared_ptr<appkit::FakePasteboard> pasteboard = std::make_shared<appkit::FakePasteboard>();
  std::shared_ptr<accessibility::FakeAccessibility> ax =
      std::make_shared<accessibility::FakeAccessibility>();
  std::shared_ptr<appkit::FakeWorkspace> workspace = [] {
    auto w = std::make_shared<appkit::FakeWorkspace>();
    w->setFrontmostApplication(appkit::RunningApplication{7, 0x400001});
    return w;
  }();
  std::shared_ptr<appkit::FakeFeedback> feedback = std::make_shared<appkit::FakeFeedback>();
  accessibility::Element element = ax->addElement(7);
};

TEST_F(AnswerActionsView, CopyAllPutsTheAnswerOnTheClipboardAndCloses) {
  makeServedPanel();
  panel->toggle();
  pasteboard->setString("the user's own clipboard");
  // Without an answer the clipboard stays as it was.
  EXPECT_TRUE(ctrl("c", true));
  panel->content().answerActions().waitUntilIdle();
  EXPECT_EQ(pasteboard->string(), "the user's own clipboard");
  panel->toggle();
  showAnswer("The answer");
  click("panel.copyAll");
  panel->content().answerActions().waitUntilIdle();
  EXPECT_EQ(pasteboard->string(), "The answer");
  EXPECT_FALSE(panel->panel().isOpen());
  EXPECT_FALSE(window->visible);
  EXPECT_EQ(feedback->beeps, 0);
}

TEST_F(AnswerActionsView, AcceptClosesThenWritesTheAnswerInPlaceOfTheCapturedSelection) {
  makeServedPanel();
  captureFrom(element);
  panel->toggle();
  // An empty answer only closes: the user's selection is kept.
  EXPECT_TRUE(press(ui::Key::enter, {.control = true}));
  EXPECT_TRUE(textWrites().empty());
  EXPECT_FALSE(window->visible);

  panel->toggle();
  model->isOnTopBinding = true;  // pinned: written, and the panel stays
  showAnswer("Answer");
  // The keyboard went elsewhere meanwhile (our panel, another field): the answer still goes
  // where the selection was taken from.
  ax->setFocusedElement(ax->addElement(99));
  EXPECT_TRUE(press(ui::Key::enter, {.control = true}));
  const auto writes = textWrites();
  ASSERT_EQ(writes.size(), 3u);
  for (const auto& write : writes) EXPECT_EQ(write.element, element);
  EXPECT_EQ(std::get<accessibility::TextRange>(writes[0].value), (accessibility::TextRange{10, 5}));
  EXPECT_EQ(std::get<std::string>(writes[1].value), "Answer");
  EXPECT_EQ(std::get<accessibility::TextRange>(writes[2].value), (accessibility::TextRange{10, 0}));
  EXPECT_TRUE(window->visible);
  EXPECT_TRUE(panel->panel().isOpen());
  EXPECT_EQ(feedback->beeps, 0);
}

TEST_F(AnswerActionsView, ErrorPlaceholdersAndUnfinishedAnswersNeverLeaveThePanel) {
  makeServedPanel();
  captureFrom(element);
  pasteboard->setString("the user's own clipboard");
  auto refused = [&](const char* what) {
    const int beeps = feedback->beeps;
    EXPECT_TRUE(press(ui::Key::enter, {.control = true})) << what;
    EXPECT_TRUE(ctrl("c", true)) << what;
    EXPECT_TRUE(textWrites().empty()) << what;
    EXPECT_EQ(pasteboard->string(), "the user's own clipboard") << what;
    EXPECT_EQ(feedback->beeps, beeps + 2) << what;
    EXPECT_TRUE(panel->panel().isOpen()) << what;
  };

  // The service refuses: the answer becomes "Error 429".
  server.reply(kChatPath, {429, "{}", "application/json", {}});
  panel->toggle();
  model->streamChat("Fix this");
  ASSERT_TRUE(waitFor([&] { return !model->isLoading; }));
  ASSERT_EQ(model->responseValue.get(), "Error 429");
  refused("error placeholder");

  // Still streaming.
  server.stallAfterHead(kChatPath);
  model->streamChat("Fix this");
  model->responseValue = "The first words of";
  settle();
  ASSERT_TRUE(model->isLoading);
  refused("partial answer");
  model->handleEscape();

  // A stream cut short keeps what arrived, with the failure on the error line.
  server.closeMidStream(kChatPath, testsupport::deltaEvent("Half an"));
  model->streamChat("Fix this");
  ASSERT_TRUE(waitFor([&] { return !model->isLoading; }));
  ASSERT_FALSE(model->error->empty());
  ASSERT_EQ(model->responseValue.get(), "Half an");
  refused("cut answer");
}

TEST_F(AnswerActionsView, AnAnswerWithNowhereToGoIsWrittenNowhere) {
  makeServedPanel();
  // The capture found no focused element: there is no place for the answer.
  ax->setFocusedElementError(accessibility::kAXErrorNoValue);
  model->captureSelectedText();
  ASSERT_TRUE(waitFor([&] { return model->capturesInFlight() == 0; }));
  panel->toggle();
  showAnswer("Answer");
  EXPECT_TRUE(press(ui::Key::enter, {.control = true}));
  EXPECT_TRUE(textWrites().empty());
  EXPECT_EQ(feedback->beeps, 1);

  // The captured field went away with its window.
  captureFrom(element);
  ax->setWriteError(element, accessibility::attribute::kSelectedText,
                    accessibility::kAXErrorInvalidUIElement);
  panel->toggle();
  EXPECT_TRUE(press(ui::Key::enter, {.control = true}));
  view().answerActions().waitUntilIdle();
  EXPECT_TRUE(waitFor([&] { return feedback->beeps == 2; }));
  for (const auto& write : textWrites())
    EXPECT_NE(write.attribute, accessibility::attribute::kSelectedText);
  // The answer is still there for Copy all, in the panel that came back to say why.
  EXPECT_EQ(model->responseValue.get(), "Answer");
  EXPECT_TRUE(waitFor([&] { return panel->panel().isOpen(); }));
  EXPECT_EQ(model->writeBackStatus.get(), "Window changed");
}

TEST_F(AnswerActionsView, ATerminalGetsNoKeystrokeAndThePanelSaysSo) {
  makeServedPanel();
  captureFrom(element);
  ax->setAttribute(element, accessibility::attribute::kRole,
                   std::string(accessibility::role::kTerminal));
  panel->toggle();
  showAnswer("Answer");
  EXPECT_TRUE(press(ui::Key::enter, {.control = true}));
  EXPECT_TRUE(textWrites().empty());
  EXPECT_TRUE(waitFor([&] { return feedback->beeps == 1; }));
  // It never closed: the answer stays with the reason beside it.
  EXPECT_TRUE(panel->panel().isOpen());
  EXPECT_TRUE(window->visible);
  EXPECT_EQ(model->writeBackStatus.get(), "Terminal: copy it");
  settle();
  EXPECT_NE(view().host().dump().find("\"Terminal: copy it\""), std::string::npos)
      << view().host().dump();
  // A new answer starts without it.
  server.stallAfterHead(kChatPath);
  model->streamChat("Once more");
  EXPECT_TRUE(model->writeBackStatus->empty());
  model->handleEscape();
}

TEST_F(AnswerActionsView, WithoutAPanelTheActionsOnlyLog) {
  makeContent(withServices());
  showAnswer("Answer");
  EXPECT_TRUE(ctrl("c", true));
  view().answerActions().waitUntilIdle();
  EXPECT_EQ(pasteboard->string(), "Answer");
}

}  // namespace
}  // namespace panel::testing
