#include <gtest/gtest.h>

#include "RecordingOpener.h"

#include <set>
#include <string>
#include <vector>

#include "core/DataModel.h"
#include "shell/PresetImport.h"
#include "shell/SchemeURL.h"
#include "testsupport/ScopedHome.h"

namespace shell {
namespace {

std::string percentEncode(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out += {'%', hex[c >> 4], hex[c & 15]};
    }
  }
  return out;
}

std::size_t countOf(const std::string& text, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = 0; (at = text.find(needle, at)) != std::string::npos; at += needle.size())
    ++count;
  return count;
}

std::string importURL(std::string_view json) {
  return "quillcast://import?data=" + percentEncode(json);
}

class PresetImportTests : public ::testing::Test {
 protected:
  std::size_t presetCount() const { return model->prompts().size(); }

  testsupport::ScopedHome home;
  std::shared_ptr<core::DataModel> model = std::make_shared<core::DataModel>();
  RecordingOpener opener;
};

TEST(SchemeURLTests, KeepsCaseAndSplitsQueryItemsLikeFoundation) {
  const auto url = parseSchemeURL("quillcast://promptEditor/x?a=1&b&c=a+b&d=%7B%22x%22%7D#frag");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->scheme, "quillcast");
  EXPECT_EQ(url->host, "promptEditor");
  EXPECT_EQ(url->path, "/x");
  const auto items = parseQueryItems(*url->query);
  ASSERT_TRUE(items);
  EXPECT_EQ(*items, (std::vector<QueryItem>{
                        {"a", "1"}, {"b", std::nullopt}, {"c", "a+b"}, {"d", "{\"x\"}"}}));
  EXPECT_FALSE(parseQueryItems("data=%7"));
  EXPECT_FALSE(parseQueryItems("data=%zz"));
  EXPECT_TRUE(parseQueryItems("")->empty());
  EXPECT_FALSE(parseSchemeURL("quillcast:promptEditor"));
  EXPECT_FALSE(parseSchemeURL("quill cast://x"));
  EXPECT_FALSE(parseSchemeURL("://x"));
}

TEST_F(PresetImportTests, ImportsEachValidURLUnderANewIdInOneChangeAndOpensTheEditorOnce) {
  const std::string json =
      R"({"id":"fixed","emoji":"📝","name":"Summarise","prompt":"Sum up {selected text}","extra":1})";
  const std::size_t before = presetCount();
  int changes = 0;
  auto watch = model->PromptM.get()->subscribeWillChange([&] { ++changes; });
  testing::internal::CaptureStdout();
  handleOpenURLs({importURL(json), importURL(json)}, *model, opener);
  watch.cancel();
  // One change saves the presets once and rebuilds what lists them once.
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(countOf(testing::internal::GetCapturedStdout(), "RUNNING URL SCHME\n"), 2u);
  ASSERT_EQ(presetCount(), before + 2);
  const auto& a = model->prompts()[before];
  const auto& b = model->prompts()[before + 1];
  EXPECT_EQ(a.name, "Summarise");
  EXPECT_FALSE(a.promptType);  // listed with the context presets
  ASSERT_TRUE(a.id && b.id);
  EXPECT_NE(*a.id, "fixed");
  EXPECT_NE(*a.id, *b.id);
  EXPECT_EQ(a.id->size(), 36u);
  EXPECT_EQ(opener.opened, std::vector<std::string>{"quillcast://promptEditor"});
  EXPECT_EQ(model->selectedIndex, -1);
  EXPECT_EQ(model->hoverIndex, -1);
}

TEST_F(PresetImportTests, OnlyTheFirstDataItemCountsAndPlusStaysPlus) {
  const std::size_t before = presetCount();
  handleOpenURLs(
      {"quillcast://x?data=" + percentEncode(R"({"emoji":"a","name":"a+b","prompt":"p"})") +
       "&data=" + percentEncode(R"({"emoji":"b","name":"second","prompt":"p"})")},
      *model, opener);
  ASSERT_EQ(presetCount(), before + 1);
  EXPECT_EQ(model->prompts().back().name, "a+b");
  handleOpenURLs({"quillcast://x?data="
                  R"({"emoji":"a","name":"a+b","prompt":"p"})"},
                 *model, opener);
  EXPECT_EQ(model->prompts().back().name, "a+b");
}

TEST_F(PresetImportTests, AURLOfOursWithoutAPresetEndsTheHandling) {
  const std::string valid = importURL(R"({"emoji":"✅","name":"ok","prompt":"p"})");
  const std::string second = importURL(R"({"emoji":"✅","name":"second","prompt":"p"})");
  const std::vector<std::string> bad = {
      "quillcast://promptEditor",                           // no query
      "quillcast:promptEditor",                             // not taken apart
      "quillcast://x?other=1",                              // no data item
      "quillcast://x?data",                                 // data without a value
      "quillcast://x?data=%zz",                             // malformed escape
      importURL("{not json"),                               // undecodable
      importURL(R"({"emoji":"a","prompt":"p"})"),           // name missing
      importURL(R"({"emoji":"a","name":1,"prompt":"p"})"),  // wrong type
      importURL(R"(["emoji"])"),                            // not an object
      importURL(R"({"emoji":"a","name":")" + std::string(300, 'n') + R"(","prompt":"p"})"),
      "quillcast://x?data=" + std::string(kMaxImportDataBytes + 1, 'a')};
  for (const auto& url : bad) {
    SCOPED_TRACE(url.substr(0, 60));
    const std::size_t before = presetCount();
    opener.opened.clear();
    testing::internal::CaptureStdout();
    // Links of other schemes are passed over; the links before the bad one are imported, the
    // ones after it are not looked at.
    handleOpenURLs({"https://example.org/?data=x", valid, url, second}, *model, opener);
    EXPECT_EQ(countOf(testing::internal::GetCapturedStdout(), "RUNNING URL SCHME\n"), 2u);
    ASSERT_EQ(presetCount(), before + 1);
    EXPECT_EQ(model->prompts().back().name, "ok");
    EXPECT_EQ(opener.opened.size(), 1u);
  }
  // A bad first link: nothing changes and no window opens.
  const std::size_t before = presetCount();
  opener.opened.clear();
  handleOpenURLs({"quillcast://x?other=1", valid}, *model, opener);
  EXPECT_EQ(presetCount(), before);
  EXPECT_TRUE(opener.opened.empty());
}

TEST_F(PresetImportTests, SchemeIsComparedExactly) {
  const std::size_t before = presetCount();
  handleOpenURLs(
      {"QUILLCAST://x?data=" + percentEncode(R"({"emoji":"a","name":"n","prompt":"p"})")}, *model,
      opener);
  EXPECT_EQ(presetCount(), before);
}

TEST(DecodeImportedPresetTests, OptionalFieldsMayBeNullAndLongPromptsAreRefused) {
  const auto preset = decodeImportedPreset(
      R"({"emoji":"a","name":"n","prompt":"p","systemPrompt":null,"promptType":"nonContext"})");
  ASSERT_TRUE(preset);
  EXPECT_FALSE(preset->systemPrompt);
  EXPECT_EQ(preset->promptType, "nonContext");
  EXPECT_FALSE(decodeImportedPreset(R"({"emoji":"a","name":"n","prompt":"p","promptType":3})"));
  const std::string longPrompt(kMaxImportedPromptBytes + 1, 'p');
  EXPECT_FALSE(decodeImportedPreset(R"({"emoji":"a","name":"n","prompt":")" + longPrompt + "\"}"));
}

}  // namespace
}  // namespace shell
