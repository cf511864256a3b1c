#pragma once

#include <string>

#include "foundation/UserDefaults.h"

namespace core {

// The settings window's values, as the model reads them from the user defaults.
class AssistantSettings {
 public:
  static constexpr const char* kAPIKeyKey = "openapikey";
  static constexpr const char* kModelKey = "model";
  static constexpr const char* kUseCopyHackKey = "useCopyHack";
  static constexpr const char* kDefaultModel = "gpt-3.5-turbo";

  explicit AssistantSettings(foundation::UserDefaults& defaults) : defaults_(defaults) {}

  // The stored key, or empty.
  std::string apiKey() const { return defaults_.stringForKey(kAPIKeyKey).value_or(""); }
  // The stored model name, even when empty; "gpt-3.5-turbo" only when none is stored.
  std::string modelName() const {
    return defaults_.stringForKey(kModelKey).value_or(kDefaultModel);
  }
  // Capture by the copy keystroke instead of the focused element; absent means false.
  bool useCopyHack() const { return defaults_.boolForKey(kUseCopyHackKey); }

 private:
  foundation::UserDefaults& defaults_;
};

}  // namespace core
