#include <gtest/gtest.h>
#include <keychain/Status.h>

#include <set>

namespace keychain {
namespace {

std::string logLine(OSStatus code) {
  ::testing::internal::CaptureStdout();
  errorForStatus(code);
  return ::testing::internal::GetCapturedStdout();
}

TEST(Status, TableHasEveryCaseOnceWithContiguousRuns) {
  const auto all = allStatuses();
  ASSERT_EQ(all.size(), 403u);
  std::set<OSStatus> codes;
  std::set<std::string_view> names;
  for (const auto& s : all) {
    codes.insert(rawValue(s.status));
    names.insert(s.name);
  }
  EXPECT_EQ(codes.size(), 403u);
  EXPECT_EQ(names.size(), 403u);
  // The runs: first case, last case and the number of cases from one to the other.
  struct Run {
    Status first, last;
    std::size_t count;
  };
  for (const Run& run :
       {Run{Status::notAvailable, Status::inDarkWake, 30},
        Run{Status::aclNotSimple, Status::trustNotAvailable, 6},
        Run{Status::unsupportedFormat, Status::pkcs12VerifyFailure, 9},
        Run{Status::invalidKey, Status::internal, 3},
        Run{Status::itemInvalidKey, Status::upgradePending, 20},
        Run{Status::mpSignatureInvalid, Status::otrIDTooNew, 3},
        Run{Status::serviceNotAvailable, Status::timestampRevocationNotification, 314}}) {
    std::size_t begin = 0;
    while (all[begin].status != run.first) ++begin;
    ASSERT_EQ(all[begin + run.count - 1].status, run.last) << name(run.first);
    for (std::size_t i = 1; i < run.count; ++i)
      EXPECT_EQ(rawValue(all[begin + i].status), rawValue(all[begin].status) - OSStatus(i));
  }
  // Every description is a sentence but one, which is empty.
  for (const auto& s : all)
    EXPECT_EQ(s.description.empty(), s.status == Status::internalComponent) << s.name;
}

TEST(Status, LooksUpCodesAndDescribesThem) {
  struct Case {
    OSStatus code;
    Status status;
    std::string_view name, description;
  };
  for (const Case& c : {
           Case{0, Status::success, "success", "No error."},
           Case{-25300, Status::itemNotFound, "itemNotFound",
                "The specified item could not be found in the keychain."},
           Case{-49, Status::opWr, "opWr", "file already open with with write permission"},
           Case{-34011, Status::returnPersitentRefUnsupported, "returnPersitentRefUnsupported",
                "The caller passed in a kSecReturnPersistentRef key to a function which does not "
                "support it."},
           Case{-67594, Status::conversionError, "conversionError",
                "A conversion error has occurred."},
           Case{-67827, Status::invaldCRLAuthority, "invaldCRLAuthority",
                "The CRL authority was not valid."},
           Case{-67852, Status::invalidTupleCredendtials, "invalidTupleCredendtials",
                "The tuple credentials are not valid."},
           Case{-67898, Status::timestampRevocationNotification, "timestampRevocationNotification",
                "A timestamp authority revocation notification was issued."},
           Case{-99999, Status::unexpectedError, "unexpectedError",
                "Unexpected error has occurred."},
       }) {
    EXPECT_EQ(statusFromCode(c.code), c.status);
    EXPECT_EQ(statusFromRawValue(c.code), c.status);
    EXPECT_EQ(name(c.status), c.name);
    EXPECT_EQ(description(c.status), c.description);
    EXPECT_EQ(errorCode(c.status), c.code);
  }
  EXPECT_EQ(statusFromCode(12345), Status::unexpectedError);
  EXPECT_EQ(statusFromRawValue(12345), std::nullopt);
}

TEST(Status, ErrorsCarryTheDomainCodeAndDescription) {
  EXPECT_STREQ(KeychainStoreErrorDomain, "com.tallowmerebrooks.KeychainStore.error");
  const KeychainError error(Status::duplicateItem);
  EXPECT_STREQ(error.code().category().name(), "com.tallowmerebrooks.KeychainStore.error");
  EXPECT_EQ(error.code().value(), -25299);
  EXPECT_EQ(error.code().message(), "The specified item already exists in the keychain.");
  EXPECT_EQ(error.status(), Status::duplicateItem);
  EXPECT_EQ(std::error_code(Status::itemNotFound), make_error_code(Status::itemNotFound));
}

TEST(Status, TheErrorPathPrintsOneLine) {
  EXPECT_EQ(logLine(-25299),
            "OSStatus error:[-25299] The specified item already exists in the keychain.\n");
  EXPECT_EQ(logLine(12345), "OSStatus error:[-99999] Unexpected error has occurred.\n");
  EXPECT_EQ(logLine(-2070), "OSStatus error:[-2070] \n");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(errorForStatus(-128), Status::userCanceled);
  ::testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace keychain
