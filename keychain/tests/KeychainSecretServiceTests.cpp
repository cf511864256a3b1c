#include <security/LibsecretStorage.h>
#include <security/SecretItemEngine.h>
#include <testsupport/SecretServiceSandbox.h>

#include "KeychainTestSupport.h"

namespace keychain {
namespace {

using testing::printed;

// The keychain against gnome-keyring on a private session bus.
class KeychainSecretServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& sandbox = testsupport::SecretServiceSandbox::instance();
    if (!sandbox.unavailableReason().empty()) GTEST_SKIP() << sandbox.unavailableReason();
    ASSERT_TRUE(sandbox.startKeyring());
    backend = std::make_shared<security::SecretItemEngine>(
        std::make_shared<security::LibsecretStorage>(), security::kDefaultSchemaPrefix);
    keychain = Keychain::withService("org.example.Test").backend(backend);
    keychain.removeAll();
  }
  void TearDown() override {
    if (!backend) return;
    auto& sandbox = testsupport::SecretServiceSandbox::instance();
    sandbox.stopKeyring();  // unlocks again on the next start
    sandbox.startKeyring();
    keychain.removeAll();
  }
  std::shared_ptr<security::SecretBackend> backend;
  Keychain keychain = Keychain::withService("unused");
};

TEST_F(KeychainSecretServiceTest, StoresListsAndRemovesItems) {
  keychain.set("first", "alice");
  keychain.set("second", "alice");
  keychain.set(Bytes{0xff, 0x00, 0x01}, "bob");
  EXPECT_EQ(keychain.getString("alice"), "second");
  EXPECT_EQ(keychain.getData("bob"), (Bytes{0xff, 0x00, 0x01}));
  auto attributes = keychain.attributes("alice");
  ASSERT_TRUE(attributes);
  EXPECT_EQ(attributes->label(), "org.example.Test – alice");
  EXPECT_EQ(attributes->synchronizable(), false);
  EXPECT_TRUE(attributes->creationDate());
  EXPECT_EQ(keychain.allKeys().size(), 2u);
  EXPECT_EQ(Keychain::allKeys(ItemClass::genericPassword, backend).size(), 2u);

  const auto web =
      Keychain::withServer("https://example.com:8443", ProtocolType::https).backend(backend);
  web.set("token", "carol");
  const auto listed = Keychain::allItems(ItemClass::internetPassword, backend);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(*listed[0].get<std::string>("server"), "example.com");
  EXPECT_EQ(*listed[0].get<std::string>("protocol"), "HTTPS");
  web.removeAll();

  keychain.remove("alice");
  EXPECT_FALSE(keychain.contains("alice"));
  keychain.removeAll();
  EXPECT_EQ(keychain.description(), "[]");
}

TEST_F(KeychainSecretServiceTest, ALockedKeyringNeedsInteraction) {
  keychain.set("pw", "alice");
  ASSERT_TRUE(testsupport::SecretServiceSandbox::instance().lockLogin());
  EXPECT_TRUE(keychain.contains("alice", true));
  EXPECT_FALSE(keychain.authenticationUI(AuthenticationUI::fail).contains("alice"));
  // Reading may ask to unlock; with no one to answer the prompt the read is refused.
  EXPECT_EQ(printed([&] {
              try {
                keychain.getData("alice");
                ADD_FAILURE() << "read a locked item";
              } catch (const KeychainError& e) {
                EXPECT_EQ(e.status(), Status::userCanceled);
              }
            }),
            "OSStatus error:[-128] User canceled the operation.\n");
  // Writing checks without asking, then updates the existing item rather than adding one.
  EXPECT_THROW(keychain.set("new", "alice"), KeychainError);
  testsupport::SecretServiceSandbox::instance().stopKeyring();
  testsupport::SecretServiceSandbox::instance().startKeyring();
  EXPECT_EQ(keychain.allKeys().size(), 1u);
}

TEST_F(KeychainSecretServiceTest, NoServiceIsAStatusError) {
  testsupport::SecretServiceSandbox::instance().stopKeyring();
  EXPECT_EQ(printed([&] {
              try {
                keychain.set("pw", "alice");
                ADD_FAILURE() << "stored without a service";
              } catch (const KeychainError& e) {
                EXPECT_EQ(e.status(), Status::notAvailable);
              }
            }),
            "OSStatus error:[-25291] No keychain is available. You may need to restart your "
            "computer.\n");
}

}  // namespace
}  // namespace keychain
