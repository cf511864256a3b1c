#include "KeychainTestSupport.h"

namespace keychain {
namespace {

namespace k = security::key;
using security::Dictionary;
using testing::bytes;
using testing::printed;
using testing::ScriptedBackend;

Dictionary internet(std::optional<std::string> protocol) {
  Dictionary d{{k::kClass, std::string(rawValue(ItemClass::internetPassword))},
               {k::kServer, std::string("example.com")},
               {k::kAccount, std::string("alice")},
               {k::kAuthenticationType, std::string(rawValue(AuthenticationType::htmlForm))},
               {k::kValueData, bytes("pw")}};
  if (protocol) d.set(k::kProtocol, *protocol);
  return d;
}

TEST(Listing, ListsReadableItemsOfAClass) {
  security::InMemorySecretBackend memory;
  EXPECT_EQ(printed([&] {
              EXPECT_TRUE(Keychain::allKeys(ItemClass::genericPassword, memory.backend).empty());
            }),
            "")
      << "nothing found is no error";

  ASSERT_EQ(memory.backend->add(internet(std::string(rawValue(ProtocolType::https)))), 0);
  ASSERT_EQ(memory.backend->add(internet(std::nullopt)), 0);
  auto withUnknown = internet("gopher");
  withUnknown.set(k::kAccount, std::string("bob"));
  ASSERT_EQ(memory.backend->add(withUnknown), 0);
  // A generic item without an account.
  ASSERT_EQ(memory.backend->add({{k::kClass, std::string(rawValue(ItemClass::genericPassword))},
                                 {k::kService, std::string("svc")},
                                 {k::kSynchronizable, true}}),
            0);

  const auto items = Keychain::allItems(ItemClass::internetPassword, memory.backend);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(*items[0].get<std::string>("class"), "InternetPassword");
  EXPECT_EQ(*items[0].get<std::string>("protocol"), "HTTPS");
  EXPECT_EQ(*items[0].get<std::string>("authenticationType"), "HTMLForm");
  EXPECT_FALSE(items[1].contains("protocol"));
  EXPECT_FALSE(items[2].contains("protocol")) << "unknown protocol text";
  EXPECT_FALSE(items[0].contains("value")) << "listing asks for no data";
  EXPECT_FALSE(items[0].contains("service"));

  const auto keys = Keychain::allKeys(ItemClass::genericPassword, memory.backend);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0], std::make_pair(std::string("svc"), std::string()));
  const auto generic = Keychain::allItems(ItemClass::genericPassword, memory.backend);
  EXPECT_EQ(*generic[0].get<std::string>("synchronizable"), "true");
  EXPECT_EQ(Keychain::allKeys(ItemClass::internetPassword, memory.backend)[2].second, "bob");
}

TEST(Listing, ReadableItemsShowTextOrBytes) {
  Dictionary raw{{k::kAccount, std::string("a")}, {k::kValueData, bytes("héllo")}};
  EXPECT_EQ(*readableItem(raw, ItemClass::genericPassword).get<std::string>("value"), "héllo");
  raw.set(k::kValueData, Bytes{0xff, 0x00});
  const auto item = readableItem(raw, ItemClass::genericPassword);
  EXPECT_EQ(*item.get<Bytes>("value"), (Bytes{0xff, 0x00}));
  EXPECT_EQ(textForm(item), R"(["class": "GenericPassword", "key": "a", "value": 2 bytes])");
}

TEST(Listing, TheKeychainDescribesItsOwnItems) {
  security::InMemorySecretBackend memory;
  const auto keychain = Keychain::withService("svc").backend(memory.backend);
  EXPECT_EQ(keychain.description(), "[]");
  keychain.set("pw", "alice");
  Keychain::withService("other").backend(memory.backend).set("pw", "bob");
  EXPECT_EQ(keychain.description(),
            "[\n"
            R"(  ["class": "GenericPassword", "service": "svc", "key": "alice", )"
            R"("accessibility": "AfterFirstUnlock", "synchronizable": "false"])"
            "\n]");
  EXPECT_EQ(keychain.allKeys(), std::vector<std::string>{"alice"});
  EXPECT_EQ(keychain.allItems().size(), 1u);
  EXPECT_NE(keychain.debugDescription().find(R"("account": "alice")"), std::string::npos)
      << keychain.debugDescription();
}

TEST(Listing, FailuresLogAndGiveNothing) {
  auto scripted = std::make_shared<ScriptedBackend>();
  EXPECT_EQ(printed([&] {
              EXPECT_TRUE(Keychain::allItems(ItemClass::genericPassword, scripted).empty());
            }),
            "OSStatus error:[0] No error.\n")
      << "success without a result";
  EXPECT_FALSE(scripted->queries[0].contains(k::kSynchronizable));
  Keychain::allKeys(ItemClass::genericPassword, scripted);
  EXPECT_TRUE(scripted->queries[1].contains(k::kSynchronizable));

  scripted->status = security::status::kInteractionNotAllowed;
  const auto keychain = Keychain::withService("svc").backend(scripted);
  EXPECT_EQ(printed([&] { EXPECT_TRUE(keychain.allKeys().empty()); }),
            "OSStatus error:[-25308] User interaction is not allowed.\n");
  scripted->status = security::status::kItemNotFound;
  EXPECT_EQ(printed([&] { EXPECT_EQ(keychain.description(), "[]"); }), "");
}

}  // namespace
}  // namespace keychain
