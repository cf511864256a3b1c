#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DataModel.h"
#include "core/PromptData.h"
#include "shell/URLOpener.h"

namespace shell {

// Imported presets come from any web page: their size is bounded.
inline constexpr std::size_t kMaxImportDataBytes = 64 * 1024;
inline constexpr std::size_t kMaxImportedShortFieldBytes = 256;    // emoji, name, kinds, id
inline constexpr std::size_t kMaxImportedPromptBytes = 32 * 1024;  // prompt, system prompt

// One preset as a "data" query item carries it: a JSON object with the strings "emoji",
// "name" and "prompt" and the optional strings "id", "systemPrompt", "promptType" and
// "programType". Absent when it does not decode or a field is too long.
std::optional<core::PromptData> decodeImportedPreset(std::string_view json);

// Imports the preset of every "quillcast" URL that carries one in its first "data" item, each
// under a new id, in one change of the list, and then opens the prompt editor once. URLs of
// other schemes are skipped; the first one of ours without a preset that decodes ends the
// handling, and the presets of the URLs before it are still imported.
void handleOpenURLs(const std::vector<std::string>& urls, core::DataModel& model,
                    URLOpener& opener);

}  // namespace shell
