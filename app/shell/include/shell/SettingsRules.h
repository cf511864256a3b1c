#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace shell {

inline constexpr std::string_view kDefaultModel = "gpt-3.5-turbo";

// The models the settings' picker offers: the default only until the user has a key.
std::vector<std::string> modelPickerEntries(std::string_view apiKey);
// The red warning shows for every model whose name holds "gpt-4".
bool showsGPT4Warning(std::string_view model);
// "1.2 build 34".
std::string appVersionString(std::string_view shortVersion, std::string_view buildNumber);

}  // namespace shell
