#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "foundation/Files.h"
#include "foundation/UserDefaults.h"
#include "testsupport/ScopedHome.h"
#include "testsupport/ScopedLocale.h"
#include "testsupport/ScopedPermissionChecks.h"

namespace fs = std::filesystem;
using foundation::UserDefaults;
using nlohmann::json;
using testsupport::ScopedHome;

namespace {

std::vector<std::string> corruptCopiesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().starts_with("defaults.json.corrupt-"))
      names.push_back(entry.path().filename());
  return names;
}

class UserDefaultsTest : public ::testing::Test {
 protected:
  ScopedHome home;
  fs::path folder = home.config() / "Quillcast";
  fs::path file = folder / "defaults.json";
};

TEST_F(UserDefaultsTest, AbsentKeysReadAsTheDocumentedDefaults) {
  UserDefaults defaults(file);
  EXPECT_FALSE(defaults.has("model"));
  EXPECT_EQ(defaults.stringForKey("model"), std::nullopt);
  EXPECT_FALSE(defaults.boolForKey("useCopyHack"));
  EXPECT_EQ(defaults.doubleForKey("saveFontSize"), 0.0);
  EXPECT_EQ(defaults.integerForKey("count"), 0);
  EXPECT_EQ(defaults.dataForKey("savedFrame"), std::nullopt);
  EXPECT_EQ(defaults.objectForKey("HotKeys_showFloatingPanel"), std::nullopt);
  EXPECT_FALSE(fs::exists(folder));  // reading creates nothing
}

TEST_F(UserDefaultsTest, TypedReadsConvertLikeThePlatformDoes) {
  UserDefaults defaults(file);
  defaults.set("text", "gpt-4o");
  defaults.set("yes", "YES");
  defaults.set("numberText", "2.5");
  defaults.set("flag", true);
  defaults.set("real", 3.75);
  defaults.set("whole", 42);
  defaults.set("object", json{{"carbonKeyCode", 49}, {"carbonModifiers", 2048}});

  EXPECT_EQ(defaults.stringForKey("text"), "gpt-4o");
  EXPECT_EQ(defaults.stringForKey("whole"), std::nullopt);  // not text
  EXPECT_TRUE(defaults.boolForKey("yes"));
  EXPECT_FALSE(defaults.boolForKey("text"));
  EXPECT_TRUE(defaults.boolForKey("flag"));
  EXPECT_TRUE(defaults.boolForKey("whole"));
  EXPECT_EQ(defaults.doubleForKey("numberText"), 2.5);
  EXPECT_EQ(defaults.doubleForKey("flag"), 1.0);
  EXPECT_EQ(defaults.doubleForKey("text"), 0.0);
  EXPECT_EQ(defaults.integerForKey("real"), 3);
  EXPECT_EQ(defaults.integerForKey("whole"), 42);
  EXPECT_EQ(defaults.integerForKey("object"), 0);
  EXPECT_EQ(defaults.objectForKey("object"),
            (json{{"carbonKeyCode", 49}, {"carbonModifiers", 2048}}));
  // Each value keeps its own JSON type: a flag is no number, a whole number no real one.
  EXPECT_TRUE(defaults.objectForKey("flag")->is_boolean());
  EXPECT_TRUE(defaults.objectForKey("whole")->is_number_integer());
  EXPECT_TRUE(defaults.objectForKey("real")->is_number_float());
  EXPECT_TRUE(defaults.objectForKey("text")->is_string());
  const std::string owned = "text kept";
  defaults.set("owned", owned);
  defaults.set("large", std::int64_t{1} << 40);
  EXPECT_EQ(defaults.objectForKey("owned"), json("text kept"));
  EXPECT_EQ(defaults.integerForKey("large"), std::int64_t{1} << 40);

  defaults.set("huge", 1e300);
  EXPECT_EQ(defaults.integerForKey("huge"), 0);  // out of range, not undefined behaviour
}

TEST_F(UserDefaultsTest, DataIsKeptAsBase64Text) {
  UserDefaults defaults(file);
  std::vector<std::uint8_t> everyByte;
  for (int b = 0; b < 256; ++b) everyByte.push_back(static_cast<std::uint8_t>(b));
  for (std::size_t length : {0, 1, 2, 3, 4, 5, 256}) {
    const std::vector<std::uint8_t> bytes(everyByte.begin(), everyByte.begin() + length);
    defaults.setData("blob", bytes);
    EXPECT_EQ(defaults.dataForKey("blob"), bytes) << length;
  }
  defaults.setData("blob", {0x00, 0x01, 0x02, 0xFF});
  EXPECT_EQ(defaults.stringForKey("blob"), "AAEC/w==");
  for (const char* bad : {"AAE", "AA=C", "A===", "AAEC/w=", "AA EC", "AAE*"}) {
    defaults.set("bad", bad);
    EXPECT_EQ(defaults.dataForKey("bad"), std::nullopt) << bad;
  }
}

TEST_F(UserDefaultsTest, ValuesSurviveAReloadInAPrivateFile) {
  {
    UserDefaults defaults(file);
    defaults.set("openapikey", "sk-test");
    defaults.set("saveFontSize", 14.5);
    defaults.set("gone", 1);
    defaults.removeObject("gone");
    defaults.synchronize();
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::mask, fs::perms::owner_all);
    defaults.set("firstTime", false);  // written by the destructor at the latest
  }
  UserDefaults reloaded(file);
  EXPECT_EQ(reloaded.stringForKey("openapikey"), "sk-test");
  EXPECT_EQ(reloaded.doubleForKey("saveFontSize"), 14.5);
  EXPECT_TRUE(reloaded.has("firstTime"));
  EXPECT_FALSE(reloaded.boolForKey("firstTime"));
  EXPECT_FALSE(reloaded.has("gone"));
  std::error_code error;
  const auto text = foundation::files::readFile(file, error);
  ASSERT_TRUE(text);
  EXPECT_EQ(json::parse(*text),
            (json{{"openapikey", "sk-test"}, {"saveFontSize", 14.5}, {"firstTime", false}}));
}

TEST_F(UserDefaultsTest, ACorruptFileIsKeptAsideAndTheStoreStartsEmpty) {
  for (const char* contents : {"{\"model\": \"gpt", "[1, 2, 3]", ""}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(file) << contents;

    testing::internal::CaptureStderr();
    UserDefaults defaults(file);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("defaults.json"), std::string::npos) << said;
    EXPECT_FALSE(defaults.has("model"));

    const auto copies = corruptCopiesIn(folder);
    ASSERT_EQ(copies.size(), 1u) << contents;
    std::error_code error;
    EXPECT_EQ(foundation::files::readFile(folder / copies[0], error), contents);
    // Told, so that the program can say so in a window.
    ASSERT_TRUE(defaults.unreadableFile());
    EXPECT_EQ(defaults.unreadableFile()->file, file);
    EXPECT_EQ(defaults.unreadableFile()->copy, folder / copies[0]);

    defaults.set("model", "gpt-4o");
    defaults.synchronize();
    EXPECT_EQ(UserDefaults(file).stringForKey("model"), "gpt-4o");
    EXPECT_EQ(corruptCopiesIn(folder).size(), 1u);
  }
}

TEST_F(UserDefaultsTest, AFileThatCannotBeReadIsNeverReplaced) {
  fs::create_directories(folder);
  std::ofstream(file) << R"({"openapikey": "sk-keep"})";
  fs::permissions(file, fs::perms::none);
  testing::internal::CaptureStderr();
  {
    testsupport::ScopedPermissionChecks checked;
    if (!checked.binding()) GTEST_SKIP() << "permissions do not bind this thread";
    UserDefaults defaults(file);
    defaults.set("model", "gpt-4o");
    EXPECT_EQ(defaults.stringForKey("model"), "gpt-4o");  // still works in memory
    const auto unreadable = defaults.unreadableFile();
    ASSERT_TRUE(unreadable);
    EXPECT_EQ(unreadable->file, file);
    EXPECT_EQ(unreadable->copy, std::nullopt);
  }
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(UserDefaults(file).stringForKey("openapikey"), "sk-keep");
  EXPECT_TRUE(corruptCopiesIn(folder).empty());
}

TEST_F(UserDefaultsTest, WhatIsNoRegularFileIsMovedAsideWithoutBlocking) {
  const auto makeFifo = [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); };
  const auto makeEndless = [](const fs::path& at) { fs::create_symlink("/dev/zero", at); };
  const auto makeFolder = [](const fs::path& at) { fs::create_directories(at / "inside"); };
  for (const auto& make :
       std::vector<std::function<void(const fs::path&)>>{makeFifo, makeEndless, makeFolder}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    make(file);
    testing::internal::CaptureStderr();
    {
      UserDefaults defaults(file);
      ASSERT_TRUE(defaults.unreadableFile());
      EXPECT_EQ(defaults.unreadableFile()->reason, "it is not a regular file");
      EXPECT_TRUE(defaults.unreadableFile()->copy);
      defaults.set("model", "gpt-4o");
    }
    (void)testing::internal::GetCapturedStderr();
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
    EXPECT_EQ(UserDefaults(file).stringForKey("model"), "gpt-4o");
    EXPECT_EQ(corruptCopiesIn(folder).size(), 1u);
  }
}

TEST_F(UserDefaultsTest, AFileLargerThanSettingsEverAreIsMovedAside) {
  fs::create_directories(folder);
  std::ofstream(file) << R"({"model": ")" << std::string(5 * 1024 * 1024, 'x') << R"("})";
  testing::internal::CaptureStderr();
  UserDefaults defaults(file);
  (void)testing::internal::GetCapturedStderr();
  ASSERT_TRUE(defaults.unreadableFile());
  EXPECT_EQ(defaults.unreadableFile()->reason, "it is too large");
  EXPECT_FALSE(defaults.has("model"));
  EXPECT_EQ(corruptCopiesIn(folder).size(), 1u);
}

TEST_F(UserDefaultsTest, TheStandardSettingsFolderIsMadePrivateWhenItExists) {
  UserDefaults::resetStandard();
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  UserDefaults::standard().set("model", "here");
  UserDefaults::standard().synchronize();
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::mask, fs::perms::owner_all);
  UserDefaults::resetStandard();
}

TEST_F(UserDefaultsTest, AtStartTheFileIsMadePrivateAndAnInterruptedSaveIsSweptAway) {
  fs::create_directories(folder);
  std::ofstream(file) << R"({"openapikey": "sk-old"})";
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read);
  // What a kill -9 in the middle of a save leaves, an hour ago; and one being written now.
  const fs::path stale = folder / ".defaults.json.tmp-00112233445566ff";
  const fs::path current = folder / ".defaults.json.tmp-ffeeddccbbaa0011";
  std::ofstream(stale) << R"({"openapikey": "sk-ha)";
  std::ofstream(current) << R"({"openapikey": "sk-ne)";
  fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(1));

  UserDefaults defaults(file);
  EXPECT_EQ(defaults.stringForKey("openapikey"), "sk-old");
  EXPECT_FALSE(defaults.unreadableFile());
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(current));
}

TEST_F(UserDefaultsTest, ObserversAreToldAfterEachChangeOfTheirKey) {
  UserDefaults defaults(file);
  std::vector<std::optional<std::string>> seen;
  int otherKey = 0;
  auto model = defaults.observe("model", [&] { seen.push_back(defaults.stringForKey("model")); });
  auto other = defaults.observe("openapikey", [&] { ++otherKey; });
  defaults.set("model", "a");
  defaults.set("model", "a");  // a store of an equal value is still a change
  defaults.removeObject("model");
  defaults.removeObject("model");  // nothing there: nothing changes
  EXPECT_EQ(seen, (std::vector<std::optional<std::string>>{"a", "a", std::nullopt}));
  EXPECT_EQ(otherKey, 0);

  model.cancel();
  defaults.set("model", "b");
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(UserDefaultsTest, ObserversMayCancelAndSubscribeWhileBeingTold) {
  UserDefaults defaults(file);
  std::vector<std::string> told;
  foundation::Cancellable first, second, added;
  first = defaults.observe("k", [&] {
    told.push_back("first");
    first.cancel();
    second.cancel();
    if (told.size() == 1) added = defaults.observe("k", [&] { told.push_back("added"); });
  });
  second = defaults.observe("k", [&] { told.push_back("second"); });
  defaults.set("k", 1);
  EXPECT_EQ(told, std::vector<std::string>{"first"});
  defaults.set("k", 2);
  EXPECT_EQ(told, (std::vector<std::string>{"first", "added"}));
}

// The cancel after the store is gone is a use-after-free only the sanitizers would see.
TEST_F(UserDefaultsTest, TokensMayOutliveTheStoreWithoutUseAfterFreeUnderSanitizers) {
  foundation::Cancellable token;
  int told = 0;
  {
    UserDefaults defaults(file);
    token = defaults.observe("k", [&] { ++told; });
    defaults.set("k", "kept");
  }
  token.cancel();
  EXPECT_EQ(told, 1);
  // The store's last change reached the disk before it went.
  std::error_code error;
  const auto text = foundation::files::readFile(file, error);
  ASSERT_TRUE(text) << error.message();
  EXPECT_EQ(json::parse(*text), json({{"k", "kept"}}));
}

TEST_F(UserDefaultsTest, NumbersKeepTheirPointUnderAGermanLocale) {
  testsupport::ScopedLocale german("de_DE.UTF-8");
  ASSERT_TRUE(german.active()) << "the de_DE.UTF-8 locale is missing (locales-all)";
  ASSERT_EQ(std::strtod("0,5", nullptr), 0.5);  // the C library now reads a comma
  {
    UserDefaults defaults(file);
    defaults.set("saveFontSize", 14.5);
    defaults.set("fromText", "0.25");
    defaults.set("blanksAndSign", " +2.5");
    defaults.set("germanText", "0,5");
    defaults.set("flag", "1.0");
    EXPECT_EQ(defaults.doubleForKey("fromText"), 0.25);
    EXPECT_EQ(defaults.doubleForKey("blanksAndSign"), 2.5);
    EXPECT_EQ(defaults.doubleForKey("germanText"), 0);  // not a number in a file
    EXPECT_EQ(defaults.integerForKey("fromText"), 0);
    EXPECT_TRUE(defaults.boolForKey("flag"));
  }
  std::error_code error;
  const auto text = foundation::files::readFile(file, error);
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("14.5"), std::string::npos) << *text;
  EXPECT_EQ(UserDefaults(file).doubleForKey("saveFontSize"), 14.5);
}

TEST_F(UserDefaultsTest, StandardFollowsTheEnvironmentAfterAReset) {
  UserDefaults::standard().set("model", "here");
  EXPECT_EQ(UserDefaults::standard().file(), file);
  {
    ScopedHome other;
    EXPECT_EQ(UserDefaults::standard().file(), other.config() / "Quillcast" / "defaults.json");
    EXPECT_FALSE(UserDefaults::standard().has("model"));
  }
  EXPECT_EQ(UserDefaults::standard().stringForKey("model"), "here");
}

}  // namespace
