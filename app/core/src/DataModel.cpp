#include "core/DataModel.h"

#include "core/DocumentsFiles.h"

namespace core {

DataModel::DataModel(DataModelEnvironment environment)
    : environment_(std::move(environment)),
      PromptM(this, std::make_shared<PromptModel>(environment_.bundle ? *environment_.bundle
                                                                      : Bundle::main())) {
  oldMessages = readJSONFromDocuments<oldMessagesStruct>(kHistoryFileName)
                    .value_or(std::vector<oldMessagesStruct>{});
  extractedTexts = splitPromptText(kDefaultFillInPrompt);
  // An unreadable presets file was moved aside while loading, so this never destroys one.
  saveJSONToDocuments(prompts(), kPromptsFileName);
}

DataModel::~DataModel() {
  // A running stream would otherwise keep its session, and so itself, alive.
  if (const auto source = eventSource.get()) source->disconnect();
}

foundation::UserDefaults& DataModel::userDefaults() const {
  return environment_.userDefaults ? *environment_.userDefaults
                                   : foundation::UserDefaults::standard();
}

}  // namespace core
