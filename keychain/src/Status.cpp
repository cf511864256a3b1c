#include "keychain/Status.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "foundation/DebugLog.h"

namespace keychain {
namespace {

constexpr StatusInfo kStatuses[] = {
#define X(name, code, text) {Status::name, #name, text},
#include "keychain/StatusCases.inc"
#undef X
};

// Sorted by code for lookups.
const std::vector<StatusInfo>& byCode() {
  static const std::vector<StatusInfo> sorted = [] {
    std::vector<StatusInfo> v(std::begin(kStatuses), std::end(kStatuses));
    std::sort(v.begin(), v.end(),
              [](const StatusInfo& a, const StatusInfo& b) { return a.status < b.status; });
    return v;
  }();
  return sorted;
}

const StatusInfo* lookup(OSStatus code) {
  const auto& v = byCode();
  auto it = std::lower_bound(v.begin(), v.end(), code, [](const StatusInfo& info, OSStatus c) {
    return rawValue(info.status) < c;
  });
  return it != v.end() && rawValue(it->status) == code ? &*it : nullptr;
}

class Category final : public std::error_category {
 public:
  const char* name() const noexcept override { return KeychainStoreErrorDomain; }
  std::string message(int code) const override {
    return std::string(description(statusFromCode(code)));
  }
};

}  // namespace

std::span<const StatusInfo> allStatuses() {
  return kStatuses;
}

Status statusFromCode(OSStatus code) {
  const StatusInfo* info = lookup(code);
  return info ? info->status : Status::unexpectedError;
}

std::optional<Status> statusFromRawValue(OSStatus code) {
  const StatusInfo* info = lookup(code);
  return info ? std::optional<Status>(info->status) : std::nullopt;
}

std::string_view description(Status s) {
  const StatusInfo* info = lookup(rawValue(s));
  return info ? info->description : lookup(rawValue(Status::unexpectedError))->description;
}
std::string_view name(Status s) {
  const StatusInfo* info = lookup(rawValue(s));
  return info ? info->name : std::string_view();
}

const std::error_category& keychainCategory() {
  static const Category category;
  return category;
}

Status errorForStatus(OSStatus code) {
  const Status s = statusFromCode(code);
  foundation::debugLog("OSStatus error:[" + std::to_string(errorCode(s)) + "] " +
                       std::string(description(s)));
  return s;
}

}  // namespace keychain
