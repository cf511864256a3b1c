#include <gtest/gtest.h>
#include <security/Constants.h>
#include <security/InMemorySecretStorage.h>
#include <security/LibsecretStorage.h>
#include <security/SecretItemEngine.h>
#include <testsupport/SecretServiceSandbox.h>

namespace security {
namespace {

namespace k = key;
using status::kDuplicateItem;
using status::kInteractionNotAllowed;
using status::kItemNotFound;
using status::kSuccess;

Bytes bytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Dictionary generic(std::string account, bool synchronizable = false) {
  return {{k::kClass, std::string(value::kClassGenericPassword)},
          {k::kService, std::string("svc")},
          {k::kAccount, std::move(account)},
          {k::kSynchronizable, synchronizable}};
}

Dictionary withValue(Dictionary d, std::string_view secret) {
  d.set(k::kValueData, bytes(secret));
  return d;
}

// The same cases run against the in-memory storage and against gnome-keyring on a private bus.
class SecretItemEngineTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "memory") {
      memory = std::make_shared<InMemorySecretStorage>();
      storage = memory;
    } else {
      auto& sandbox = testsupport::SecretServiceSandbox::instance();
      if (!sandbox.unavailableReason().empty()) GTEST_SKIP() << sandbox.unavailableReason();
      ASSERT_TRUE(sandbox.startKeyring());
      storage = std::make_shared<LibsecretStorage>();
    }
    engine = std::make_shared<SecretItemEngine>(storage, kDefaultSchemaPrefix);
    clear();
  }
  void TearDown() override {
    if (GetParam() != "memory" && engine) {
      auto& sandbox = testsupport::SecretServiceSandbox::instance();
      if (locked) {  // a new daemon unlocks the login keyring with the known password again
        sandbox.stopKeyring();
        sandbox.startKeyring();
      }
      clear();
    }
  }
  void clear() {
    for (const char* c : {value::kClassGenericPassword, value::kClassInternetPassword})
      engine->remove({{k::kClass, std::string(c)}});
  }
  void lock() {
    locked = true;
    if (memory) {
      memory->setLocked(true);
    } else {
      ASSERT_TRUE(testsupport::SecretServiceSandbox::instance().lockLogin());
    }
  }
  std::optional<std::string> read(Dictionary query) {
    query.set(k::kReturnData, true);
    Result result;
    if (engine->copyMatching(query, &result) != kSuccess) return std::nullopt;
    auto* data = std::get_if<Bytes>(&result);
    return data ? std::optional<std::string>(std::string(data->begin(), data->end()))
                : std::nullopt;
  }

  std::shared_ptr<InMemorySecretStorage> memory;
  std::shared_ptr<SecretStorage> storage;
  std::shared_ptr<SecretItemEngine> engine;
  bool locked = false;
};

TEST_P(SecretItemEngineTest, AddsFindsUpdatesAndRemovesItems) {
  EXPECT_EQ(engine->copyMatching(generic("alice"), nullptr), kItemNotFound);
  ASSERT_EQ(engine->add(withValue(generic("alice"), std::string("pw\0\xff", 4))), kSuccess);
  EXPECT_EQ(read(generic("alice")), std::string("pw\0\xff", 4)) << "bytes round-trip";

  Dictionary query = generic("alice");
  query.set(k::kReturnAttributes, true);
  query.set(k::kReturnData, true);
  Result result;
  ASSERT_EQ(engine->copyMatching(query, &result), kSuccess);
  const auto& attributes = std::get<Dictionary>(result);
  EXPECT_EQ(*attributes.get<std::string>(k::kClass), value::kClassGenericPassword);
  EXPECT_EQ(*attributes.get<std::string>(k::kAccount), "alice");
  EXPECT_EQ(*attributes.get<bool>(k::kSynchronizable), false);
  EXPECT_EQ(*attributes.get<std::string>(k::kLabel), "svc – alice");
  EXPECT_FALSE(attributes.get<Bytes>(k::kValuePersistentRef)->empty());
  EXPECT_EQ(attributes.get<Bytes>(k::kValueData)->size(), 4u);
  EXPECT_FALSE(attributes.contains(kSchemaAttribute));

  // The primary attributes stay unique; another synchronizable state is another item.
  EXPECT_EQ(engine->add(withValue(generic("alice"), "again")), kDuplicateItem);
  ASSERT_EQ(engine->add(withValue(generic("alice", true), "synced")), kSuccess);
  EXPECT_EQ(read(generic("alice")), std::string("pw\0\xff", 4));
  EXPECT_EQ(read(generic("alice", true)), "synced");

  // An update touches exactly what its query matches.
  Dictionary changes{{k::kValueData, bytes("new")}, {k::kComment, std::string("note")}};
  ASSERT_EQ(engine->update(generic("alice", true), changes), kSuccess);
  EXPECT_EQ(read(generic("alice", true)), "new");
  EXPECT_EQ(read(generic("alice")), std::string("pw\0\xff", 4));
  Dictionary any = generic("alice");
  any.set(k::kSynchronizable, SynchronizableAny{});
  any.set(k::kMatchLimit, MatchLimit::all);
  any.set(k::kReturnAttributes, true);
  ASSERT_EQ(engine->copyMatching(any, &result), kSuccess);
  EXPECT_EQ(std::get<std::vector<Dictionary>>(result).size(), 2u);

  EXPECT_EQ(engine->update(generic("bob"), changes), kItemNotFound);
  ASSERT_EQ(engine->remove(any), kSuccess) << "removes every match";
  EXPECT_EQ(engine->copyMatching(any, nullptr), kItemNotFound);
  EXPECT_EQ(engine->remove(any), kItemNotFound);
}

TEST_P(SecretItemEngineTest, SearchesOnlyItsOwnSchema) {
  // Another program's secret with the same attribute names.
  ASSERT_EQ(storage->create({{kSchemaAttribute, "org.example.Mail"},
                             {k::kClass, value::kClassGenericPassword},
                             {k::kService, "svc"},
                             {k::kAccount, "alice"},
                             {k::kSynchronizable, "false"}},
                            "mail", bytes("theirs")),
            kSuccess);
  Dictionary all{{k::kClass, std::string(value::kClassGenericPassword)},
                 {k::kMatchLimit, MatchLimit::all},
                 {k::kReturnAttributes, true}};
  EXPECT_EQ(engine->copyMatching(all, nullptr), kItemNotFound);
  ASSERT_EQ(engine->add(withValue(generic("alice"), "ours")), kSuccess) << "no duplicate of theirs";
  EXPECT_EQ(read(generic("alice")), "ours");
  EXPECT_EQ(engine->remove(all), kSuccess);
  std::vector<StoredItem> left;
  ASSERT_EQ(
      storage->search({{kSchemaAttribute, "org.example.Mail"}}, LockedItems::skip, true, left),
      kSuccess);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].secret, bytes("theirs"));
  storage->remove(left[0]);
}

TEST_P(SecretItemEngineTest, RefusesPoliciesItCannotEnforceAndBadQueries) {
  Dictionary protectedItem = withValue(generic("alice"), "pw");
  protectedItem.set(k::kAccessControl, std::string("userPresence"));
  EXPECT_EQ(engine->add(protectedItem), status::kUnimplemented);
  EXPECT_EQ(engine->copyMatching(generic("alice"), nullptr), kItemNotFound) << "nothing stored";
  EXPECT_EQ(engine->copyMatching({{k::kAccount, std::string("a")}}, nullptr),
            status::kItemClassMissing);
  EXPECT_EQ(engine->copyMatching({{k::kClass, std::string("certificate")}}, nullptr),
            status::kNoSuchClass);
  Dictionary badUI = generic("alice");
  badUI.set(k::kUseAuthenticationUI, std::string("sometimes"));
  EXPECT_EQ(engine->copyMatching(badUI, nullptr), status::kParam);
}

TEST_P(SecretItemEngineTest, LockedItemsNeedInteractionOrAreSkipped) {
  ASSERT_EQ(engine->add(withValue(generic("alice"), "pw")), kSuccess);
  lock();
  Dictionary fail = generic("alice");
  fail.set(k::kUseAuthenticationUI, std::string(value::kAuthenticationUIFail));
  EXPECT_EQ(engine->copyMatching(fail, nullptr), kInteractionNotAllowed);
  Dictionary skip = generic("alice");
  skip.set(k::kUseAuthenticationUI, std::string(value::kAuthenticationUISkip));
  EXPECT_EQ(engine->copyMatching(skip, nullptr), kItemNotFound);
  if (memory) {
    memory->setUserUnlocks(false);
    EXPECT_EQ(engine->copyMatching(generic("alice"), nullptr), status::kUserCanceled);
    memory->setUserUnlocks(true);
    EXPECT_EQ(read(generic("alice")), "pw") << "allowed to ask, the user unlocks";
  }
}

TEST_P(SecretItemEngineTest, AServiceThatIsNotRunningIsAStatusNotACrash) {
  if (memory) {
    memory->failWith(status::kNotAvailable);
  } else {
    testsupport::SecretServiceSandbox::instance().stopKeyring();
  }
  EXPECT_EQ(engine->copyMatching(generic("alice"), nullptr), status::kNotAvailable);
  EXPECT_EQ(engine->add(withValue(generic("alice"), "pw")), status::kNotAvailable);
  if (memory) {
    memory->failWith(kSuccess);
  } else {
    ASSERT_TRUE(testsupport::SecretServiceSandbox::instance().startKeyring());
  }
  EXPECT_EQ(engine->add(withValue(generic("alice"), "pw")), kSuccess) << "found again once it runs";
}

INSTANTIATE_TEST_SUITE_P(Storage, SecretItemEngineTest, ::testing::Values("memory", "gnomeKeyring"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace security
