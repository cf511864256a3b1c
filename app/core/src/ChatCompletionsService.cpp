#include "core/ChatCompletionsService.h"

#include "core/Console.h"

namespace core {

ChatBody makeChatBody(std::string model, std::vector<ChatMessage> messages, bool stream) {
  return {std::move(model), std::move(messages), 1.0f, 1.0f, stream, 0.0f, 0.0f};
}

foundation::URLRequest makeChatCompletionsRequest(std::string_view baseURL, const ChatBody& body) {
  const std::string address = std::string(baseURL) + std::string(kChatCompletionsPath);
  auto url = foundation::URL::parse(address);
  if (!url || !url->isAbsolute()) fatalError("The chat service address is no URL: " + address);
  foundation::URLRequest request(std::move(*url));
  request.timeoutInterval = kChatRequestTimeout;
  request.setValue("application/json", "Content-Type");
  request.httpMethod = "POST";
  try {
    request.httpBody = encodeJSON(body);
  } catch (const EncodingError&) {
    request.httpBody.reset();
  }
  return request;
}

namespace {

// What an event that is no chunk says went wrong, if it is an error: its message, or a word for
// one without.
std::optional<std::string> serviceError(const std::string& data) {
  Json json;
  try {
    json = parseJSON(data);
  } catch (const DecodingError&) {
    return std::nullopt;
  }
  if (!json.is_object()) return std::nullopt;
  const auto error = json.find("error");
  if (error == json.end() || error->is_null()) return std::nullopt;
  if (error->is_string() && !error->get_ref<const std::string&>().empty())
    return error->get<std::string>();
  if (error->is_object()) {
    const auto message = error->find("message");
    if (message != error->end() && message->is_string() &&
        !message->get_ref<const std::string&>().empty())
      return message->get<std::string>();
  }
  return std::string("unknown error");
}

}  // namespace

StreamChunk readStreamChunk(const std::string& data) {
  if (data == "[DONE]") return {std::nullopt, true, std::nullopt};
  ChatResponseDelta chunk;
  try {
    chunk = decodeJSON<ChatResponseDelta>(data);
  } catch (const DecodingError&) {
    return {std::nullopt, false, serviceError(data)};
  }
  // Looked for only in what is no chunk: the pieces of an answer are read once.
  if (!chunk.choices || chunk.choices->empty()) return {std::nullopt, false, serviceError(data)};
  const ChatChoiceDelta& choice = chunk.choices->front();
  StreamChunk read{std::nullopt, choice.finishReason.has_value(), std::nullopt};
  // The piece is there even when the delta holds no content: it appends nothing.
  if (choice.delta) read.content = choice.delta->content.value_or("");
  return read;
}

std::string statusErrorText(int statusCode) {
  switch (statusCode) {
    case 400:
      return "Error 400: Bad request. Your request is too long.";
    case 401:
      return "Error 401: Your API key is invalid, Please check again.";
    case 404:
      return "Error 404: The model does not exist.";
    case 429:
      return "Error 429: Rate limit reached for requests.\n"
             "The most likely cause is you have spent all of your OpenAI free tokens, To upgrade "
             "to a OpenAI paid plan, visit " +
             std::string(kProviderAccountURL) +
             " , set up a paid account, add a credit or debit card, and generate a new API key "
             "if your old one was generated before the upgrade.\n"
             "If you have already upgraded to a paid plan before, ensure that you have not "
             "reached your monthly limit.";
    default:
      return "Error " + std::to_string(statusCode);
  }
}

std::optional<std::string> statusAnswerMarker(int statusCode) {
  if (statusSavesConversation(statusCode)) return "Error " + std::to_string(statusCode);
  return std::nullopt;
}

bool statusSavesConversation(int statusCode) {
  return statusCode == 400 || statusCode == 429;
}

}  // namespace core
