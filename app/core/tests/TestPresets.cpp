#include "TestPresets.h"

#include <unistd.h>

#include <fstream>

#include "core/JSONCoding.h"

namespace core {
namespace {

std::filesystem::path makeFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quill-bundle-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

}  // namespace

TestBundle::TestBundle(const std::string& promptJSON)
    : folder_(makeFolder()), bundle_({folder_}, false) {
  std::ofstream(folder_ / "prompt.json", std::ios::binary) << promptJSON;
}

TestBundle TestBundle::withPresets(const std::vector<PromptData>& presets) {
  return TestBundle(encodeJSON(presets));
}

TestBundle::TestBundle(TestBundle&& other) noexcept
    : folder_(std::move(other.folder_)), bundle_({folder_}, false) {
  other.folder_.clear();
}

TestBundle::~TestBundle() {
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::vector<PromptData> samplePresets() {
  return {
      {"ID-0", "📧", "Write an email", "Write to [recipient] about [subject].", std::nullopt,
       "nonContext", std::nullopt},
      {std::nullopt, "🌐", "translate", "Translate: {selected text}", std::nullopt, std::nullopt,
       std::nullopt},
      {"ID-2", "📝", "Summarize", "Summarize: {selected text}", "Be brief.", "context", "any"},
      {"ID-3", "💭", "Brainstorm", "Ideas for translate", std::nullopt, "nonContext", std::nullopt},
      {"ID-4", "🔍", "Straße prüfen", "Check: {selected text}", std::nullopt, "context",
       std::nullopt},
  };
}

}  // namespace core
