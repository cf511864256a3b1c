#pragma once

#include <cstdint>
#include <vector>

#include "core/Bundle.h"
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
 public:
  // Stops the program when the bundle has no decodable "prompt.json".
  explicit PromptModel(const Bundle& bundle = Bundle::main());

  std::vector<std::uint8_t> PromptSetting;       // NOLINT: kept empty
  std::vector<std::uint8_t> ReplyPromptSetting;  // NOLINT: kept empty
  PublishedWithDidSet<std::vector<PromptData>> prompts;

  // The shipped defaults, decoded.
  static std::vector<PromptData> bundledPrompts(const Bundle& bundle = Bundle::main());

 private:
  static std::vector<PromptData> initialPrompts(const Bundle& bundle);
  static void save(const std::vector<PromptData>& prompts);
};

}  // namespace core
