#include "core/PromptModel.h"

#include <string>

#include "core/Console.h"
#include "core/DocumentsFiles.h"

namespace core {

PromptModel::PromptModel(const Bundle& bundle, std::shared_ptr<DocumentsFolder> documents)
    : documents_(documents ? std::move(documents) : std::make_shared<DocumentsFolder>()),
      prompts(this, initialPrompts(bundle, *documents_),
              [documents = documents_](const std::vector<PromptData>& list) {
                save(list, *documents);
              }) {}

std::vector<PromptData> PromptModel::bundledPrompts(const Bundle& bundle) {
  const std::string bytes = loadBundleJSON(kBundledPromptsName, bundle);
  try {
    return decodeJSON<std::vector<PromptData>>(bytes);
  } catch (const DecodingError& error) {
    fatalError(std::string("Couldn't parse ") + kBundledPromptsName + " from main bundle:\n" +
               error.what());
  }
}

std::vector<PromptData> PromptModel::initialPrompts(const Bundle& bundle,
                                                    DocumentsFolder& documents) {
  // The shipped defaults must be sound even when the user's file makes them unnecessary.
  std::vector<PromptData> defaults = bundledPrompts(bundle);
  if (auto stored = documents.readJSONFromDocuments<PromptData>(kPromptsFileName))
    return std::move(*stored);
  return defaults;
}

void PromptModel::save(const std::vector<PromptData>& prompts, DocumentsFolder& documents) {
  printLine("Saved to JSON");
  documents.saveJSONToDocuments(prompts, kPromptsFileName);
}

}  // namespace core
