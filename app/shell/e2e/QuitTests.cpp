// The program ended from outside (the session's SIGTERM, Ctrl+C, a hang-up) while an answered
// chat is open in its panel: the chat is kept in the history, with no request on the way out.
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "ChildProcess.h"
#include "EndToEndSupport.h"
#include "core/ChatRecords.h"
#include "core/DocumentsFiles.h"
#include "core/JSONCoding.h"
#include "foundation/DispatchQueue.h"
#include "shell/QuillcastApp.h"
#include "testsupport/FileBytes.h"
#include "testsupport/LoopbackServer.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/StartedPrograms.h"

namespace {

using testsupport::readFile;

using namespace std::chrono_literals;

constexpr const char* kChatURLVariable = "QUILL_TEST_CHAT_URL";

// The program as its entry point runs it, with a chat answered in its panel; it says "answered"
// and runs on until something ends it.
TEST(ProgramChild, AnswersAChatAndRunsOn) {
  if (!childtest::isChild()) GTEST_SKIP() << "run by the tests below";
  int argc = 1;
  char name[] = "quillcast";
  char* argv[] = {name, nullptr};
  auto application = appkit::Application::create(argc, argv);
  if (!application) std::exit(3);
  shell::QuillcastApp quillcast({std::getenv(kChatURLVariable), {}});
  auto& model = *quillcast.delegate().coreAppModel;
  bool asked = false;
  std::function<void()> watch;
  watch = [&] {
    if (!asked && quillcast.delegate().floatingPanel()) {
      asked = true;
      model.selectedIndex = -1;
      model.command = "Keep this chat";
      model.sendPrompt();
    } else if (asked && !model.responseValue->empty() && model.responseValue.get() != " ") {
      if (!model.isLoading) {
        std::fprintf(stderr, "answered\n");
        return;
      }
      static bool told = false;
      if (!std::exchange(told, true)) std::fprintf(stderr, "arriving\n");
    }
    foundation::DispatchQueue::main().asyncAfter(20ms, watch);
  };
  foundation::DispatchQueue::main().async(watch);
  const int code = quillcast.run(*application);
  std::exit(code == 0 ? 42 : 1);
}

TEST(Quit, AnAnsweredChatOpenWhenTheProgramIsEndedIsKept) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  // The display's turn: the program grabs its hot key and puts its icon in any tray, which the
  // desktop tests of other binaries running meanwhile would meet. Its connection also keeps an
  // X server started without -noreset from resetting between the children.
  testx11::DisplaySession display;
  ASSERT_TRUE(display.ok());
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    testsupport::ScopedHome home;
    shelltest::storeUserSettings();
    foundation::UserDefaults::standard().synchronize();
    testsupport::LoopbackServer server;
    shelltest::serveChat(server, {"Kept ", "on the way out."}, "🧪 Never asked");
    const auto runtime = home.path() / "runtime";
    std::filesystem::create_directories(runtime);

    auto child = childtest::start("ProgramChild.AnswersAChatAndRunsOn",
                                  {{kChatURLVariable, server.url("")},
                                   {"XDG_RUNTIME_DIR", runtime.string()},
                                   {"DBUS_SESSION_BUS_ADDRESS", std::nullopt}});
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->waitForOutput("answered\n", 30s)) << "signal " << signal << "\n"
                                                         << child->output();
    ASSERT_EQ(::kill(child->pid(), signal), 0);
    const auto outcome = child->finish();
    ASSERT_TRUE(outcome.exited) << "killed by signal " << outcome.signal << "\n"
                                << outcome.standardError;
    EXPECT_EQ(outcome.exitCode, 42) << outcome.standardError;

    const auto history = core::decodeJSON<std::vector<core::oldMessagesStruct>>(
        readFile(home.documents() / "Quillcast" / "QuillcastHistory.json"));
    ASSERT_EQ(history.size(), 1u) << "signal " << signal;
    EXPECT_TRUE(history[0].topic.starts_with("\U0001F600 Chat: ")) << history[0].topic;
    ASSERT_EQ(history[0].message.size(), 3u);
    EXPECT_EQ(history[0].message[1].content, "Keep this chat");
    EXPECT_EQ(history[0].message[2].content, "Kept on the way out.");
    // The one request is the chat's own: no title was asked for on the way out.
    EXPECT_EQ(server.requests(shelltest::kChatPath).size(), 1u);
  }
}

TEST(Quit, FifosInPlaceOfTheFilesHoldNeitherTheStartNorTheEnd) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
  testx11::DisplaySession display;
  ASSERT_TRUE(display.ok());
  testsupport::ScopedHome home;
  shelltest::storeUserSettings();
  foundation::UserDefaults::standard().synchronize();
  // Nothing ever writes into them: a blocking read would hold the start, or the writer, for good.
  const auto folder = home.documents() / "Quillcast";
  std::filesystem::create_directories(folder);
  for (const char* name : {core::kHistoryFileName, core::kPromptsFileName})
    ASSERT_EQ(::mkfifo((folder / name).c_str(), 0600), 0);
  testsupport::LoopbackServer server;
  shelltest::serveChat(server, {"Kept ", "past the FIFO."}, "🧪 Never asked");
  const auto runtime = home.path() / "runtime";
  std::filesystem::create_directories(runtime);

  auto child = childtest::start("ProgramChild.AnswersAChatAndRunsOn",
                                {{kChatURLVariable, server.url("")},
                                 {"XDG_RUNTIME_DIR", runtime.string()},
                                 {"DBUS_SESSION_BUS_ADDRESS", std::nullopt}});
  ASSERT_TRUE(child);
  ASSERT_TRUE(child->waitForOutput("answered\n", 30s)) << child->output();
  ASSERT_EQ(::kill(child->pid(), SIGTERM), 0);
  const auto outcome = child->finish();
  ASSERT_TRUE(outcome.exited) << "killed by signal " << outcome.signal << "\n"
                              << outcome.standardError;
  EXPECT_EQ(outcome.exitCode, 42) << outcome.standardError;

  const auto history = core::decodeJSON<std::vector<core::oldMessagesStruct>>(
      readFile(folder / core::kHistoryFileName));
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].message.back().content, "Kept past the FIFO.");
  int fifosAside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().find(".corrupt-") != std::string::npos &&
        std::filesystem::is_fifo(entry.symlink_status()))
      ++fifosAside;
  EXPECT_EQ(fifosAside, 2);
}

TEST(Quit, AChatIsKeptWhenTheXServerGoesAway) {
  // The session ended without asking its programs, or the server died: Qt ends the process.
  for (const bool whole : {true, false}) {
    testsupport::StartedProgram xserver(
        {"Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", "800x600x24"},
        testsupport::StartedProgram::Output::read);
    const auto number = xserver.readLine(60s);
    ASSERT_TRUE(number && !number->empty()) << "Xvfb did not start";
    testsupport::ScopedHome home;
    shelltest::storeUserSettings();
    foundation::UserDefaults::standard().synchronize();
    testsupport::LoopbackServer server;
    if (whole) {
      shelltest::serveChat(server, {"Kept ", "without X."}, "🧪 Never asked");
    } else {
      // Some words, then nothing more until the server goes.
      server.stream(shelltest::kChatPath, {{0ms, shelltest::deltaEvent("Seen so far")},
                                           {10min, shelltest::deltaEvent(" never")}});
    }
    const auto runtime = home.path() / "runtime";
    std::filesystem::create_directories(runtime);
    auto child = childtest::start("ProgramChild.AnswersAChatAndRunsOn",
                                  {{kChatURLVariable, server.url("")},
                                   {"DISPLAY", ":" + *number},
                                   {"XDG_RUNTIME_DIR", runtime.string()},
                                   {"DBUS_SESSION_BUS_ADDRESS", std::nullopt}});
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->waitForOutput(whole ? "answered\n" : "arriving\n", 30s)) << child->output();
    xserver.stop();
    const auto outcome = child->finish();
    ASSERT_TRUE(outcome.exited) << "killed by signal " << outcome.signal << "\n"
                                << outcome.standardError;

    const auto history = core::decodeJSON<std::vector<core::oldMessagesStruct>>(
        readFile(home.documents() / "Quillcast" / "QuillcastHistory.json"));
    ASSERT_EQ(history.size(), 1u) << "whole " << whole << "\n" << outcome.standardError;
    EXPECT_TRUE(history[0].topic.starts_with("\U0001F600 Chat: ")) << history[0].topic;
    ASSERT_EQ(history[0].message.size(), 3u);
    EXPECT_EQ(history[0].message[1].content, "Keep this chat");
    EXPECT_EQ(
        history[0].message[2].content,
        whole ? std::string("Kept without X.") : "Seen so far" + std::string(core::kCutShortMark));
  }
}

}  // namespace
