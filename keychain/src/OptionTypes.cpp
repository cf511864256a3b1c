#include "keychain/OptionTypes.h"

#include <array>

namespace keychain {
namespace {

template <class T>
struct Row {
  T value;
  std::string_view raw, text;
};

namespace v = security::value;

constexpr Row<ItemClass> kItemClasses[] = {
    {ItemClass::genericPassword, v::kClassGenericPassword, "GenericPassword"},
    {ItemClass::internetPassword, v::kClassInternetPassword, "InternetPassword"},
};

constexpr Row<ProtocolType> kProtocols[] = {
    {ProtocolType::ftp, "ftp", "FTP"},
    {ProtocolType::ftpAccount, "ftp-account", "FTPAccount"},
    {ProtocolType::http, "http", "HTTP"},
    {ProtocolType::irc, "irc", "IRC"},
    {ProtocolType::nntp, "nntp", "NNTP"},
    {ProtocolType::pop3, "pop3", "POP3"},
    {ProtocolType::smtp, "smtp", "SMTP"},
    {ProtocolType::socks, "socks", "SOCKS"},
    {ProtocolType::imap, "imap", "IMAP"},
    {ProtocolType::ldap, "ldap", "LDAP"},
    {ProtocolType::appleTalk, "appletalk", "AppleTalk"},
    {ProtocolType::afp, "afp", "AFP"},
    {ProtocolType::telnet, "telnet", "Telnet"},
    {ProtocolType::ssh, "ssh", "SSH"},
    {ProtocolType::ftps, "ftps", "FTPS"},
    {ProtocolType::https, "https", "HTTPS"},
    {ProtocolType::httpProxy, "http-proxy", "HTTPProxy"},
    {ProtocolType::httpsProxy, "https-proxy", "HTTPSProxy"},
    {ProtocolType::ftpProxy, "ftp-proxy", "FTPProxy"},
    {ProtocolType::smb, "smb", "SMB"},
    {ProtocolType::rtsp, "rtsp", "RTSP"},
    {ProtocolType::rtspProxy, "rtsp-proxy", "RTSPProxy"},
    {ProtocolType::daap, "daap", "DAAP"},
    {ProtocolType::eppc, "eppc", "EPPC"},
    {ProtocolType::ipp, "ipp", "IPP"},
    {ProtocolType::nntps, "nntps", "NNTPS"},
    {ProtocolType::ldaps, "ldaps", "LDAPS"},
    {ProtocolType::telnetS, "telnets", "TelnetS"},
    {ProtocolType::imaps, "imaps", "IMAPS"},
    {ProtocolType::ircs, "ircs", "IRCS"},
    {ProtocolType::pop3S, "pop3s", "POP3S"},
};

constexpr Row<AuthenticationType> kAuthenticationTypes[] = {
    {AuthenticationType::ntlm, "ntlm", "NTLM"},
    {AuthenticationType::msn, "msn", "MSN"},
    {AuthenticationType::dpa, "dpa", "DPA"},
    {AuthenticationType::rpa, "rpa", "RPA"},
    {AuthenticationType::httpBasic, "http-basic", "HTTPBasic"},
    {AuthenticationType::httpDigest, "http-digest", "HTTPDigest"},
    {AuthenticationType::htmlForm, "html-form", "HTMLForm"},
    {AuthenticationType::default_, "default", "Default"},
};

constexpr Row<Accessibility> kAccessibilities[] = {
    {Accessibility::whenUnlocked, "when-unlocked", "WhenUnlocked"},
    {Accessibility::afterFirstUnlock, "after-first-unlock", "AfterFirstUnlock"},
    {Accessibility::always, "always", "Always"},
    {Accessibility::whenPasscodeSetThisDeviceOnly, "when-passcode-set-this-device-only",
     "WhenPasscodeSetThisDeviceOnly"},
    {Accessibility::whenUnlockedThisDeviceOnly, "when-unlocked-this-device-only",
     "WhenUnlockedThisDeviceOnly"},
    {Accessibility::afterFirstUnlockThisDeviceOnly, "after-first-unlock-this-device-only",
     "AfterFirstUnlockThisDeviceOnly"},
    {Accessibility::alwaysThisDeviceOnly, "always-this-device-only", "AlwaysThisDeviceOnly"},
};

constexpr Row<AuthenticationUI> kAuthenticationUIs[] = {
    {AuthenticationUI::allow, v::kAuthenticationUIAllow, "allow"},
    {AuthenticationUI::fail, v::kAuthenticationUIFail, "fail"},
    {AuthenticationUI::skip, v::kAuthenticationUISkip, "skip"},
};

template <class T, std::size_t N>
const Row<T>& row(const Row<T> (&table)[N], T value) {
  return table[static_cast<std::size_t>(value)];
}

template <class T, std::size_t N>
std::optional<T> find(const Row<T> (&table)[N], std::string_view text) {
  for (const auto& r : table)
    if (r.raw == text) return r.value;
  return std::nullopt;
}

}  // namespace

std::string_view rawValue(ItemClass x) {
  return row(kItemClasses, x).raw;
}
std::string_view rawValue(ProtocolType x) {
  return row(kProtocols, x).raw;
}
std::string_view rawValue(AuthenticationType x) {
  return row(kAuthenticationTypes, x).raw;
}
std::string_view rawValue(Accessibility x) {
  return row(kAccessibilities, x).raw;
}
std::string_view rawValue(AuthenticationUI x) {
  return row(kAuthenticationUIs, x).raw;
}
std::string_view description(ItemClass x) {
  return row(kItemClasses, x).text;
}
std::string_view description(ProtocolType x) {
  return row(kProtocols, x).text;
}
std::string_view description(AuthenticationType x) {
  return row(kAuthenticationTypes, x).text;
}
std::string_view description(Accessibility x) {
  return row(kAccessibilities, x).text;
}
std::string_view description(AuthenticationUI x) {
  return row(kAuthenticationUIs, x).text;
}

template <>
std::optional<ItemClass> fromRawValue<ItemClass>(std::string_view text) {
  return find(kItemClasses, text);
}
template <>
std::optional<ProtocolType> fromRawValue<ProtocolType>(std::string_view text) {
  return find(kProtocols, text);
}
template <>
std::optional<AuthenticationType> fromRawValue<AuthenticationType>(std::string_view text) {
  return find(kAuthenticationTypes, text);
}
template <>
std::optional<Accessibility> fromRawValue<Accessibility>(std::string_view text) {
  return find(kAccessibilities, text);
}

}  // namespace keychain
