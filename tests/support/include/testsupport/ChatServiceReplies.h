#pragma once

#include <nlohmann/json.hpp>
#include <string>

// What a chat-completions service answers, for tests that stand in for it.
namespace testsupport {

inline constexpr const char* kChatPath = "/v1/chat/completions";

// One event of a streamed answer carrying `content`.
inline std::string deltaEvent(const std::string& content) {
  const nlohmann::json chunk = {{"id", "c"},
                                {"object", "chat.completion.chunk"},
                                {"choices", {{{"delta", {{"content", content}}}, {"index", 0}}}}};
  return "data: " + chunk.dump() + "\n\n";
}

// A plain reply whose first choice says `content`.
inline std::string chatReply(const std::string& content) {
  const nlohmann::json reply = {
      {"id", "r"},
      {"object", "chat.completion"},
      {"created", 1},
      {"model", "m"},
      {"usage", nlohmann::json::object()},
      {"choices", {{{"message", {{"role", "assistant"}, {"content", content}}}, {"index", 0}}}}};
  return reply.dump();
}

}  // namespace testsupport
