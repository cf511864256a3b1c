#pragma once

#include <security/Dictionary.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace keychain {

using security::OSStatus;

// The result codes of keychain calls, each with a fixed English description.
enum class Status : std::int32_t {
#define X(name, code, text) name = code,
#include "keychain/StatusCases.inc"
#undef X
};

inline constexpr const char* KeychainStoreErrorDomain = "com.tallowmerebrooks.KeychainStore.error";

struct StatusInfo {
  Status status;
  std::string_view name;
  std::string_view description;
};
// Every case in declaration order.
std::span<const StatusInfo> allStatuses();

// Never fails: an unknown code is unexpectedError.
Status statusFromCode(OSStatus code);
// Absent for an unknown code.
std::optional<Status> statusFromRawValue(OSStatus code);
inline OSStatus rawValue(Status s) {
  return static_cast<OSStatus>(s);
}
inline std::int64_t errorCode(Status s) {
  return static_cast<std::int64_t>(s);
}
std::string_view description(Status s);
std::string_view name(Status s);

// The error domain: name() is the domain, message(code) the description.
const std::error_category& keychainCategory();
inline std::error_code make_error_code(Status s) {
  return {rawValue(s), keychainCategory()};
}

// What the keychain throws.
class KeychainError : public std::system_error {
 public:
  explicit KeychainError(Status s) : std::system_error(make_error_code(s)) {}
  Status status() const { return static_cast<Status>(code().value()); }
};

// Maps a failed call's code to its status and writes "OSStatus error:[<code>] <description>"
// to standard output. Unknown codes come out as unexpectedError (-99999).
Status errorForStatus(OSStatus code);

}  // namespace keychain

template <>
struct std::is_error_code_enum<keychain::Status> : std::true_type {};
