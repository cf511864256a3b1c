#include <gtest/gtest.h>
#include <keychain/OptionTypes.h>

#include <cctype>
#include <set>

namespace keychain {
namespace {

// Every case round-trips through its raw value, raw values are distinct, and texts that are
// no raw value give nothing.
template <class T>
void expectRoundTrips(int count) {
  std::set<std::string_view> raws;
  for (int i = 0; i < count; ++i) {
    const T value = static_cast<T>(i);
    EXPECT_EQ(fromRawValue<T>(rawValue(value)), value);
    raws.insert(rawValue(value));
  }
  EXPECT_EQ(raws.size(), static_cast<std::size_t>(count));
  EXPECT_EQ(fromRawValue<T>(""), std::nullopt);
  EXPECT_EQ(fromRawValue<T>("no such constant"), std::nullopt);
  std::string upper(rawValue(static_cast<T>(0)));
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(fromRawValue<T>(upper), std::nullopt) << "case-sensitive";
}

TEST(OptionTypes, RawValuesRoundTrip) {
  expectRoundTrips<ItemClass>(2);
  expectRoundTrips<ProtocolType>(31);
  expectRoundTrips<AuthenticationType>(8);
  expectRoundTrips<Accessibility>(7);
  EXPECT_EQ(fromRawValue<ProtocolType>(rawValue(ProtocolType::https)), ProtocolType::https);
}

TEST(OptionTypes, Descriptions) {
  EXPECT_EQ(description(Accessibility::afterFirstUnlock), "AfterFirstUnlock");
  EXPECT_EQ(description(ItemClass::internetPassword), "InternetPassword");
  EXPECT_EQ(description(AuthenticationUI::skip), "skip");
  EXPECT_EQ(description(ProtocolType::ftp), "FTP");
  EXPECT_EQ(description(ProtocolType::telnetS), "TelnetS");
  EXPECT_EQ(description(ProtocolType::pop3S), "POP3S");
  EXPECT_EQ(description(AuthenticationType::htmlForm), "HTMLForm");
  EXPECT_EQ(description(AuthenticationType::default_), "Default");
  EXPECT_EQ(description(Accessibility::alwaysThisDeviceOnly), "AlwaysThisDeviceOnly");
}

TEST(AuthenticationPolicy, IsASetOfBits) {
  using P = AuthenticationPolicy;
  EXPECT_EQ((P{P::biometryAny, P::devicePasscode, P::or_}).rawValue, 16402u);
  EXPECT_EQ(P{P::touchIDAny}, P{P::biometryAny});
  EXPECT_EQ(P{}.rawValue, 0u);
  EXPECT_EQ(P::applicationPassword.rawValue, 2147483648u);
  EXPECT_EQ(P::privateKeyUsage.rawValue, 1073741824u);

  P set{P::userPresence};
  EXPECT_EQ(set.insert(P::watch), std::make_pair(true, P::watch));
  EXPECT_EQ(set.insert(P::watch), std::make_pair(false, P::watch));
  EXPECT_EQ(set.remove(P{P::watch, P::and_}), P::watch) << "the bits that were present";
  EXPECT_EQ(set.remove(P::watch), std::nullopt);
  EXPECT_EQ(set.update(P::userPresence), P::userPresence);
  EXPECT_EQ(set.update(P::devicePasscode), std::nullopt);
  EXPECT_TRUE(set.contains(P{P::userPresence, P::devicePasscode}));
  EXPECT_EQ(set.subtracting(P::userPresence), P::devicePasscode);
  EXPECT_EQ(set.symmetricDifference(P{P::userPresence, P::watch}),
            (P{P::devicePasscode, P::watch}));
  EXPECT_EQ(set.intersection(P::watch), P{});
  EXPECT_EQ(set.unionWith(P::watch).rawValue, 49u);
}

}  // namespace
}  // namespace keychain
