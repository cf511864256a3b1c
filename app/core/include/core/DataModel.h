#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/AssistantSettings.h"
#include "core/Bundle.h"
#include "core/ChatRecords.h"
#include "core/FloatingViewPanel.h"
#include "core/PromptModel.h"
#include "core/PromptPieces.h"
#include "eventstream/EventSource.h"
#include "foundation/ObservableObject.h"
#include "foundation/UserDefaults.h"

namespace core {

// The prompt that fill-in mode shows before any preset asked for it.
inline constexpr std::string_view kDefaultFillInPrompt =
    "Create a compelling CTA for our [landing page/email/website] that encourages "
    "[ideal customer persona] to [desired action].";

inline constexpr const char* kDefaultChatServiceBaseURL = "https://api.openai.com";

// What the model talks to; the defaults are the real ones.
struct DataModelEnvironment {
  // Scheme and host of the chat-completions service.
  std::string chatServiceBaseURL = kDefaultChatServiceBaseURL;
  // The standard user defaults when null.
  foundation::UserDefaults* userDefaults = nullptr;
  // The main bundle when null; must outlive the model.
  const Bundle* bundle = nullptr;
};

// The assistant's one shared state: everything the floating panel shows, the presets, the saved
// chats, the running stream and the panel itself. Every property publishes before each store,
// even of an equal value. Main thread only. Create it with std::make_shared, so that request
// handlers can hold it weakly.
class DataModel : public foundation::ObservableObject,
                  public std::enable_shared_from_this<DataModel> {
 private:
  DataModelEnvironment environment_;

 public:
  // Reads the history file and rewrites the presets file with the presets in use.
  explicit DataModel(DataModelEnvironment environment = {});
  ~DataModel() override;

  template <class T>
  using Published = foundation::Published<T>;

  Published<std::string> selectedValue{this, ""};
  Published<std::string> responseValue{this, ""};
  Published<std::string> command{this, ""};
  Published<std::shared_ptr<core::FloatingViewPanel>> FloatingViewPanel{this, nullptr};
  Published<std::shared_ptr<PromptModel>> PromptM;
  Published<std::shared_ptr<eventstream::EventSource>> eventSource{this, nullptr};
  Published<bool> openHistory{this, false};
  Published<bool> isLoading{this, false};
  Published<bool> isOnTopBinding{this, false};
  Published<bool> browseHistory{this, false};
  Published<bool> isCancelRequest{this, false};
  Published<bool> nonContextPrompt{this, false};
  Published<bool> isContext{this, false};
  Published<std::vector<ExtractedText>> extractedTexts{this, {}};
  Published<int> selectedIndex{this, 0};
  Published<int> hoverIndex{this, -1};
  Published<int> keyHistorySelected{this, 0};
  Published<int> keyHistoryHover{this, -1};
  Published<int> chatWithHistory{this, -1};
  Published<std::string> status{this, ""};
  Published<std::string> error{this, ""};
  Published<std::vector<ChatMessage>> messages{this, {}};
  Published<std::vector<oldMessagesStruct>> oldMessages{this, {}};
  Published<std::vector<int>> filteredData{this, {}};
  Published<std::optional<int>> focusField{this, std::nullopt};
  Published<std::vector<std::int64_t>> focusTemp{this, {}};
  Published<bool> didFocus{this, true};

  // The preset list (indices into PromptM's prompts, ascending) and its selection.
  virtual void selectNext();
  virtual void selectPrevious();
  virtual void searchPrompts(std::string_view text);
  virtual void filterContextPrompts();
  virtual void filterNonContextPrompts();
  virtual void resetSelection();
  // The filter of the current kind (`isContext`), then a reset.
  void refreshPromptList();

  const std::vector<PromptData>& prompts() const { return PromptM.get()->prompts.get(); }
  foundation::UserDefaults& userDefaults() const;
  AssistantSettings settings() const { return AssistantSettings(userDefaults()); }
  const std::string& chatServiceBaseURL() const { return environment_.chatServiceBaseURL; }

 private:
  void filterPrompts(std::string_view kind, std::string_view nameContains);
};

}  // namespace core
