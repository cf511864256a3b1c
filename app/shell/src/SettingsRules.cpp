#include "shell/SettingsRules.h"

namespace shell {

std::vector<std::string> modelPickerEntries(std::string_view apiKey) {
  if (apiKey.empty()) return {std::string(kDefaultModel)};
  return {std::string(kDefaultModel), "gpt-3.5-turbo-16k", "gpt-4", "gpt-4-32k"};
}

bool showsGPT4Warning(std::string_view model) {
  return model.find("gpt-4") != std::string_view::npos;
}

std::string appVersionString(std::string_view shortVersion, std::string_view buildNumber) {
  return std::string(shortVersion) + " build " + std::string(buildNumber);
}

}  // namespace shell
