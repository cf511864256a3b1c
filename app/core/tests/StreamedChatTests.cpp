#include <algorithm>
#include <utility>

#include <nlohmann/json.hpp>

#include "ChatModelFixture.h"
#include "core/ChatCompletionsService.h"
#include "foundation/UTF8.h"

namespace core {
namespace {

using namespace std::chrono_literals;
using testing::ChatModelTest;
using testing::conversation;
using testing::deltaEvent;
using testing::sentTurns;
using testing::turnsOf;
using Turns = std::vector<std::pair<std::string, std::string>>;
using testsupport::LoopbackServer;

using StreamedChatTest = ChatModelTest;

TEST_F(StreamedChatTest, AnAnswerGrowsPieceByPieceAndOnlyDecodableDeltasCount) {
  serve(events({deltaEvent("Hel"), "data: [DONE]\n\n", "data: {\"choices\":[]}\n\n",
                "data: {\"choices\":[{\"index\":0}]}\n\n", "data: not json\n\n", deltaEvent("lo"),
                "data: [DONE]\n\n"}));
  makeModel();
  model->streamChat("Say hello");
  EXPECT_TRUE(model->isLoading);
  EXPECT_EQ(model->command.get(), " ");
  EXPECT_EQ(model->responseValue.get(), " ");
  ASSERT_TRUE(waitUntilIdle());

  EXPECT_EQ(model->responseValue.get(), "Hello");
  EXPECT_EQ(turnsOf(model->messages), (Turns{{"system", "You are a helpful assistant."},
                                             {"user", "Say hello"},
                                             {"assistant", "Hello"}}));
  EXPECT_EQ(model->error.get(), "");
  EXPECT_EQ(model->command.get(), "");
  settle();
  // Kept at once under the date title; its title is asked for when it is put away.
  EXPECT_TRUE(titleRequests().empty());
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_TRUE(model->oldMessages->at(0).topic.starts_with("\U0001F600 Chat: "));
  EXPECT_EQ(turnsOf(model->oldMessages->at(0).message()), turnsOf(model->messages));

  const auto sent = streamRequests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].method, "POST");
  EXPECT_EQ(sent[0].header("Content-Type"), "application/json");
  EXPECT_EQ(sent[0].header("Authorization"), "Bearer");  // even without a key (HTTP trims it)
  EXPECT_EQ(sent[0].header("Accept"), "text/event-stream");
  EXPECT_EQ(sent[0].header("Cache-Control"), "no-cache");
  const auto body = nlohmann::json::parse(sent[0].body);
  EXPECT_EQ(body.at("model"), "gpt-3.5-turbo");
  EXPECT_EQ(body.at("stream"), true);
  EXPECT_EQ(body.at("temperature"), 1);
  EXPECT_EQ(body.at("top_p"), 1);
  EXPECT_EQ(body.at("presence_penalty"), 0);
  EXPECT_EQ(body.at("frequency_penalty"), 0);
  EXPECT_EQ(sentTurns(sent[0].body),
            (Turns{{"system", "You are a helpful assistant."}, {"user", "Say hello"}}));

  // The next turn adds only its question, and goes with the stored key and model.
  model->userDefaults().set("openapikey", "sk-test");
  model->userDefaults().set("model", "gpt-4");
  model->streamChat("Again");
  ASSERT_TRUE(waitUntilIdle());
  const auto second = streamRequests().back();
  EXPECT_EQ(second.header("Authorization"), "Bearer sk-test");
  EXPECT_EQ(nlohmann::json::parse(second.body).at("model"), "gpt-4");
  EXPECT_EQ(sentTurns(second.body).size(), 4u);
  EXPECT_EQ(model->messages->size(), 5u);
}

TEST_F(StreamedChatTest, AStreamThatNeverEndsIsCutAtTheAnswersCapAndKeepsWhatArrived) {
  // Four-byte characters, so that the cap falls inside one unless the cut respects them.
  std::string piece;
  for (int i = 0; i < 5000; ++i) piece += "\xF0\x9F\xA7\xAA";
  server.repeatForever(testsupport::kChatPath, deltaEvent(piece));
  makeModel();
  model->streamChat("Never stop");
  ASSERT_TRUE(waitUntilIdle());

  EXPECT_EQ(model->error.get(), kAnswerTooLongText);
  const std::string answer = model->responseValue.get();
  EXPECT_LE(answer.size(), kMaximumAnswerBytes);
  EXPECT_GT(answer.size(), kMaximumAnswerBytes - 4);
  EXPECT_TRUE(foundation::utf8::isValid(answer));
  ASSERT_EQ(model->messages->size(), 3u);
  EXPECT_EQ(model->messages->back().role, "assistant");
  EXPECT_EQ(model->messages->back().content, answer);
  EXPECT_EQ(model->command.get(), "");
  EXPECT_FALSE(model->isLoading);

  // The stream is gone: the answer stays as it was cut.
  settle();
  EXPECT_EQ(model->responseValue.get().size(), answer.size());
}

TEST_F(StreamedChatTest, AnEmptyPromptOnlyPrintsALine) {
  makeScriptedModel();
  ::testing::internal::CaptureStdout();
  model->streamChat("");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "EXIT PROMPT EQUAL NIL\n");
  EXPECT_TRUE(model->messages->empty());
  EXPECT_FALSE(model->isLoading);
  EXPECT_EQ(model->eventSource.get(), nullptr);
  EXPECT_TRUE(transport.sessions.empty());
}

TEST_F(StreamedChatTest, EachRefusalSetsItsTextsAndRemovesOnlyThisTurn) {
  struct Case {
    int status;
    std::string error;
    std::string answer;  // what the answer line shows afterwards
    bool saves;
  };
  const std::vector<Case> cases = {
      {400, "Error 400: Bad request. Your request is too long.", "Error 400", true},
      {401, "Error 401: Your API key is invalid, Please check again.", "", false},
      {404, "Error 404: The model does not exist.", "", false},
      {429, statusErrorText(429), "Error 429", true},
      {500, "Error 500", "", false},
      {503, "Error 503", "", false},
  };
  const Turns earlier = {{"system", "s"}, {"user", "q1"}, {"assistant", "a1"}};
  for (const auto& refusal : cases) {
    SCOPED_TRACE(refusal.status);
    testsupport::ScopedHome freshHome;
    LoopbackServer refusing;
    refusing.replyWith(testing::kChatPath, [&](const testsupport::RecordedRequest& request) {
      if (nlohmann::json::parse(request.body).at("stream") == true) {
        return testing::jsonReply(refusal.status, R"({"error":{"message":"no"}})");
      }
      return testing::jsonReply(200, testing::chatReply("📚 Refused"));
    });
    auto refused = std::make_shared<DataModel>(
        DataModelEnvironment{.chatServiceBaseURL = refusing.url(""), .bundle = &bundle.bundle()});
    refused->messages = conversation(earlier);
    refused->streamChat("q2");
    ASSERT_TRUE(waitFor([&] { return !refused->isLoading; }));

    EXPECT_EQ(refused->error.get(), refusal.error);
    EXPECT_EQ(refused->responseValue.get(), refusal.answer);
    EXPECT_EQ(turnsOf(refused->messages), earlier);
    EXPECT_EQ(refused->command.get(), "");
    if (refusal.saves) {
      ASSERT_TRUE(waitFor([&] { return !refused->oldMessages->empty(); }));
      EXPECT_EQ(refused->oldMessages.get()[0].topic, "📚 Refused");
      EXPECT_EQ(turnsOf(refused->oldMessages.get()[0].message()), earlier);
    } else {
      settle();
      EXPECT_EQ(refusing.requests().size(), 1u);
    }
  }

  const auto rateLimit = statusErrorText(429);
  EXPECT_TRUE(
      rateLimit.starts_with("Error 429: Rate limit reached for requests.\nThe most likely "
                            "cause is you have spent all of your OpenAI free tokens"));
  EXPECT_TRUE(
      rateLimit.ends_with("\nIf you have already upgraded to a paid plan before, ensure "
                          "that you have not reached your monthly limit."));
}

TEST_F(StreamedChatTest, ARefusedFreshConversationLeavesNothingBehindAndIsNotSaved) {
  serve(testing::jsonReply(400, R"({"error":{}})"));
  makeModel();
  model->streamChat("Too long");
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->responseValue.get(), "Error 400");
  EXPECT_TRUE(model->messages->empty());  // no lone system message, no empty answer
  settle();
  EXPECT_TRUE(titleRequests().empty());
  EXPECT_TRUE(model->oldMessages->empty());
}

TEST_F(StreamedChatTest, NoConnectionPutsThePromptBackAndKeepsEarlierTurns) {
  makeModel(
      {.chatServiceBaseURL = "http://127.0.0.1:" + std::to_string(LoopbackServer::refusedPort())});
  model->streamChat("Hello?");
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->error.get(), "Could not connect to the server.");  // the transport's description
  EXPECT_EQ(model->command.get(), "Hello?");
  EXPECT_EQ(model->responseValue.get(), " ");
  EXPECT_TRUE(model->messages->empty());

  const Turns earlier = {{"system", "s"}, {"user", "q1"}, {"assistant", "a1"}};
  model->messages = conversation(earlier);
  model->streamChat("q2");
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(turnsOf(model->messages), earlier);
  EXPECT_EQ(model->command.get(), "q2");
}

TEST_F(StreamedChatTest, AnEndWithoutAnyResponseSaysNoInternetConnection) {
  makeScriptedModel();
  model->streamChat("Hello?");
  EXPECT_EQ(transport.last().request().value("Authorization"), "Bearer ");
  transport.last().finish();
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->error.get(), "No internet connection");
  EXPECT_EQ(model->command.get(), "Hello?");
  EXPECT_TRUE(model->messages->empty());
}

TEST_F(StreamedChatTest, AStreamThatBreaksAfterItsHeadKeepsThePartialAnswerAsAFailure) {
  server.closeMidStream(testing::kChatPath, deltaEvent("Hel") + "data: {\"cho");
  makeModel();
  model->streamChat("Say hello");
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->responseValue.get(), "Hel");
  EXPECT_EQ(model->messages->back().content, "Hel");
  EXPECT_EQ(model->messages->size(), 3u);
  EXPECT_FALSE(model->error->empty());
  EXPECT_EQ(model->command.get(), "");
  // Kept as Escape keeps a stopped answer: as far as it came, marked cut short.
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_EQ(model->oldMessages->at(0).message().back().content, "Hel" + std::string(kCutShortMark));
}

TEST_F(StreamedChatTest, TheEndRunsBehindTheOpenAndTheLastPieces) {
  makeScriptedModel();
  model->streamChat("Quick");
  auto& session = transport.last();
  // Everything arrives at once, before the main queue runs.
  session.respond(200);
  session.send(deltaEvent("A") + deltaEvent("B"));
  session.finish();
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->responseValue.get(), "AB");
  EXPECT_EQ(model->command.get(), "");
  settle();
  EXPECT_EQ(model->command.get(), "");  // no late open step sets it back to " "
  EXPECT_EQ(
      turnsOf(model->messages),
      (Turns{{"system", "You are a helpful assistant."}, {"user", "Quick"}, {"assistant", "AB"}}));

  // A quick refusal: the late open step must not leave an empty answer or clear the marker.
  model->messages = std::vector<ChatMessage>{};
  model->streamChat("Refused");
  transport.last().respond(429);
  transport.last().finish();
  ASSERT_TRUE(waitUntilIdle());
  settle();
  EXPECT_EQ(model->responseValue.get(), "Error 429");
  EXPECT_TRUE(model->messages->empty());
  EXPECT_EQ(model->command.get(), "");
}

TEST_F(StreamedChatTest, CallbacksOfAReplacedRequestAreIgnored) {
  makeScriptedModel();
  model->streamChat("First");
  auto first = transport.sessions.back();
  first->respond(200);
  ASSERT_TRUE(waitFor([&] { return model->messages->size() == 3; }));
  model->handleEscape();  // cancels the first
  model->streamChat("Second");
  auto second = transport.sessions.back();
  ASSERT_NE(first, second);

  // The first request's pieces and end, delivered late, change nothing of the second.
  first->send(deltaEvent("stale"));
  second->respond(200);
  second->send(deltaEvent("fresh"));
  ASSERT_TRUE(waitFor([&] { return model->responseValue.get() == "fresh"; }));
  EXPECT_TRUE(model->isLoading);
  second->send(testing::kDoneEvent);
  second->finish();
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_FALSE(model->isCancelRequest);
  EXPECT_EQ(model->messages->back().content, "fresh");
  EXPECT_EQ(model->error.get(), "");
}

TEST_F(StreamedChatTest, AFloodOfPiecesKeepsTheMainQueueShortAndTheAnswerExact) {
  // As fast as the loopback connection carries them: tens of thousands of pieces.
  constexpr int kPieces = 20000;
  std::vector<LoopbackServer::Chunk> chunks;
  std::string expected, chunk;
  for (int i = 0; i < kPieces; ++i) {
    const std::string piece = std::to_string(i) + (i % 17 ? " " : "\n");
    expected += piece;
    chunk += deltaEvent(piece);
    if (chunk.size() >= 32 * 1024) chunks.push_back({0ms, std::exchange(chunk, {})});
  }
  chunks.push_back({0ms, chunk + "data: [DONE]\n\n"});
  server.stream(testsupport::kChatPath, chunks);
  makeModel();
  auto& mainQueue = foundation::DispatchQueue::main();

  model->streamChat("Flood me");
  std::size_t deepest = 0, aheadOfKey = 0;
  bool keyPosted = false, keyRan = false, streamingWhenKeyRan = false;
  // (A sanitizer build takes its time over twenty thousand decodes.)
  ASSERT_TRUE(foundation::MainRunLoop::runUntil(
      [&] {
        deepest = std::max(deepest, mainQueue.pendingCount());
        if (!keyPosted && model->responseValue->size() > 2000) {
          // A hot key pressed in the middle of the flood.
          keyPosted = true;
          aheadOfKey = mainQueue.pendingCount();
          mainQueue.async([&] {
            keyRan = true;
            streamingWhenKeyRan = model->isLoading;
          });
        }
        return !model->isLoading;
      },
      120s));
  EXPECT_LE(deepest, 4u);
  EXPECT_TRUE(keyRan);
  EXPECT_LE(aheadOfKey, 3u);
  EXPECT_TRUE(streamingWhenKeyRan);
  EXPECT_EQ(model->error.get(), "");
  EXPECT_TRUE(model->responseValue.get() == expected);
  ASSERT_EQ(model->messages->size(), 3u);
  EXPECT_TRUE(model->messages->back().content == expected);
}

TEST_F(StreamedChatTest, HalfAMebibyteInSmallPiecesArrivesWholeOrSaysWhereItStopped) {
  // A long answer of a few bytes per event, cut into chunks of every size, as services send it.
  std::string expected, body;
  for (int i = 0; expected.size() < 500 * 1024; ++i) {
    const std::string piece = i % 40 ? "w" + std::to_string(i % 97) + " " : "\n\n";
    expected += piece;
    body += deltaEvent(piece);
  }
  makeModel();
  std::uint32_t seed = 7;
  const auto nextSize = [&] {
    seed = seed * 1103515245u + 12345u;
    return 1 + (seed >> 8) % 4096;
  };
  for (int round = 0; round < 4; ++round) {
    std::vector<LoopbackServer::Chunk> chunks;
    const std::string whole = body + "data: [DONE]\n\n";
    for (std::size_t at = 0; at < whole.size();) {
      const std::size_t size = std::min<std::size_t>(nextSize(), whole.size() - at);
      chunks.push_back({0ms, whole.substr(at, size)});
      at += size;
    }
    server.stream(testsupport::kChatPath, chunks);
    model->messages = std::vector<ChatMessage>{};
    model->streamChat("Long, please");
    ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return !model->isLoading; }, 120s));
    ASSERT_EQ(model->responseValue->size(), expected.size()) << "round " << round;
    EXPECT_TRUE(model->responseValue.get() == expected) << "round " << round;
    EXPECT_EQ(model->error.get(), "") << "round " << round;
  }

  // The connection closed early, anywhere, without [DONE]: what came stays, and the error says
  // that the answer stopped.
  for (const std::size_t cut : {body.size() / 3, body.size() / 2 + 5, body.size() - 1}) {
    server.closeMidStream(testsupport::kChatPath, body.substr(0, cut));
    model->messages = std::vector<ChatMessage>{};
    model->streamChat("Long, please");
    ASSERT_TRUE(foundation::MainRunLoop::runUntil([&] { return !model->isLoading; }, 120s));
    EXPECT_FALSE(model->error->empty()) << "cut at " << cut;
    EXPECT_GT(model->responseValue->size(), 0u);
    EXPECT_TRUE(expected.starts_with(model->responseValue.get()));
    EXPECT_EQ(model->oldMessages->at(0).message().back().content,
              model->responseValue.get() + std::string(kCutShortMark));
  }
}

TEST(StreamChunk, SaysWhatAnEventAddsAndWhetherTheServiceEndedTheAnswer) {
  EXPECT_EQ(readStreamChunk(R"({"choices":[{"delta":{"content":"Hel"},"index":0}]})").content,
            "Hel");
  const StreamChunk done = readStreamChunk("[DONE]");
  EXPECT_TRUE(done.endsAnswer);
  EXPECT_FALSE(done.content);
  const StreamChunk last = readStreamChunk(
      R"({"choices":[{"delta":{"content":"!"},"finish_reason":"stop","index":0}]})");
  EXPECT_EQ(last.content, "!");
  EXPECT_TRUE(last.endsAnswer);
  // A finish reason of null is none; an empty delta adds nothing; the rest is no chunk.
  const StreamChunk open = readStreamChunk(R"({"choices":[{"delta":{},"finish_reason":null}]})");
  EXPECT_EQ(open.content, "");
  EXPECT_FALSE(open.endsAnswer);
  for (const char* nothing : {"not json", "{}", R"({"choices":[]})", R"({"choices":[{"index":0}]})",
                              " [DONE]", "[DONE] ", R"({"error":null})", "[1]"}) {
    const StreamChunk read = readStreamChunk(nothing);
    EXPECT_FALSE(read.content) << nothing;
    EXPECT_FALSE(read.endsAnswer) << nothing;
    EXPECT_FALSE(read.error) << nothing;
  }
  // An error in the stream says what the service said, however it says it.
  EXPECT_EQ(readStreamChunk(R"({"error":{"message":"Overloaded","type":"server_error"}})").error,
            "Overloaded");
  EXPECT_EQ(readStreamChunk(R"({"error":"Busy"})").error, "Busy");
  EXPECT_EQ(readStreamChunk(R"({"error":{"code":500}})").error, "unknown error");
  EXPECT_FALSE(readStreamChunk(R"({"error":"Busy"})").content);
}

// A service that breaks the answer off with an error event, and then ends the body as it ends
// any answer ("[DONE]"), as some do: the answer is no success, though the end mark came.
TEST_F(StreamedChatTest, AnAnswerTheServiceBrokeOffWithAnErrorSaysWhatItSaidAndIsCutShort) {
  const std::string error = R"(data: {"error":{"message":"Overloaded","type":"server_error"}})";
  serve(events({deltaEvent("Hel"), deltaEvent("lo"), error + "\n\n", deltaEvent(" world"),
                testing::kDoneEvent}));
  makeModel();
  model->streamChat("Say hello");
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->responseValue.get(), "Hello");
  EXPECT_EQ(model->messages->back().content, "Hello");
  EXPECT_EQ(model->error.get(), std::string(kServiceStoppedAnswerText) + "Overloaded");
  EXPECT_EQ(model->command.get(), "");
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_EQ(model->oldMessages->at(0).message().back().content,
            "Hello" + std::string(kCutShortMark));
  // Nothing that came after it is taken, the stream's end included.
  settle();
  EXPECT_EQ(model->responseValue.get(), "Hello");
}

// A service whose body ends cleanly in the middle of the answer, without "[DONE]" or a finish
// reason (a proxy that cut the stream, a server that gave up on a reader it found slow and
// closed a body whose end the connection's end marks): the answer is no success.
TEST_F(StreamedChatTest, AnAnswerWhoseBodyEndsBeforeTheServiceSaidItWasDoneSaysItMayBeIncomplete) {
  std::string cut;
  for (int i = 0; i < 2000; ++i) cut += deltaEvent("w" + std::to_string(i) + " ");
  server.reply(testing::kChatPath, {200, cut, "text/event-stream", {}});
  makeModel();
  model->streamChat("Long, please");
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->error.get(), kAnswerMayBeIncompleteText);
  EXPECT_TRUE(model->responseValue->starts_with("w0 w1 "));
  EXPECT_TRUE(model->responseValue->ends_with("w1999 "));
  EXPECT_EQ(model->command.get(), "");
  ASSERT_EQ(model->oldMessages->size(), 1u);
  EXPECT_EQ(model->oldMessages->at(0).message().back().content,
            model->responseValue.get() + std::string(kCutShortMark));

  // A regenerated answer cut the same way says so too.
  model->regenerate();
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(model->error.get(), kAnswerMayBeIncompleteText);
  EXPECT_EQ(model->messages->back().content, model->responseValue.get());

  // Either end mark makes it whole: "[DONE]" alone, or a finish reason alone.
  const std::string finish =
      "data: {\"choices\":[{\"delta\":{},\"finish_reason\":\"stop\",\"index\":0}]}\n\n";
  for (const std::string& end : {testing::kDoneEvent, finish}) {
    server.reply(testing::kChatPath, {200, deltaEvent("Whole") + end, "text/event-stream", {}});
    model->messages = std::vector<ChatMessage>{};
    model->streamChat("Short, please");
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(model->error.get(), "") << end;
    EXPECT_EQ(model->responseValue.get(), "Whole");
    EXPECT_EQ(model->oldMessages->at(0).message().back().content, "Whole");
  }
}

TEST_F(StreamedChatTest, PiecesThatArriveTogetherAreOneChangeAndTheModelSaysWhatWasAppended) {
  makeScriptedModel();
  std::vector<std::string> appended;
  std::vector<std::string> answerWhenTold;
  int answerChanges = 0, otherChanges = 0;
  auto toldAppended = model->subscribeAnswerAppended([&](const std::string& piece) {
    appended.push_back(piece);
    answerWhenTold.push_back(model->responseValue.get());
    EXPECT_FALSE(model->appendingToAnswer());
  });
  auto toldChange = model->subscribeWillChange(
      [&] { (model->appendingToAnswer() ? answerChanges : otherChanges) += 1; });

  model->streamChat("Count");
  auto& session = transport.last();
  session.respond(200);
  session.waitUntilDelivered();
  settle();
  ASSERT_EQ(model->messages->size(), 3u);
  EXPECT_EQ(answerChanges, 0);  // the open is no growth of the answer
  std::string expected, body;
  for (int i = 0; i < 500; ++i) {
    expected += std::to_string(i) + " ";
    body += deltaEvent(std::to_string(i) + " ");
  }
  // All at once, before the main thread looks: decoded on the stream's queue, they reach the
  // model in one step.
  session.send(body);
  session.waitUntilDelivered();
  EXPECT_EQ(foundation::DispatchQueue::main().pendingCount(), 1u);
  settle();
  EXPECT_EQ(appended, (std::vector<std::string>{expected}));
  EXPECT_EQ(answerWhenTold, (std::vector<std::string>{expected}));
  EXPECT_EQ(answerChanges, 2);  // the answer and the last message, once each
  EXPECT_EQ(model->messages->back().content, expected);

  // Pieces that come one by one, each taken before the next, are told one by one; the end mark
  // alone appends nothing.
  for (const char* piece : {"a", "b"}) {
    session.send(deltaEvent(piece));
    ASSERT_TRUE(waitFor([&] { return appended.back() == piece; }));
  }
  session.send(testing::kDoneEvent);
  session.finish();
  ASSERT_TRUE(waitUntilIdle());
  EXPECT_EQ(appended, (std::vector<std::string>{expected, "a", "b"}));
  EXPECT_EQ(model->responseValue.get(), expected + "ab");
  EXPECT_EQ(model->error.get(), "");
}

}  // namespace
}  // namespace core
