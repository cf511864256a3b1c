#include <regex>
#include <string>
#include <unordered_set>

#include <gtest/gtest.h>

#include "core/ChatRecords.h"

namespace core {
namespace {

bool isUpperCaseUUID(const std::string& text) {
  static const std::regex uuid("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
  return std::regex_match(text, uuid);
}

TEST(ChatMessageTest, EncodesRoleAndContentOnly) {
  const ChatMessage message{"6F9619FF-8B86-D011-B42D-00C04FC964FF", "user", "a/b \"c\"\n"};
  EXPECT_EQ(encodeJSON(message), R"({"role":"user","content":"a\/b \"c\"\n"})");
  EXPECT_TRUE(isUpperCaseUUID(*ChatMessage::make("user", "hi").id));
}

TEST(ChatMessageTest, DecodingMakesAFreshIdWhenNoneIsGiven) {
  const std::string json = R"({"role":"user","content":"hi"})";
  const auto first = decodeJSON<ChatMessage>(json);
  const auto second = decodeJSON<ChatMessage>(json);
  ASSERT_TRUE(first.id && second.id);
  EXPECT_TRUE(isUpperCaseUUID(*first.id));
  EXPECT_NE(first, second);
  EXPECT_EQ(first.role, "user");

  const auto nullId = decodeJSON<ChatMessage>(R"({"id":null,"role":"assistant","content":""})");
  EXPECT_TRUE(nullId.id && isUpperCaseUUID(*nullId.id));
  EXPECT_EQ(nullId.content, "");
  EXPECT_EQ(decodeJSON<ChatMessage>(R"({"id":"X","role":"a","content":"b"})").id, "X");

  EXPECT_THROW(decodeJSON<ChatMessage>(R"({"role":"user"})"), DecodingError);
  EXPECT_THROW(decodeJSON<ChatMessage>(R"({"Role":"user","content":"hi"})"), DecodingError);
}

TEST(ChatMessageTest, EqualityAndHashCoverTheIdItsPresenceRoleAndContent) {
  const ChatMessage withId{"A", "user", "hi"};
  const ChatMessage withoutId{std::nullopt, "user", "hi"};
  EXPECT_EQ(withId, (ChatMessage{"A", "user", "hi"}));
  EXPECT_NE(withId, withoutId);
  EXPECT_EQ(withoutId, (ChatMessage{std::nullopt, "user", "hi"}));
  EXPECT_NE(withId, (ChatMessage{"A", "assistant", "hi"}));
  EXPECT_NE(withId, (ChatMessage{"A", "user", "ho"}));
  const std::unordered_set<ChatMessage> set{withId, withoutId, ChatMessage{"A", "user", "hi"}};
  EXPECT_EQ(set.size(), 2u);
}

TEST(ChatBodyTest, LeavesAbsentOptionalsOutAndWritesFilledOnesInOrder) {
  ChatBody body{"gpt-3.5-turbo", {ChatMessage::make("system", "You are a helpful assistant.")}};
  EXPECT_EQ(
      encodeJSON(body),
      R"({"model":"gpt-3.5-turbo","messages":[{"role":"system","content":"You are a helpful assistant."}]})");
  body.temperature = 1.0f;
  body.top_p = 1.0f;
  body.stream = true;
  body.presence_penalty = 0;
  body.frequency_penalty = 0;
  const std::string full =
      R"({"model":"gpt-3.5-turbo","messages":[{"role":"system","content":"You are a helpful assistant."}],"temperature":1,"top_p":1,"stream":true,"presence_penalty":0,"frequency_penalty":0})";
  EXPECT_EQ(encodeJSON(body), full);
  EXPECT_EQ(encodeJSON(decodeJSON<ChatBody>(full)), full);
  body.temperature = 0.7f;
  body.stream = false;
  EXPECT_NE(encodeJSON(body).find(R"("temperature":0.7,"top_p":1,"stream":false)"),
            std::string::npos);
}

TEST(ChatResponseTest, RoundTripsAndRequiresEveryField) {
  const std::string reply =
      R"({"id":"chatcmpl-1","object":"chat.completion","created":1700000000,"model":"gpt-3.5-turbo","usage":{"prompt_tokens":5,"completion_tokens":7,"total_tokens":12},"choices":[{"message":{"role":"assistant","content":"🧪 Test topic"},"finish_reason":"stop","index":0}]})";
  const auto response = decodeJSON<ChatResponse>(reply);
  EXPECT_EQ(response.choices.at(0).message.content, "🧪 Test topic");
  EXPECT_EQ(response.usage.totalTokens, 12);
  EXPECT_EQ(encodeJSON(response), reply);

  const std::string choices =
      R"("choices":[{"message":{"role":"assistant","content":"x"},"index":0}])";
  const std::string head = R"({"id":"a","object":"o","created":1,"model":"m",)";
  EXPECT_THROW(decodeJSON<ChatResponse>(head + choices + "}"), DecodingError);  // no usage
  const auto emptyUsage = decodeJSON<ChatResponse>(head + R"("usage":{},)" + choices + "}");
  EXPECT_FALSE(emptyUsage.usage.promptTokens);
  EXPECT_EQ(encodeJSON(emptyUsage), head + R"("usage":{},)" + choices + "}");

  const auto nullReason = decodeJSON<ChatResponse>(
      head +
      R"("usage":{},"choices":[{"message":{"role":"assistant","content":"x"},"finish_reason":null,"index":0}]})");
  EXPECT_FALSE(nullReason.choices.at(0).finishReason);
  EXPECT_THROW(decodeJSON<ChatResponse>(
                   head + R"("usage":{},"choices":[{"message":{"role":"a","content":"x"}}]})"),
               DecodingError);
  EXPECT_THROW(
      decodeJSON<ChatResponse>(
          head +
          R"("usage":{},"choices":[{"message":{"role":"a","content":"x"},"finish_reason":1,"index":0}]})"),
      DecodingError);
}

TEST(ChatResponseDeltaTest, AnyObjectDecodes) {
  const auto empty = decodeJSON<ChatResponseDelta>("{}");
  EXPECT_FALSE(empty.id || empty.object || empty.created || empty.model || empty.usage ||
               empty.choices);
  EXPECT_EQ(encodeJSON(empty), "{}");

  const auto oneEmptyChoice = decodeJSON<ChatResponseDelta>(R"({"choices":[{}]})");
  ASSERT_TRUE(oneEmptyChoice.choices);
  ASSERT_EQ(oneEmptyChoice.choices->size(), 1u);
  EXPECT_FALSE(oneEmptyChoice.choices->front().delta);

  const std::string chunk =
      R"({"id":"c","object":"chat.completion.chunk","created":1,"model":"m","choices":[{"delta":{"content":"Hel"},"finish_reason":null,"index":0}]})";
  const auto delta = decodeJSON<ChatResponseDelta>(chunk);
  EXPECT_EQ(delta.choices->front().delta->content, "Hel");
  EXPECT_FALSE(delta.choices->front().delta->role);
  EXPECT_EQ(
      encodeJSON(delta),
      R"({"id":"c","object":"chat.completion.chunk","created":1,"model":"m","choices":[{"delta":{"content":"Hel"},"index":0}]})");

  EXPECT_THROW(decodeJSON<ChatResponseDelta>("[DONE]"), DecodingError);
  EXPECT_THROW(decodeJSON<ChatResponseDelta>(R"({"choices":{}})"), DecodingError);
}

TEST(OldMessagesStructTest, RoundTripsWithoutIdsAndComparesEveryField) {
  const oldMessagesStruct chat{
      "🧪 Test topic", {{"ID-1", "system", "s"}, {"ID-2", "user", "q"}}, 1733690000.5};
  const std::string json =
      R"({"topic":"🧪 Test topic","message":[{"role":"system","content":"s"},{"role":"user","content":"q"}],"created":1733690000.5})";
  EXPECT_EQ(encodeJSON(chat), json);

  const auto decoded = decodeJSON<oldMessagesStruct>(json);
  EXPECT_EQ(decoded.topic, chat.topic);
  EXPECT_EQ(decoded.created, chat.created);
  EXPECT_NE(decoded, chat);  // the ids are fresh
  EXPECT_EQ(encodeJSON(decoded), json);
  EXPECT_EQ(decoded, decoded);
  EXPECT_EQ(std::hash<oldMessagesStruct>()(chat), std::hash<oldMessagesStruct>()(chat));

  for (const char* broken : {R"({"message":[],"created":1})", R"({"topic":"t","created":1})",
                             R"({"topic":"t","message":[],"created":null})"}) {
    EXPECT_THROW(decodeJSON<oldMessagesStruct>(broken), DecodingError) << broken;
  }
}

}  // namespace
}  // namespace core
