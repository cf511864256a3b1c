#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Announced.h"
#include "core/AssistantSettings.h"
#include "core/Bundle.h"
#include "core/CaptureServices.h"
#include "core/ChatRecords.h"
#include "core/DocumentsFiles.h"
#include "core/FloatingViewPanel.h"
#include "core/PromptModel.h"
#include "core/PromptPieces.h"
#include "core/SavedChatList.h"
#include "eventstream/EventSource.h"
#include "foundation/ObservableObject.h"
#include "foundation/URLSession.h"
#include "foundation/UserDefaults.h"

namespace core {

// The prompt that fill-in mode shows before any preset asked for it.
inline constexpr std::string_view kDefaultFillInPrompt =
    "Create a compelling CTA for our [landing page/email/website] that encourages "
    "[ideal customer persona] to [desired action].";

// What the answer holds while a reopened saved chat is shown.
inline constexpr std::string_view kOpenChatMarker = "openChat";

// Follows what arrived of an answer that was cut short (stopped, broken, or the program ended
// while it streamed) wherever that answer is kept, so that a saved chat never passes it off as
// whole.
inline constexpr std::string_view kCutShortMark = "\n\n[answer cut short]";

inline constexpr const char* kDefaultChatServiceBaseURL = "https://api.openai.com";

// What the model talks to; the defaults are the real ones.
struct DataModelEnvironment {
  // Scheme and host of the chat-completions service.
  std::string chatServiceBaseURL = kDefaultChatServiceBaseURL;
  // The standard user defaults when null.
  foundation::UserDefaults* userDefaults = nullptr;
  // The main bundle when null; must outlive the model.
  const Bundle* bundle = nullptr;
  // Where the selected text comes from; without them nothing is captured.
  CaptureServices captureServices = {};
  // Makes the sessions of the streamed requests; foundation::URLSession::make when empty.
  eventstream::EventSource::SessionFactory streamSessionFactory = {};
};

// The assistant's one shared state: everything the floating panel shows, the presets, the saved
// chats, the running stream and the panel itself. Every property publishes before each store,
// even of an equal value. Main thread only. Create it with std::make_shared, so that request
// handlers can hold it weakly.
class DataModel : public foundation::ObservableObject,
                  public std::enable_shared_from_this<DataModel> {
 private:
  DataModelEnvironment environment_;
  // Made private and swept of stale temporaries before anything in it is read.
  std::shared_ptr<DocumentsFolder> documents_;

 public:
  // Starts reading the history file and rewrites the presets file with the presets in use.
  explicit DataModel(DataModelEnvironment environment = {});
  ~DataModel() override;

  template <class T>
  using Published = foundation::Published<T>;

  // The properties the panel reacts to one by one (AnnouncedProperty) also tell of each store
  // on their own; the answer tells what was appended to it (subscribeAnswerAppended).
  Published<std::string> selectedValue{this, ""};
  Published<std::string> responseValue{this, ""};
  AnnouncedProperty<std::string> command{this, ""};
  Published<std::shared_ptr<core::FloatingViewPanel>> FloatingViewPanel{this, nullptr};
  Published<std::shared_ptr<PromptModel>> PromptM;
  Published<std::shared_ptr<eventstream::EventSource>> eventSource{this, nullptr};
  Published<bool> openHistory{this, false};
  AnnouncedProperty<bool> isLoading{this, false};
  AnnouncedProperty<bool> isOnTopBinding{this, false};
  Published<bool> browseHistory{this, false};
  Published<bool> isCancelRequest{this, false};
  AnnouncedProperty<bool> nonContextPrompt{this, false};
  Published<bool> isContext{this, false};
  Published<std::vector<ExtractedText>> extractedTexts{this, {}};
  AnnouncedProperty<int> selectedIndex{this, 0};
  Published<int> hoverIndex{this, -1};
  AnnouncedProperty<int> keyHistorySelected{this, 0};
  Published<int> keyHistoryHover{this, -1};
  Published<int> chatWithHistory{this, -1};
  Published<std::string> status{this, ""};
  // Why the last accepted answer was not written; empty when it was, or none was accepted.
  Published<std::string> writeBackStatus{this, ""};
  AnnouncedProperty<std::string> error{this, ""};
  Published<std::vector<ChatMessage>> messages{this, {}};
  Published<SavedChatList> oldMessages{this, {}};
  Published<std::vector<int>> filteredData{this, {}};
  Published<std::optional<int>> focusField{this, std::nullopt};
  Published<std::vector<std::int64_t>> focusTemp{this, {}};
  AnnouncedProperty<bool> didFocus{this, true};

  // The preset list (indices into PromptM's prompts, ascending) and its selection.
  virtual void selectNext();
  virtual void selectPrevious();
  virtual void searchPrompts(std::string_view text);
  virtual void filterContextPrompts();
  virtual void filterNonContextPrompts();
  virtual void resetSelection();
  // The filter of the current kind (`isContext`), then a reset.
  void refreshPromptList();

  // Told after a piece of the streamed answer was appended to `responseValue` and to the last
  // message (which announced their change before, as always), with the piece.
  [[nodiscard]] foundation::Cancellable subscribeAnswerAppended(
      std::function<void(const std::string& piece)> observer) {
    return answerAppended_.subscribe(std::move(observer));
  }
  // True while a piece of the streamed answer is stored, from the change announcements of
  // `responseValue` and `messages` to the answer-appended event: an observer of every change can
  // tell the answer's growth from the rest.
  bool appendingToAnswer() const { return appendingToAnswer_; }

  // One streamed turn: appends the prompt as a user message and lets the answer grow in
  // `responseValue` and a new assistant message. An empty prompt only prints a line.
  void streamChat(std::string prompt);

  // The preset at `index`, or the typed command as a preset for -1 and any index that names no
  // preset.
  PromptData selectedPromptData(int index) const;
  // Return in the command line: reopens a saved chat, enters or sends a fill-in preset, or sends
  // a preset or the typed command, with or without the captured context. While a capture runs
  // it waits for the capture's result: then the typed command goes, or the preset picked, if
  // the list of the captured kind still holds it.
  void sendPrompt();

  // Takes the text selected in the application in front as the context of the next request,
  // by the accessibility layer or, with "useCopyHack", by a copy keystroke (never into a
  // terminal, whose selection is read as without it). Finishes on the main queue; the desktop
  // is asked off the main thread. `whenPanelMayShow` runs on the main thread once nothing the
  // capture does depends on the keyboard staying where it is: once the selection was read, or
  // after the keystroke. An application that takes longer than a bound (well over what a
  // visible selection takes) does not keep the panel away: it shows, with `status` saying the
  // selection is being read.
  void captureSelectedText(std::function<void()> whenPanelMayShow = {});
  // Readies, off the main thread, what the first capture would otherwise set up while the user
  // waits for the panel: the capture queue's thread and the accessibility layer's connection to
  // the desktop's buses. Reads no selection and sends no keystroke.
  void prepareCapture();
  // Captures started and not yet finished.
  int capturesInFlight() const { return capturesInFlight_; }
  // Where an accepted answer goes: the element the last capture found focused in the window
  // in front, never whatever has the focus later. None while a capture runs or when it found
  // nothing to write to.
  const std::optional<accessibility::Element>& captureTarget() const { return captureTarget_; }

  // Asks the service for a title of the conversation and saves it under that title. A
  // conversation without an answer is not saved.
  void summarizeChat();
  // A plain (not streamed) request; `completion` runs once, off the main thread.
  void sendPlainChatRequest(const std::vector<ChatMessage>& messages, const std::string& model,
                            foundation::DataTaskCompletion completion) const;
  // Inserts the conversation as a new saved chat for a negative index or one outside the list;
  // otherwise replaces the messages and title of the saved chat at `index`. Writes the file.
  void saveHistory(const std::string& title, const std::vector<ChatMessage>& conversation,
                   int index);
  // The same under the title "😀 Chat: " and the local date and minute.
  void saveHistoryWithDateTitle(const std::vector<ChatMessage>& conversation, int index);
  // "😀 Chat: yyyy-MM-dd HH:mm" in local time.
  static std::string dateTitle(double secondsSince1970);
  // The program is ending: saves the open conversation when it has an answer that is not in the
  // history yet (an answer still arriving as far as it came, marked cut short), and every
  // conversation still waiting for its title, under the topic a reopened
  // chat has or else the date title; then writes again the files that failed to save, and waits
  // (boundedly) until the writer has put everything on disk. Asks nothing of the network; safe
  // to call more than once. False when something stays unsaved.
  bool saveBeforeQuit();

  // The history file is read off the main thread at start, and `oldMessages` takes its chats in
  // once read, after those saved meanwhile. Until then no save writes the file, so that none can
  // leave it holding less than it did.
  bool historyLoaded() const { return historyLoaded_; }
  // Waits, at most `limit`, for the history file to be read and takes its chats in; true when
  // they are in. Blocks: for the way out, and for callers that need the saved chats at once.
  bool finishLoadingHistory(std::chrono::milliseconds limit = kFinishWritingLimit);
  // Runs `action` on the main thread once the history is in; at once when it is.
  void whenHistoryLoaded(std::function<void()> action);

  // Escape in the panel: undoes the first thing that applies, finally hides the panel.
  void handleEscape();
  // Streams the conversation again without its last answer.
  void regenerate();

  const std::vector<PromptData>& prompts() const { return PromptM.get()->prompts.get(); }
  foundation::UserDefaults& userDefaults() const;
  // The folder of the history and presets files.
  DocumentsFolder& documents() const { return *documents_; }
  AssistantSettings settings() const { return AssistantSettings(userDefaults()); }
  const std::string& chatServiceBaseURL() const { return environment_.chatServiceBaseURL; }

 private:
  enum class StreamKind { chat, regenerate };
  // The request whose callbacks are listened to. Callbacks of any other are ignored.
  struct ActiveStream {
    std::uint64_t generation = 0;
    StreamKind kind = StreamKind::chat;
    std::string prompt;                        // goes back to the command line on a failure
    std::vector<std::string> addedMessageIds;  // removed again when the request fails
    std::size_t answerBytes = 0;               // of the answer so far, at most the cap
    bool answerEnded = false;                  // the service said the answer is done
  };
  // A conversation as it was when its title was asked for, and the saved chat it belongs to.
  struct ChatSnapshot {
    std::vector<ChatMessage> conversation;
    std::optional<std::string> savedChatId;
  };
  struct CaptureQueue;
  struct AccessibilityCapture;
  friend class AnswerBatch;

  void filterPrompts(std::string_view kind, std::string_view nameContains);

  void startStream(StreamKind kind, std::string prompt, std::vector<std::string> addedMessageIds);
  bool isCurrentStream(std::uint64_t generation) const;
  void handleStreamOpen(std::uint64_t generation);
  void handleRegenerateOpen(std::uint64_t generation);
  // Appends what a batch of the current stream brought, up to the answer's cap, where it ends
  // the stream; `ended`: the service said the answer is done. A batch that ends with the
  // service's error ends the stream there, cut short.
  void takeStreamPiece(std::uint64_t generation, std::string piece, bool ended,
                       std::optional<std::string> serviceError);
  void appendStreamDelta(const std::optional<std::string>& content);
  void appendRegeneratedDelta(const std::optional<std::string>& content);
  void handleStreamComplete(std::uint64_t generation, std::optional<int> statusCode,
                            const std::optional<foundation::URLError>& failure);
  void removeAddedMessages(const ActiveStream& stream);

  void captureByCopy(std::function<void()> whenPanelMayShow);
  // The accessibility road's reads. Capture queue only.
  static AccessibilityCapture readSelection(CaptureQueue& capture);
  void applyAccessibilityCapture(const AccessibilityCapture& capture);
  void applyCapturedText(const std::string& text);
  void finishCapture();
  std::shared_ptr<CaptureQueue> captureQueue();

  std::optional<std::string> openSavedChatId();
  // The id of the saved chat at `position`, given one first when it has none.
  std::string idOfSavedChat(std::size_t position);
  // The saved chat the conversation belongs to: the reopened one, or where it was saved at Quit.
  std::optional<std::string> savedChatIdOf(const std::vector<ChatMessage>& conversation);
  // Returns the id of the saved chat written.
  std::string saveHistory(const std::string& title, const ChatSnapshot& snapshot);
  void loadHistory();
  void takeInHistory(SavedChatList loaded);
  // Hands the saved chats to the writer once the file's own are among them.
  void writeHistory();
  // Saved already, message for message.
  bool isInHistory(const ChatSnapshot& snapshot) const;
  std::string fallbackTitle(const ChatSnapshot& snapshot) const;
  void rememberKept(const ChatSnapshot& snapshot);
  // The conversation as it is kept: answers cut short carry the mark, and so does the answer
  // still arriving when `streaming` is given.
  std::vector<ChatMessage> keptConversation(const std::vector<ChatMessage>& conversation,
                                            const std::optional<std::string>& streaming = {}) const;
  // Saves the conversation, when it has an answer, under the title it has or the date title,
  // in the entry it was kept in before; nothing when it is kept as it stands.
  void keepConversation(const std::vector<ChatMessage>& conversation);
  // The open conversation's last answer was cut short: kept so, marked.
  void keepCutShortAnswer();
  static void handleTitleResponse(const std::optional<std::string>& body,
                                  const std::optional<foundation::URLError>& error,
                                  std::uint64_t request, std::weak_ptr<DataModel> model);
  void finishTitleRequest(std::uint64_t request, std::optional<std::string> title);

  Announcer<const std::string&> answerAppended_;
  bool appendingToAnswer_ = false;
  std::uint64_t lastGeneration_ = 0;
  std::optional<ActiveStream> activeStream_;
  // The request Escape cancelled; its completion only clears `isCancelRequest`.
  std::optional<std::uint64_t> cancelledGeneration_;
  // The saved chat that sendPrompt reopened.
  std::optional<std::string> openedChatId_;
  std::shared_ptr<CaptureQueue> captureQueue_;
  int capturesInFlight_ = 0;
  // A send asked for while a capture ran, with the preset picked then (-1: the typed command).
  std::optional<int> sendAfterCapture_;
  std::optional<accessibility::Element> captureTarget_;
  // Conversations whose title has been asked for and not yet come, by request.
  std::map<std::uint64_t, ChatSnapshot> titleRequests_;
  std::uint64_t lastTitleRequest_ = 0;
  // Fresh conversations already kept (at the end of an answer, or at a Quit that did not end
  // the program), by the id of their first message: the saved chat they continue.
  std::map<std::string, std::string> keptConversations_;
  // The answers that were cut short, by message id.
  std::set<std::string> cutShortAnswers_;
  bool historyLoaded_ = false;
  bool historyUnwritten_ = false;  // saved while the file was still being read
  std::vector<std::function<void()>> whenHistoryLoaded_;
  // Gone with the model, so that the history read finds it gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace core
