#include "KeychainTestSupport.h"

namespace keychain {
namespace {

namespace k = security::key;
using testing::bytes;
using testing::printed;
using testing::ScriptedBackend;

class KeychainTest : public ::testing::Test {
 protected:
  security::InMemorySecretBackend memory;
  Keychain keychain = Keychain::withService("svc").backend(memory.backend);

  std::vector<security::StoredItem> stored() const { return memory.storage->items(); }
};

TEST_F(KeychainTest, SetAddsThenUpdatesInPlace) {
  keychain.set("secret", "alice");
  ASSERT_EQ(stored().size(), 1u);
  EXPECT_EQ(stored()[0].attributes.at(k::kSynchronizable), "false") << "a Bool, not Any";
  EXPECT_EQ(stored()[0].attributes.at(k::kAccessible), rawValue(Accessibility::afterFirstUnlock));
  EXPECT_EQ(keychain.getString("alice"), "secret");

  keychain.set("changed", "alice");
  ASSERT_EQ(stored().size(), 1u);
  EXPECT_EQ(keychain.get("alice"), "changed");
  EXPECT_EQ(keychain["alice"], "changed");

  keychain.synchronizable(true).set("synced", "bob");
  EXPECT_EQ(stored()[1].attributes.at(k::kSynchronizable), "true");
}

TEST_F(KeychainTest, AnUpdateMatchesTheSynchronizableStateItChecked) {
  keychain.synchronizable(true).set("cloud", "alice", false);
  keychain.set("local", "alice", false);
  ASSERT_EQ(stored().size(), 2u) << "one synchronized and one local item";
  keychain.set("local 2", "alice", false);
  EXPECT_EQ(keychain.getString("alice", false), "local 2");
  EXPECT_EQ(keychain.synchronizable(true).getString("alice", false), "cloud");
}

TEST_F(KeychainTest, ALockedItemIsUpdatedNotAddedAgain) {
  keychain.set("old", "alice");
  memory.storage->setLocked(true);
  EXPECT_TRUE(keychain.contains("alice", true)) << "needs interaction, so it is there";
  EXPECT_FALSE(keychain.authenticationUI(AuthenticationUI::fail).contains("alice", false));
  keychain.set("new", "alice");  // the check answers interactionNotAllowed; the update unlocks
  ASSERT_EQ(stored().size(), 1u);
  EXPECT_EQ(keychain.getString("alice"), "new");
}

TEST_F(KeychainTest, AttributesOverrideTheLabelOnAddAndUpdate) {
  const auto labelled = keychain.label("from label").attributes({{k::kLabel, std::string("over")}});
  labelled.set("pw", "alice");
  EXPECT_EQ(stored()[0].label, "over");
  labelled.label("again").attributes({{k::kLabel, std::string("over 2")}}).set("pw2", "alice");
  EXPECT_EQ(stored()[0].label, "over 2");
  keychain.label("plain").comment("note").set("pw3", "alice");
  EXPECT_EQ(stored()[0].label, "plain");
  EXPECT_EQ(stored()[0].attributes.at(k::kComment), "note");
  EXPECT_EQ(keychain.attributes("alice")->comment(), "note");
}

TEST_F(KeychainTest, RemovingWhatIsNotThereIsFine) {
  keychain.remove("nobody");
  keychain.removeAll();
  keychain.set("a", "alice");
  keychain.set("b", "bob");
  Keychain::withService("other").backend(memory.backend).set("c", "carol");
  keychain.remove("alice");
  EXPECT_FALSE(keychain.contains("alice"));
  EXPECT_TRUE(keychain.contains("bob"));
  keychain.removeAll();
  EXPECT_EQ(stored().size(), 1u) << "only this service's items";
}

TEST_F(KeychainTest, ReadsReportMissingItemsAndBadTextQuietlyOrLoudly) {
  EXPECT_EQ(printed([&] { EXPECT_EQ(keychain.getData("nobody"), std::nullopt); }), "");
  keychain.set(Bytes{0xff, 0xfe}, "bin");
  EXPECT_EQ(keychain.getData("bin"), (Bytes{0xff, 0xfe}));
  EXPECT_EQ(printed([&] {
              try {
                keychain.getString("bin");
                ADD_FAILURE() << "no error";
              } catch (const KeychainError& e) {
                EXPECT_EQ(e.status(), Status::conversionError);
              }
            }),
            "failed to convert data to string\n");
  EXPECT_EQ(printed([&] {
              EXPECT_THROW(keychain.set(std::string_view("\xc3\x28"), "bad"), KeychainError);
            }),
            "failed to convert string to data\n");

  ScriptedBackend scripted;
  scripted.result = security::Dictionary{};  // a result that is no data
  EXPECT_EQ(
      printed([&] {
        try {
          keychain.backend(std::shared_ptr<ScriptedBackend>(&scripted, [](auto*) {})).getData("x");
        } catch (const KeychainError& e) {
          EXPECT_EQ(e.status(), Status::unexpectedError);
        }
      }),
      "");
}

TEST_F(KeychainTest, SubscriptsSwallowErrors) {
  keychain.setString("alice", "pw");
  EXPECT_EQ(keychain.string("alice"), "pw");
  keychain.setString("alice", std::nullopt);
  EXPECT_TRUE(stored().empty());
  keychain.setData("alice", bytes("raw"));
  EXPECT_EQ(keychain.data("alice"), bytes("raw"));

  memory.storage->failWith(security::status::kNotAvailable);
  const std::string out = printed([&] {
    EXPECT_EQ(keychain.string("alice"), std::nullopt);
    EXPECT_EQ(keychain.data("alice"), std::nullopt);
    EXPECT_EQ(keychain.attributes("alice"), std::nullopt);
    keychain.setString("alice", "x");
    keychain.setData("alice", std::nullopt);
  });
  EXPECT_NE(out.find("OSStatus error:[-25291] No keychain is available."), std::string::npos);
  EXPECT_THROW(keychain.set("x", "alice"), KeychainError);
}

TEST_F(KeychainTest, RefusesAPolicyItCannotEnforce) {
  const auto guarded =
      keychain.accessibility(Accessibility::whenUnlocked, AuthenticationPolicy::userPresence);
  EXPECT_EQ(guarded.authenticationPolicy(), AuthenticationPolicy::userPresence);
  EXPECT_EQ(printed([&] {
              try {
                guarded.set("pw", "alice");
                ADD_FAILURE() << "stored";
              } catch (const KeychainError& e) {
                EXPECT_EQ(e.status(), Status::unimplemented);
              }
            }),
            "Function or operation not implemented.\n");
  EXPECT_TRUE(stored().empty());
}

TEST(Keychain, InitialisersAndQueries) {
  EXPECT_EQ(Keychain().service(), "");
  setApplicationId("org.example.App");
  EXPECT_EQ(Keychain().service(), "org.example.App");
  EXPECT_EQ(Keychain::withAccessGroup("group").service(), "org.example.App");
  setApplicationId("");
  const auto both = Keychain::withService("svc", "group");
  EXPECT_EQ(both.accessGroup(), "group");
  EXPECT_EQ(both.authenticationUI(), AuthenticationUI::allow);
  EXPECT_EQ(both.authenticationUI(AuthenticationUI::skip).authenticationUI(),
            AuthenticationUI::skip);
  EXPECT_EQ(both.label("x").label(), "x");
  EXPECT_EQ(both.label(), std::nullopt) << "modifiers copy";

  const auto q = both.searchQuery(false);
  std::vector<std::string> keys;
  for (const auto& [key, value] : q) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{k::kClass, k::kAccessGroup, k::kSynchronizable,
                                            k::kService}));
  EXPECT_EQ(*q.get<bool>(k::kSynchronizable), false);
  EXPECT_TRUE(both.searchQuery(true).get<security::SynchronizableAny>(k::kSynchronizable));

  const auto withPort = Keychain::withServer("https://example.com:8443/x", ProtocolType::https);
  EXPECT_EQ(withPort.itemClass(), ItemClass::internetPassword);
  EXPECT_EQ(*withPort.searchQuery(true).get<std::string>(k::kServer), "example.com");
  EXPECT_EQ(*withPort.searchQuery(true).get<std::int64_t>(k::kPort), 8443);
  EXPECT_EQ(*withPort.searchQuery(true).get<std::string>(k::kProtocol),
            rawValue(ProtocolType::https));
  const auto noPort = Keychain::withServer("https://example.com", ProtocolType::https);
  EXPECT_FALSE(noPort.searchQuery(true).contains(k::kPort));

  // A server without a host would reach every server's items.
  for (const char* server : {"example.com", "", "has space"}) {
    try {
      Keychain::withServer(server, ProtocolType::https);
      ADD_FAILURE() << server;
    } catch (const KeychainError& e) {
      EXPECT_EQ(e.status(), Status::param) << server;
    }
  }
}

TEST(Keychain, UnexpectedAnswersBecomeStatusErrors) {
  auto scripted = std::make_shared<ScriptedBackend>();
  const auto keychain = Keychain::withService("svc").backend(scripted);
  scripted->status = security::status::kInteractionNotAllowed;
  EXPECT_TRUE(keychain.contains("a", true));
  EXPECT_FALSE(keychain.contains("a", false));
  EXPECT_FALSE(scripted->queries.back().contains(k::kUseAuthenticationUI));
  EXPECT_EQ(*scripted->queries[0].get<std::string>(k::kUseAuthenticationUI),
            rawValue(AuthenticationUI::fail));
  scripted->status = -12345;
  EXPECT_EQ(printed([&] { EXPECT_THROW(keychain.contains("a"), KeychainError); }),
            "OSStatus error:[-99999] Unexpected error has occurred.\n");
}

}  // namespace
}  // namespace keychain
