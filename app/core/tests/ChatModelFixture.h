#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "FakeStreamTransport.h"
#include "TestPresets.h"
#include "core/DataModel.h"
#include "core/DocumentsFiles.h"
#include "foundation/DispatchQueue.h"
#include "testsupport/ChatServiceReplies.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/ScopedHome.h"

namespace core::testing {

using testsupport::chatReply;
using testsupport::deltaEvent;
using testsupport::kChatPath;

// How a service says that the answer is done.
inline const std::string kDoneEvent = "data: [DONE]\n\n";

inline std::vector<ChatMessage> conversation(
    const std::vector<std::pair<std::string, std::string>>& turns) {
  std::vector<ChatMessage> list;
  for (const auto& [role, content] : turns) list.push_back(ChatMessage::make(role, content));
  return list;
}

inline std::vector<std::pair<std::string, std::string>> turnsOf(
    const std::vector<ChatMessage>& list) {
  std::vector<std::pair<std::string, std::string>> turns;
  for (const auto& message : list) turns.emplace_back(message.role, message.content);
  return turns;
}

// The (role, content) pairs of a recorded request body.
inline std::vector<std::pair<std::string, std::string>> sentTurns(const std::string& body) {
  std::vector<std::pair<std::string, std::string>> turns;
  const auto parsed = nlohmann::json::parse(body);
  for (const auto& message : parsed.at("messages")) {
    turns.emplace_back(message.at("role"), message.at("content"));
  }
  return turns;
}

inline testsupport::LoopbackServer::Reply jsonReply(int status, std::string body) {
  return {status, std::move(body), "application/json", {}};
}

// A model in a private HOME whose chat service is a loopback server, or a scripted transport.
class ChatModelTest : public ::testing::Test {
 protected:
  void TearDown() override {
    model.reset();
    // Let the sessions of ended streams let go of their sources.
    foundation::MainRunLoop::runFor(std::chrono::milliseconds(20));
  }

  std::shared_ptr<DataModel> makeModel(DataModelEnvironment environment = {}) {
    if (environment.chatServiceBaseURL == kDefaultChatServiceBaseURL) {
      environment.chatServiceBaseURL = server.url("");
    }
    environment.bundle = &bundle.bundle();
    model = std::make_shared<DataModel>(std::move(environment));
    // As the program has it once started: the history read in, the presets written, and their
    // diagnostic lines printed before a test reads what an operation prints.
    (void)model->documents().waitForWrites();
    return model;
  }
  std::shared_ptr<DataModel> makeScriptedModel() {
    return makeModel({.streamSessionFactory = transport.factory()});
  }

  static bool waitFor(const std::function<bool()>& condition) {
    return foundation::MainRunLoop::runUntil(condition, std::chrono::seconds(10));
  }
  bool waitUntilIdle() {
    return waitFor([&] { return !model->isLoading; });
  }
  // Runs the main queue until every block posted so far and those they post have run.
  static void settle() { foundation::MainRunLoop::runFor(std::chrono::milliseconds(30)); }

  // The title requests that reached the server.
  std::vector<testsupport::RecordedRequest> titleRequests() const {
    std::vector<testsupport::RecordedRequest> found;
    for (auto& request : server.requests(kChatPath)) {
      if (nlohmann::json::parse(request.body).at("stream") == false) found.push_back(request);
    }
    return found;
  }
  std::vector<testsupport::RecordedRequest> streamRequests() const {
    std::vector<testsupport::RecordedRequest> found;
    for (auto& request : server.requests(kChatPath)) {
      if (nlohmann::json::parse(request.body).at("stream") == true) found.push_back(request);
    }
    return found;
  }
  // Streamed requests get `streamed`; title requests a reply with `title`.
  void serve(testsupport::LoopbackServer::Reply streamed, std::string title = "🧪 Test topic") {
    server.replyWith(kChatPath, [streamed, title](const testsupport::RecordedRequest& request) {
      if (nlohmann::json::parse(request.body).at("stream") == true) return streamed;
      return jsonReply(200, chatReply(title));
    });
  }
  static testsupport::LoopbackServer::Reply events(const std::vector<std::string>& list) {
    std::string body;
    for (const auto& event : list) body += event;
    return {200, body, "text/event-stream", {}};
  }

  testsupport::ScopedHome home;
  testsupport::LoopbackServer server;
  TestBundle bundle = TestBundle::withPresets(samplePresets());
  FakeStreamTransport transport;
  std::shared_ptr<DataModel> model;
};

}  // namespace core::testing
