#include "core/PromptData.h"

namespace core {

Json JSONCodable<PromptData>::encode(const PromptData& value) {
  JSONObjectWriter object;
  object.optional("id", value.id);
  object.required("emoji", value.emoji);
  object.required("name", value.name);
  object.required("prompt", value.prompt);
  object.optional("systemPrompt", value.systemPrompt);
  object.optional("promptType", value.promptType);
  object.optional("programType", value.programType);
  return object.take();
}

PromptData JSONCodable<PromptData>::decode(const Json& json, const std::string& path) {
  const JSONObjectReader object(json, path);
  return {object.optional<std::string>("id"),           object.required<std::string>("emoji"),
          object.required<std::string>("name"),         object.required<std::string>("prompt"),
          object.optional<std::string>("systemPrompt"), object.optional<std::string>("promptType"),
          object.optional<std::string>("programType")};
}

}  // namespace core
