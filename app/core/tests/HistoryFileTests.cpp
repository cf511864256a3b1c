#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ChatModelFixture.h"
#include "TestPresets.h"
#include "core/DataModel.h"
#include "core/HistoryFile.h"
#include "foundation/DispatchQueue.h"
#include "testsupport/FileBytes.h"
#include "testsupport/ScopedHome.h"

namespace core {
namespace {

using testing::conversation;
using testing::turnsOf;
using testsupport::readFile;
using testsupport::writeFile;
namespace fs = std::filesystem;

// Every kind of escape the writer makes, characters beyond the BMP, a joined emoji, the
// characters JavaScript takes for line ends, and bytes that are not UTF-8.
const std::string kAwkwardText =
    "quote \" backslash \\ slash / </script> \b\f\n\r\t \x01\x1f\x7f end\n"
    "é ß Ж 日本語 😀 👩‍💻 \U0001D11E \u2028\u2029 \uFEFF"
    "\xff\xc3(";

std::vector<oldMessagesStruct> awkwardChats() {
  return {
      {"😀 Awkward " + kAwkwardText,
       conversation({{"system", "You are a helpful assistant."},
                     {"user", kAwkwardText},
                     {"assistant", "```\n" + kAwkwardText + "\n```"}}),
       1712345678.123456},
      {"", {}, 0},
      {"📊 Numbers", conversation({{"user", ""}, {"assistant", std::string(3000, 'x')}}), -1.5e-7},
  };
}

// What the history's own reader and the record's decoder make of some bytes: the chats, or
// why they do not decode.
struct Decoded {
  std::vector<std::pair<std::string, double>> chats;  // topic and date
  std::vector<std::vector<std::pair<std::string, std::string>>> turns;
  std::string error;
  bool operator==(const Decoded&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Decoded& decoded) {
  return out << decoded.chats.size() << " chats, error \"" << decoded.error << "\"";
}

Decoded decodedByRecords(const std::string& bytes) {
  Decoded decoded;
  try {
    for (const auto& chat : decodeJSON<std::vector<oldMessagesStruct>>(bytes)) {
      decoded.chats.emplace_back(chat.topic, chat.created);
      decoded.turns.push_back(turnsOf(chat.message));
    }
  } catch (const DecodingError& error) {
    decoded = {{}, {}, error.what()};
  }
  return decoded;
}

Decoded decodedByHistoryReader(const std::string& bytes) {
  Decoded decoded;
  try {
    for (const auto& chat : decodeHistoryFile(bytes)) {
      decoded.chats.emplace_back(chat.topic, chat.created);
      decoded.turns.push_back(turnsOf(chat.message()));
    }
  } catch (const DecodingError& error) {
    decoded = {{}, {}, error.what()};
  }
  return decoded;
}

TEST(HistoryFileTest, WritesTheEncodersBytesAndReadsThemBackToTheSameChats) {
  const auto chats = awkwardChats();
  const SavedChatList list(chats);
  const std::string bytes = encodeJSON(list);
  EXPECT_EQ(bytes, encodeJSON(chats));

  const SavedChatList read = decodeHistoryFile(bytes);
  ASSERT_EQ(read.size(), chats.size());
  for (const auto& chat : read) EXPECT_EQ(chat.id, std::nullopt);  // given one when needed
  EXPECT_TRUE(read[0].topic.ends_with(" \uFEFF\uFFFD\uFFFD(")) << read[0].topic;
  EXPECT_EQ(read, SavedChatList(decodeJSON<std::vector<oldMessagesStruct>>(bytes)));
  EXPECT_EQ(encodeJSON(read), bytes);
  // Written again unchanged, byte for byte.
  EXPECT_EQ(encodeJSON(decodeHistoryFile(encodeJSON(read))), bytes);
}

TEST(HistoryFileTest, AReopenedChatDecodesWholeWithFreshIds) {
  std::string answer;
  std::mt19937 random(7);
  while (answer.size() < 1 << 20) answer += std::to_string(random()) + " 😀 \"q\"\n";
  const SavedChat chat("📚 Long", conversation({{"user", kAwkwardText}, {"assistant", answer}}), 5);
  const SavedChat read = decodeHistoryFile(encodeJSON(SavedChatList({chat.record()}))).front();

  const auto first = read.message(), again = read.message();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[1].content, answer);
  EXPECT_EQ(turnsOf(first), turnsOf(chat.message()));
  EXPECT_EQ(turnsOf(first), turnsOf(again));
  ASSERT_TRUE(first[0].id && again[0].id);
  EXPECT_EQ(first[0].id->size(), 36u);
  EXPECT_NE(first[0].id, again[0].id);
  // Saved already, whatever ids the open conversation's messages carry.
  EXPECT_TRUE(read.hasMessages(first));
  auto edited = first;
  edited[1].content += ".";
  EXPECT_FALSE(read.hasMessages(edited));
}

TEST(HistoryFileTest, ChatsNotShownAreKeptPacked) {
  std::string prose;
  for (int i = 0; prose.size() < 64 * 1024; ++i)
    prose += "Paragraph " + std::to_string(i) + " says again what answers say, at some length.\n";
  const SavedChat chat("📝 Prose", conversation({{"user", "Explain"}, {"assistant", prose}}), 1);
  const PackedText packed(prose);
  EXPECT_LT(packed.packedSize() * 3, packed.size());
  EXPECT_EQ(packed.unpacked(), prose);
  EXPECT_EQ(turnsOf(chat.message())[1].second, prose);

  // What does not shrink is kept as it is.
  std::string noise(4096, '\0');
  std::mt19937 random(3);
  for (auto& byte : noise) byte = static_cast<char>(random());
  const PackedText kept(noise);
  EXPECT_EQ(kept.packedSize(), noise.size());
  EXPECT_EQ(kept.unpacked(), noise);
  EXPECT_EQ(PackedText("").unpacked(), "");
  EXPECT_EQ(PackedText(prose), packed);
  EXPECT_FALSE(PackedText(prose + ".") == packed);
}

TEST(HistoryFileTest, AFileAnotherWriterMadeReadsAsTheRecordsDoAndIsWrittenBackAsTheEncoderWould) {
  // Spaces, \u escapes (a pair for a character beyond the BMP), "/" unescaped, keys in another
  // order, ids and keys of other programs, a key given twice (the last counts), whole numbers.
  const std::string bytes =
      "\xEF\xBB\xBF [ {\"created\" : 1700000000, \"id\": \"ABC\","
      " \"extra\": {\"a\": [1, {}, null]},"
      "  \"message\": [ {\"content\": \"caf\\u00e9 \\ud83d\\ude00 a/b\", \"role\": \"user\","
      " \"id\": null}, {\"role\":\"assistant\",\"content\":\"first\",\"content\":\"last\","
      " \"id\":\"x\", \"more\": [true, false]} ],"
      "  \"topic\": 5, \"topic\": \"\\ud83e\\uddea Test\" },\n"
      " {\"topic\":\"two\",\"message\":[],\"created\":-0.0, \"created\": 1.5E3} ] \n";
  const Decoded expected = decodedByRecords(bytes);
  ASSERT_EQ(expected.error, "");
  EXPECT_EQ(decodedByHistoryReader(bytes), expected);
  ASSERT_EQ(expected.turns[0].size(), 2u);
  EXPECT_EQ(expected.turns[0][1].second, "last");

  EXPECT_EQ(encodeJSON(decodeHistoryFile(bytes)),
            encodeJSON(decodeJSON<std::vector<oldMessagesStruct>>(bytes)));
}

TEST(HistoryFileTest, RefusesWhatTheRecordsRefuseWithTheSameReason) {
  const std::string good = R"({"topic":"t","message":[{"role":"user","content":"c"}],"created":1})";
  const std::vector<std::string> files = {
      "",
      " ",
      "{}",
      "null",
      "\"[]\"",
      "[1]",
      "[" + good + ",2]",
      "[[]]",
      "[{}]",
      R"([{"topic":null,"message":[],"created":1}])",
      R"([{"topic":5,"message":[],"created":1}])",
      R"([{"topic":"t","created":1}])",
      R"([{"topic":"t","message":{},"created":1}])",
      R"([{"topic":"t","message":[3],"created":1}])",
      R"([{"topic":"t","message":[{"content":"c"}],"created":1}])",
      R"([{"topic":"t","message":[{"role":"user","content":2.5}],"created":1}])",
      R"([{"topic":"t","message":[{"role":"user","content":"c","id":7}],"created":1}])",
      R"([{"topic":"t","message":[{"role":"user","content":[]}],"created":1}])",
      R"([{"topic":"t","message":[{"role":true,"content":"c"},{"role":"user"}],"created":1}])",
      R"([{"topic":"t","message":[],"created":"1"}])",
      R"([{"topic":"t","message":[],"created":null}])",
      R"([{"topic":"t","message":[],"created":1E400}])",
      R"([{"topic":"t","message":[],"created":1e-400}])",
      R"([{"topic":"t","message":[],"created":18446744073709551616}])",
      // Where several things are wrong, the one the record's decoder meets first.
      R"([{"created":"x","message":5,"topic":[]}])",
      R"([{"created":"x","message":[{"role":1}]}])",
      "[" + good + R"(,{"topic":"t","message":[{"role":"user"}],"created":1},{"topic":1}])",
      // A key given twice: the last one counts, good or bad.
      R"([{"topic":1,"topic":"t","message":[],"created":1}])",
      R"([{"topic":"t","topic":1,"message":[],"created":1}])",
      R"([{"topic":"t","message":[5],"message":[],"created":1}])",
      R"([{"topic":"t","message":[],"message":[5],"created":1}])",
      // Bad JSON anywhere wins over a chat that does not fit.
      R"([{"topic":1,"message":[],"created":1},])",
      "[" + good + "] x",
      "[" + good + "][]",
      "[\"\xff\"]",
      "[\"\\ud800\"]",
      "[\"a\nb\"]",
      "[01]",
      R"([{"topic":"t","message":[],"created":1}/**/])",
      good,
  };
  for (const auto& file : files) {
    const Decoded expected = decodedByRecords(file);
    EXPECT_EQ(decodedByHistoryReader(file), expected) << file;
  }
  EXPECT_EQ(decodedByHistoryReader(R"([{"topic":"t","message":[3],"created":1}])").error,
            "Expected an object at [0].message[0] but found the number 3");
}

// Damage of every kind at every place: the reader still agrees with the records' decoder.
TEST(HistoryFileTest, DamagedFilesAreReadAsTheRecordsReadThem) {
  const std::string file =
      R"([{"topic":"😀 One","message":[{"role":"system","content":"a\"b\\c\/d\n"},)"
      R"({"role":"user","content":"\u00e9\ud83d\ude00","id":null}],"created":1.5e9,"x":[{}]},)"
      R"({"topic":"Two","message":[],"created":-3}])";
  const std::string damage = "\"\\{}[],:n0-e.\x80 tfu";
  std::mt19937 random(11);
  for (int i = 0; i < 4000; ++i) {
    std::string damaged = file;
    for (int n = 1 + int(random() % 3); n > 0; --n) {
      const std::size_t at = random() % damaged.size();
      const char with = damage[random() % damage.size()];
      switch (random() % 3) {
        case 0:
          damaged[at] = with;
          break;
        case 1:
          damaged.insert(damaged.begin() + std::ptrdiff_t(at), with);
          break;
        default:
          damaged.erase(at, 1 + random() % 4);
      }
    }
    ASSERT_EQ(decodedByHistoryReader(damaged), decodedByRecords(damaged)) << damaged;
  }
}

TEST(HistoryFileTest, SavedChatsCompareAsTheFileWouldHoldThem) {
  const SavedChat chat("t", conversation({{"user", "q"}, {"assistant", "a"}}), 1, "ID");
  SavedChat same("t", conversation({{"user", "q"}, {"assistant", "a"}}), 1);
  EXPECT_EQ(chat, same);  // ids are the running program's only
  same.setMessage(conversation({{"user", "q"}}));
  EXPECT_FALSE(chat == same);
  EXPECT_EQ(chat.record().topic, "t");
  EXPECT_EQ(chat.record().id, "ID");

  // A date the file cannot hold fails the write, as the encoder's does.
  const SavedChatList broken{oldMessagesStruct{"t", {}, std::numeric_limits<double>::quiet_NaN()}};
  EXPECT_THROW(encodeJSON(broken), EncodingError);
}

std::vector<std::string> topicsOf(const SavedChatList& list) {
  std::vector<std::string> topics;
  for (const auto& chat : list) topics.push_back(chat.topic);
  return topics;
}

// A history of many runs: order, finding by id, copies and changes across the runs' edges.
TEST(SavedChatListTest, ALongListKeepsItsOrderAndItsCopiesKeepWhatTheyHad) {
  SavedChatList list;
  std::vector<std::string> expected;
  for (int i = 0; i < 1000; ++i) {
    list.push_back(SavedChat("c" + std::to_string(i), {}, i));
    expected.push_back("c" + std::to_string(i));
  }
  const SavedChatList copy = list;
  for (int i = 0; i < 700; ++i) {
    list.insert(0, SavedChat("n" + std::to_string(i), {}, i));
    expected.insert(expected.begin(), "n" + std::to_string(i));
  }
  list.insert(5000, SavedChat("last", {}, 0));
  expected.push_back("last");
  ASSERT_EQ(list.size(), expected.size());
  EXPECT_EQ(topicsOf(list), expected);
  for (std::size_t i = 0; i < expected.size(); i += 97) EXPECT_EQ(list[i].topic, expected[i]);
  auto it = list.end();
  for (auto want = expected.rbegin(); want != expected.rend(); ++want)
    EXPECT_EQ((--it)->topic, *want);
  EXPECT_EQ(it, list.begin());
  EXPECT_EQ((list.begin() + 850)->topic, expected[850]);
  EXPECT_EQ(list.end() - list.begin(), std::ptrdiff_t(expected.size()));

  list.change(1200, [](SavedChat& chat) {
    chat.topic = "changed";
    chat.id = "X";
  });
  EXPECT_EQ(list.positionOf("X"), 1200u);
  list.insert(0, SavedChat("newest", {}, 0, "Y"));
  EXPECT_EQ(list.positionOf("X"), 1201u);
  EXPECT_EQ(list.positionOf("Y"), 0u);
  EXPECT_EQ(list.positionOf("Z"), std::nullopt);
  list.change(1201, [](SavedChat& chat) { chat.id.reset(); });
  EXPECT_EQ(list.positionOf("X"), std::nullopt);

  EXPECT_EQ(copy.size(), 1000u);
  EXPECT_EQ(copy[500].topic, "c500");
  EXPECT_EQ(&copy[999], &list[1700]);  // what did not change stays shared
  list.append(copy);
  EXPECT_EQ(&list[list.size() - 1].topic, &copy[999].topic);
  EXPECT_THROW(list.at(list.size()), std::out_of_range);
  EXPECT_NE(list, copy);
  SavedChatList same;
  for (const auto& chat : copy) same.push_back(SavedChat(chat.topic, {}, chat.created));
  EXPECT_EQ(same, copy);
}

using ReopenedChatTest = testing::ChatModelTest;

// A reopened chat is a copy of what was saved: its answer, stopped and marked earlier in this
// run, is not marked again when the chat goes on and is kept anew.
TEST_F(ReopenedChatTest, AnAnswerCutShortEarlierIsMarkedOnceWhenTheChatGoesOn) {
  serve(events({}), "🧪 Stopped");
  makeScriptedModel();
  model->streamChat("Tell me");
  transport.last().respond(200);
  transport.last().send(testing::deltaEvent("Part"));
  ASSERT_TRUE(waitFor([&] { return model->responseValue.get() == "Part"; }));
  model->handleEscape();  // stopped: kept, marked
  model->handleEscape();  // put away
  ASSERT_TRUE(waitFor([&] { return model->oldMessages->at(0).topic == "🧪 Stopped"; }));
  const std::string cut = "Part" + std::string(kCutShortMark);

  model->openHistory = true;
  model->keyHistorySelected = 0;
  model->sendPrompt();
  ASSERT_EQ(model->messages->back().content, cut);
  model->command = "Go on";
  model->sendPrompt();
  transport.last().respond(200);
  transport.last().send(testing::deltaEvent("Done.") + testing::kDoneEvent);
  transport.last().finish();
  ASSERT_TRUE(waitUntilIdle());
  ASSERT_TRUE(waitFor([&] { return model->oldMessages->at(0).message().size() == 5; }));
  EXPECT_EQ(model->oldMessages->size(), 1u);
  const auto kept = turnsOf(model->oldMessages->at(0).message());
  EXPECT_EQ(kept[2].second, cut);
  EXPECT_EQ(kept[4].second, "Done.");
}

class HistoryLoadingTest : public ::testing::Test {
 protected:
  fs::path historyFile() const { return home.documents() / "Quillcast" / kHistoryFileName; }
  std::shared_ptr<DataModel> start() {
    return std::make_shared<DataModel>(DataModelEnvironment{.bundle = &shipped.bundle()});
  }

  testsupport::ScopedHome home;
  TestBundle shipped = TestBundle::withPresets(samplePresets());
};

// `broken` names a chat whose question lacks its content.
std::string manyChatsFile(int count, int broken = -1) {
  std::string bytes = "[";
  for (int i = 0; i < count; ++i) {
    if (i > 0) bytes += ',';
    const std::string n = std::to_string(i);
    const std::string question =
        i == broken ? R"({"role":"user"})" : R"({"role":"user","content":"question )" + n + "\"}";
    bytes += R"({"topic":"Chat )" + n + R"(","message":[)" + question +
             R"(,{"role":"assistant","content":"answer é"}],"created":)" + n + "}";
  }
  return bytes + "]";
}

TEST_F(HistoryLoadingTest, ABrokenChatInALargeFileSetsTheWholeFileAsideAsBefore) {
  const std::string bytes = manyChatsFile(3000, 2000);
  writeFile(historyFile(), bytes);
  ::testing::internal::CaptureStdout();
  auto model = start();
  ASSERT_TRUE(model->finishLoadingHistory());
  const std::string said = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(said.find("error reading data file:QuillcastHistory.json :No value for the key "
                      "\"content\" at [2000].message[0]\n"),
            std::string::npos)
      << said;
  EXPECT_TRUE(model->oldMessages->empty());
  const auto& unreadable = model->documents().unreadableFiles();
  ASSERT_EQ(unreadable.size(), 1u);
  ASSERT_TRUE(unreadable[0].copy);
  EXPECT_EQ(readFile(*unreadable[0].copy), bytes);  // nothing of it lost

  // A new chat starts a new file; the copy stays as it was.
  model->saveHistoryWithDateTitle(conversation({{"user", "q"}, {"assistant", "a"}}), -1);
  ASSERT_TRUE(model->documents().waitForWrites());
  EXPECT_EQ(decodeHistoryFile(readFile(historyFile())).size(), 1u);
  EXPECT_EQ(readFile(*unreadable[0].copy), bytes);
}

TEST_F(HistoryLoadingTest, AChatSavedWhileTheFileIsReadIsWrittenOnceBeforeTheFilesChats) {
  writeFile(historyFile(), manyChatsFile(5000));
  auto model = start();
  ASSERT_FALSE(model->historyLoaded());
  model->saveHistory("📝 Early", conversation({{"user", "early"}, {"assistant", "a"}}), -1);
  // Reopened and continued before the file's chats are in: still the one entry.
  model->keyHistorySelected = 0;
  model->openHistory = true;
  model->sendPrompt();
  ASSERT_EQ(model->chatWithHistory, 0);
  model->saveHistory("📝 Early, continued", model->messages.get(), model->chatWithHistory);
  ASSERT_TRUE(model->finishLoadingHistory());
  ASSERT_TRUE(model->documents().waitForWrites());

  const auto onDisk = decodeJSON<std::vector<oldMessagesStruct>>(readFile(historyFile()));
  ASSERT_EQ(onDisk.size(), 5001u);
  EXPECT_EQ(onDisk[0].topic, "📝 Early, continued");
  EXPECT_EQ(onDisk[1].topic, "Chat 0");
  EXPECT_EQ(onDisk[5000].topic, "Chat 4999");
  EXPECT_EQ(onDisk[5000].message[1].content, "answer é");
  // The whole file, as the encoder writes the list.
  EXPECT_EQ(readFile(historyFile()), encodeJSON(model->oldMessages->toVector()));
  EXPECT_EQ(model->oldMessages.get(), SavedChatList(onDisk));
}

}  // namespace
}  // namespace core
