#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/Bundle.h"
#include "core/PromptData.h"

namespace core {

// A bundle folder of its own holding the given "prompt.json" text; removed when done.
class TestBundle {
 public:
  explicit TestBundle(const std::string& promptJSON);
  static TestBundle withPresets(const std::vector<PromptData>& presets);
  ~TestBundle();
  TestBundle(TestBundle&& other) noexcept;
  TestBundle(const TestBundle&) = delete;
  TestBundle& operator=(const TestBundle&) = delete;

  const Bundle& bundle() const { return bundle_; }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  Bundle bundle_;
};

// Five presets of both kinds: 0 nonContext, 1 context by default, 2 context, 3 nonContext,
// 4 context.
std::vector<PromptData> samplePresets();

}  // namespace core
