#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/Bundle.h"
#include "core/DocumentsFiles.h"
#include "core/PromptData.h"
#include "core/PublishedWithDidSet.h"
#include "foundation/ObservableObject.h"

namespace core {

// The name of the shipped default presets.
inline constexpr const char* kBundledPromptsName = "prompt.json";

// The preset store. Starts with the user's presets file when it reads (even an empty list),
// else with the shipped defaults; every later change prints "Saved to JSON" and rewrites the
// presets file. Main thread only.
class PromptModel : public foundation::ObservableObject {
 private:
  std::shared_ptr<DocumentsFolder> documents_;  // before `prompts`, which it fills

 public:
  // Stops the program when the bundle has no decodable "prompt.json". Reads and writes the
  // presets file through `documents`.
  explicit PromptModel(const Bundle& bundle = Bundle::main(),
                       std::shared_ptr<DocumentsFolder> documents = nullptr);

  std::vector<std::uint8_t> PromptSetting;       // NOLINT: kept empty
  std::vector<std::uint8_t> ReplyPromptSetting;  // NOLINT: kept empty
  PublishedWithDidSet<std::vector<PromptData>> prompts;

  // The shipped defaults, decoded.
  static std::vector<PromptData> bundledPrompts(const Bundle& bundle = Bundle::main());

 private:
  static std::vector<PromptData> initialPrompts(const Bundle& bundle, DocumentsFolder& documents);
  static void save(const std::vector<PromptData>& prompts, DocumentsFolder& documents);
};

}  // namespace core
