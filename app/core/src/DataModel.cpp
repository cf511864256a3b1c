#include "core/DataModel.h"

#include "core/DocumentsFiles.h"

namespace core {

namespace {

std::shared_ptr<DocumentsFolder> preparedDocumentsFolder() {
  auto folder = std::make_shared<DocumentsFolder>();
  folder->prepare();
  return folder;
}

}  // namespace

DataModel::DataModel(DataModelEnvironment environment)
    : environment_(std::move(environment)),
      documents_(preparedDocumentsFolder()),
      PromptM(this, std::make_shared<PromptModel>(
                        environment_.bundle ? *environment_.bundle : Bundle::main(), documents_)) {
  // A long history takes seconds to read: nothing waits for it.
  loadHistory();
  extractedTexts = splitPromptText(kDefaultFillInPrompt);
  // An unreadable presets file was moved aside while loading (or is left untouched), so this
  // never destroys one.
  documents_->saveJSONToDocuments(prompts(), kPromptsFileName);
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
