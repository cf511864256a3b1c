#include "core/PromptModel.h"

#include <string>

#include "core/Console.h"
#include "core/DocumentsFiles.h"

namespace core {

PromptModel::PromptModel(const Bundle& bundle)
    : prompts(this, initialPrompts(bundle), &PromptModel::save) {}

std::vector<PromptData> PromptModel::bundledPrompts(const Bundle& bundle) {
  const std::string bytes = loadBundleJSON(kBundledPromptsName, bundle);
  try {
    return decodeJSON<std::vector<PromptData>>(bytes);
  } catch (const DecodingError& error) {
    fatalError(std::string("Couldn't parse ") + kBundledPromptsName + " from main bundle:\n" +
               error.what());
  }
}

std::vector<PromptData> PromptModel::initialPrompts(const Bundle& bundle) {
  // The shipped defaults must be sound even when the user's file makes them unnecessary.
  std::vector<PromptData> defaults = bundledPrompts(bundle);
  if (auto stored = readJSONFromDocuments<PromptData>(kPromptsFileName)) return std::move(*stored);
  return defaults;
}

void PromptModel::save(const std::vector<PromptData>& prompts) {
  printLine("Saved to JSON");
  saveJSONToDocuments(prompts, kPromptsFileName);
}

}  // namespace core
