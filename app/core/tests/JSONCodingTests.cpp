#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/ChatRecords.h"
#include "core/JSONCoding.h"
#include "core/JSONWriter.h"
#include "testsupport/ScopedLocale.h"

namespace core {
namespace {

TEST(JSONWriterTest, EscapesStringsLikeThePlatformEncoder) {
  const struct {
    std::string text;
    std::string json;
  } cases[] = {
      {"a/b", R"("a\/b")"},
      {"say \"hi\" \\ bye", R"("say \"hi\" \\ bye")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {std::string("\x01\x1f\x00", 3), R"("\u0001\u001f\u0000")"},
      {"\x7f", "\"\x7f\""},
      {"Grüße 🧪", "\"Grüße 🧪\""},
      // One replacement per maximal ill-formed subpart: a truncated sequence is one.
      {"bad \xff byte \xe2\x82", "\"bad \xEF\xBF\xBD byte \xEF\xBF\xBD\""},
      {"\xed\xa0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // no surrogates
  };
  for (const auto& c : cases) EXPECT_EQ(writeJSON(Json(c.text)), c.json) << c.json;
}

TEST(JSONWriterTest, WritesNumbersInTheirShortestForm) {
  const struct {
    double value;
    const char* json;
  } cases[] = {
      {1.0, "1"},
      {0.0, "0"},
      {-0.0, "-0"},
      {0.1, "0.1"},
      {-2.5, "-2.5"},
      {1733690000.5, "1733690000.5"},
      {1e15, "1000000000000000"},
      {1e16, "1e+16"},
      {9007199254740992.0, "9007199254740992"},
      {0.0001, "0.0001"},
      {0.00001, "1e-05"},
      {2.5e-5, "2.5e-05"},
      {1.5e300, "1.5e+300"},
  };
  for (const auto& c : cases) EXPECT_EQ(writeJSON(Json(c.value)), c.json) << c.json;
  EXPECT_EQ(writeJSON(JSONCodable<float>::encode(0.1f)), "0.1");
  EXPECT_EQ(writeJSON(JSONCodable<float>::encode(1.0f)), "1");
  EXPECT_EQ(writeJSON(Json(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(writeJSON(Json(std::numeric_limits<std::uint64_t>::max())), "18446744073709551615");
}

TEST(JSONWriterTest, WritesCompactlyInKeyOrderAndRefusesNonFiniteNumbers) {
  Json object = Json::object();
  object["z"] = 1;
  object["a"] = Json::array({true, false, nullptr});
  object["m"] = Json::object();
  EXPECT_EQ(writeJSON(object), R"({"z":1,"a":[true,false,null],"m":{}})");
  EXPECT_THROW(writeJSON(Json(std::nan(""))), EncodingError);
  EXPECT_THROW(JSONCodable<float>::encode(std::numeric_limits<float>::infinity()), EncodingError);
  ChatBody body{"m", {}, std::nanf(""), {}, {}, {}, {}};
  EXPECT_THROW(encodeJSON(body), EncodingError);
}

// Qt sets the C locale from the environment; files and the wire keep a '.' point.
TEST(JSONCodingTest, NumbersKeepTheirPointUnderAGermanLocale) {
  testsupport::ScopedLocale german("de_DE.UTF-8");
  ASSERT_TRUE(german.active()) << "the de_DE.UTF-8 locale is missing (locales-all)";
  EXPECT_EQ(writeJSON(Json(0.5)), "0.5");
  EXPECT_EQ(writeJSON(Json(2.5e-5)), "2.5e-05");
  EXPECT_EQ(writeJSON(Json(1733690000.25)), "1733690000.25");
  ChatBody body{"m", {}, 0.7f, {}, {}, {}, {}};
  EXPECT_NE(encodeJSON(body).find("\"temperature\":0.7"), std::string::npos) << encodeJSON(body);
  const auto decoded = decodeJSON<ChatBody>(R"({"model":"m","messages":[],"top_p":0.5})");
  EXPECT_EQ(decoded.top_p, 0.5f);
  const auto chats =
      decodeJSON<std::vector<oldMessagesStruct>>(R"([{"topic":"t","message":[],"created":1.5}])");
  ASSERT_EQ(chats.size(), 1u);
  EXPECT_EQ(chats[0].created, 1.5);
}

// Found by fuzzing the history file: the parser's overflow escaped as another exception.
TEST(JSONDecodingTest, ANumberBeyondADoubleIsADecodingError) {
  EXPECT_THROW(decodeJSON<std::vector<oldMessagesStruct>>(
                   R"([{"topic":"t","message":[],"created":50E3381}])"),
               DecodingError);
  EXPECT_THROW(decodeJSON<ChatBody>(R"({"model":"m","messages":[],"top_p":-1e400})"),
               DecodingError);
}

TEST(JSONDecodingTest, IntegersMustBeExact) {
  const auto decodeIndex = [](const std::string& number) {
    return decodeJSON<ChatChoiceDelta>(R"({"index":)" + number + "}").index;
  };
  EXPECT_EQ(decodeIndex("7"), 7);
  EXPECT_EQ(decodeIndex("-7"), -7);
  EXPECT_EQ(decodeIndex("7.0"), 7);
  EXPECT_EQ(decodeIndex("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  for (const char* bad : {"7.5", "9223372036854775808", "1e30", "\"7\"", "true", "[7]"}) {
    EXPECT_THROW(decodeIndex(bad), DecodingError) << bad;
  }
}

TEST(JSONDecodingTest, TypesAreNeverCoerced) {
  const char* failures[] = {
      R"({"model":"m","messages":[],"stream":1})",
      R"({"model":"m","messages":[],"temperature":"1"})",
      R"({"model":"m","messages":[],"temperature":1e39})",
      R"({"model":5,"messages":[]})",
      R"({"model":"m","messages":{}})",
      R"({"model":"m","messages":[{"role":"user","content":null}]})",
      R"({"model":"m","messages":[{"role":"user","content":"x","id":5}]})",
      R"({"model":"m","messages":[]} trailing)",
      "{\"model\":\"\xff\",\"messages\":[]}",
      R"(["model"])",
      "",
  };
  for (const char* json : failures) EXPECT_THROW(decodeJSON<ChatBody>(json), DecodingError) << json;

  const auto body = decodeJSON<ChatBody>(
      R"({"model":"m","messages":[],"temperature":null,"top_p":0.5,"stream":false,"extra":[1]})");
  EXPECT_FALSE(body.temperature);
  EXPECT_EQ(body.top_p, 0.5f);
  EXPECT_EQ(body.stream, false);
}

TEST(JSONDecodingTest, ErrorsSayWhereTheDocumentWentWrong) {
  try {
    decodeJSON<ChatResponse>(
        R"({"id":"a","object":"o","created":1,"model":"m","usage":{},"choices":[{"message":{"role":"assistant"},"index":0}]})");
    FAIL() << "decoded without content";
  } catch (const DecodingError& error) {
    EXPECT_STREQ(error.what(), R"(No value for the key "content" at choices[0].message)");
  }
  try {
    decodeJSON<std::vector<oldMessagesStruct>>(R"([{"topic":"t","message":[],"created":"now"}])");
    FAIL() << "decoded a text as a date";
  } catch (const DecodingError& error) {
    EXPECT_STREQ(error.what(), "Expected a number at [0].created but found a string");
  }
}

}  // namespace
}  // namespace core
