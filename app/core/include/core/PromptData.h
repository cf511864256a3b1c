#pragma once

#include <optional>
#include <string>

#include "core/JSONCoding.h"

namespace core {

// The kinds of presets; a preset without a kind counts as "context".
inline constexpr const char* kContextPromptType = "context";
inline constexpr const char* kNonContextPromptType = "nonContext";

// One prompt preset. Decoding never makes up an id.
struct PromptData {
  std::optional<std::string> id = std::nullopt;
  std::string emoji;
  std::string name;
  std::string prompt;
  std::optional<std::string> systemPrompt = std::nullopt;
  std::optional<std::string> promptType = std::nullopt;
  std::optional<std::string> programType = std::nullopt;

  // promptType, or "context" when it has none.
  std::string kind() const { return promptType.value_or(kContextPromptType); }
  bool operator==(const PromptData&) const = default;
};

template <>
struct JSONCodable<PromptData> {
  static Json encode(const PromptData& value);
  static PromptData decode(const Json& json, const std::string& path);
};

}  // namespace core
