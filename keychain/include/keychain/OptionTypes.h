#pragma once

#include <security/Constants.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

namespace keychain {

enum class ItemClass { genericPassword, internetPassword };

enum class ProtocolType {
  ftp,
  ftpAccount,
  http,
  irc,
  nntp,
  pop3,
  smtp,
  socks,
  imap,
  ldap,
  appleTalk,
  afp,
  telnet,
  ssh,
  ftps,
  https,
  httpProxy,
  httpsProxy,
  ftpProxy,
  smb,
  rtsp,
  rtspProxy,
  daap,
  eppc,
  ipp,
  nntps,
  ldaps,
  telnetS,
  imaps,
  ircs,
  pop3S
};

// `default_` stands for the case named "default".
enum class AuthenticationType { ntlm, msn, dpa, rpa, httpBasic, httpDigest, htmlForm, default_ };

enum class Accessibility {
  whenUnlocked,
  afterFirstUnlock,
  always,
  whenPasscodeSetThisDeviceOnly,
  whenUnlockedThisDeviceOnly,
  afterFirstUnlockThisDeviceOnly,
  alwaysThisDeviceOnly
};

enum class AuthenticationUI { allow, fail, skip };

// For each of the four text-valued types: rawValue is the stored constant's text (stored with
// every item, so never changed), description the readable name. Two values are equal exactly
// when their raw values are.
std::string_view rawValue(ItemClass value);
std::string_view rawValue(ProtocolType value);
std::string_view rawValue(AuthenticationType value);
std::string_view rawValue(Accessibility value);
std::string_view rawValue(AuthenticationUI value);
std::string_view description(ItemClass value);
std::string_view description(ProtocolType value);
std::string_view description(AuthenticationType value);
std::string_view description(Accessibility value);
std::string_view description(AuthenticationUI value);

// The first case whose raw value equals `text` exactly; absent when none does.
template <class T>
std::optional<T> fromRawValue(std::string_view text);
template <>
std::optional<ItemClass> fromRawValue<ItemClass>(std::string_view text);
template <>
std::optional<ProtocolType> fromRawValue<ProtocolType>(std::string_view text);
template <>
std::optional<AuthenticationType> fromRawValue<AuthenticationType>(std::string_view text);
template <>
std::optional<Accessibility> fromRawValue<Accessibility>(std::string_view text);

// Access-control flags, a set of bits.
struct AuthenticationPolicy {
  std::uint64_t rawValue = 0;

  constexpr AuthenticationPolicy() = default;
  constexpr explicit AuthenticationPolicy(std::uint64_t raw) : rawValue(raw) {}
  constexpr AuthenticationPolicy(std::initializer_list<AuthenticationPolicy> members) {
    for (auto m : members) rawValue |= m.rawValue;
  }

  static const AuthenticationPolicy userPresence, biometryAny, touchIDAny, biometryCurrentSet,
      touchIDCurrentSet, devicePasscode, watch, or_, and_, privateKeyUsage, applicationPassword;

  constexpr bool isEmpty() const { return rawValue == 0; }
  constexpr bool contains(AuthenticationPolicy m) const {
    return (rawValue & m.rawValue) == m.rawValue;
  }
  constexpr AuthenticationPolicy unionWith(AuthenticationPolicy o) const {
    return AuthenticationPolicy(rawValue | o.rawValue);
  }
  constexpr AuthenticationPolicy intersection(AuthenticationPolicy o) const {
    return AuthenticationPolicy(rawValue & o.rawValue);
  }
  constexpr AuthenticationPolicy symmetricDifference(AuthenticationPolicy o) const {
    return AuthenticationPolicy(rawValue ^ o.rawValue);
  }
  constexpr AuthenticationPolicy subtracting(AuthenticationPolicy o) const {
    return AuthenticationPolicy(rawValue & ~o.rawValue);
  }
  // (inserted: the bits were not all present before, the member)
  std::pair<bool, AuthenticationPolicy> insert(AuthenticationPolicy m) {
    const bool inserted = !contains(m);
    rawValue |= m.rawValue;
    return {inserted, m};
  }
  // The bits of m that were present, which are now cleared.
  std::optional<AuthenticationPolicy> remove(AuthenticationPolicy m) {
    const AuthenticationPolicy present = intersection(m);
    rawValue &= ~m.rawValue;
    return present.isEmpty() ? std::nullopt : std::optional(present);
  }
  // The bits of m that were already present.
  std::optional<AuthenticationPolicy> update(AuthenticationPolicy m) {
    const AuthenticationPolicy present = intersection(m);
    rawValue |= m.rawValue;
    return present.isEmpty() ? std::nullopt : std::optional(present);
  }
  constexpr bool operator==(const AuthenticationPolicy&) const = default;
};

inline constexpr AuthenticationPolicy AuthenticationPolicy::userPresence{1u};
inline constexpr AuthenticationPolicy AuthenticationPolicy::biometryAny{2u};
inline constexpr AuthenticationPolicy AuthenticationPolicy::touchIDAny{2u};
inline constexpr AuthenticationPolicy AuthenticationPolicy::biometryCurrentSet{8u};
inline constexpr AuthenticationPolicy AuthenticationPolicy::touchIDCurrentSet{8u};
inline constexpr AuthenticationPolicy AuthenticationPolicy::devicePasscode{16u};
inline constexpr AuthenticationPolicy AuthenticationPolicy::watch{32u};
inline constexpr AuthenticationPolicy AuthenticationPolicy::or_{16384u};
inline constexpr AuthenticationPolicy AuthenticationPolicy::and_{32768u};
inline constexpr AuthenticationPolicy AuthenticationPolicy::privateKeyUsage{1u << 30};
inline constexpr AuthenticationPolicy AuthenticationPolicy::applicationPassword{1ull << 31};

}  // namespace keychain
