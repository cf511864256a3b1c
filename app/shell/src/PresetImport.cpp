#include "shell/PresetImport.h"

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
  for (const auto& text : urls) {
    const auto url = parseSchemeURL(text);
    if (url && url->scheme != kURLScheme) continue;
    if (!url && text.rfind(std::string(kURLScheme) + ":", 0) != 0) continue;
    foundation::debugLog("RUNNING URL SCHME");
    if (!url) continue;
    const auto data = importData(*url);
    if (!data) continue;
    auto preset = decodeImportedPreset(*data);
    if (!preset) continue;
    preset->id = foundation::UUID().uuidString();
    model.PromptM.get()->prompts.modify([&](auto& prompts) { prompts.push_back(*preset); });
    model.refreshPromptList();
    openWindow(AppWindow::promptEditor, opener);
  }
}

}  // namespace shell
