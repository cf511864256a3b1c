#include "shell/PresetImport.h"

#include <iterator>

#include "core/JSONCoding.h"
#include "foundation/DebugLog.h"
#include "foundation/UUID.h"
#include "shell/AppWindow.h"
#include "shell/SchemeURL.h"

namespace shell {
namespace {

bool fitsLimits(const core::PromptData& preset) {
  const auto shortField = [](const std::optional<std::string>& field) {
    return !field || field->size() <= kMaxImportedShortFieldBytes;
  };
  return preset.emoji.size() <= kMaxImportedShortFieldBytes &&
         preset.name.size() <= kMaxImportedShortFieldBytes &&
         preset.prompt.size() <= kMaxImportedPromptBytes &&
         (!preset.systemPrompt || preset.systemPrompt->size() <= kMaxImportedPromptBytes) &&
         shortField(preset.id) && shortField(preset.promptType) && shortField(preset.programType);
}

// The "data" value of a URL of ours, when it has one.
std::optional<std::string> importData(const SchemeURL& url) {
  if (!url.query) return std::nullopt;
  const auto items = parseQueryItems(*url.query);
  if (!items || items->empty()) return std::nullopt;
  for (const auto& item : *items) {
    if (item.name == "data") return item.value;
  }
  return std::nullopt;
}

}  // namespace

std::optional<core::PromptData> decodeImportedPreset(std::string_view json) {
  if (json.size() > kMaxImportDataBytes) return std::nullopt;
  try {
    auto preset = core::decodeJSON<core::PromptData>(json);
    if (!fitsLimits(preset)) return std::nullopt;
    return preset;
  } catch (const core::DecodingError&) {
    return std::nullopt;
  }
}

void handleOpenURLs(const std::vector<std::string>& urls, core::DataModel& model,
                    URLOpener& opener) {
  std::vector<core::PromptData> imported;
  for (const auto& text : urls) {
    const auto url = parseSchemeURL(text);
    if (url && url->scheme != kURLScheme) continue;
    if (!url && text.rfind(std::string(kURLScheme) + ":", 0) != 0) continue;
    foundation::debugLog("RUNNING URL SCHME");
    // A link of ours that carries no preset ends the handling: later links are not looked at.
    if (!url) break;
    const auto data = importData(*url);
    if (!data) break;
    auto preset = decodeImportedPreset(*data);
    if (!preset) break;
    preset->id = foundation::UUID().uuidString();
    imported.push_back(std::move(*preset));
  }
  if (imported.empty()) return;
  // One change for the whole list: every change saves the presets and rebuilds what shows them.
  model.PromptM.get()->prompts.modify([&](auto& prompts) {
    prompts.insert(prompts.end(), std::make_move_iterator(imported.begin()),
                   std::make_move_iterator(imported.end()));
  });
  model.refreshPromptList();
  openWindow(AppWindow::promptEditor, opener);
}

}  // namespace shell
