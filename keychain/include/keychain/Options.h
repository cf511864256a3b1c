#pragma once

#include <foundation/URL.h>
#include <security/Dictionary.h>

#include <optional>
#include <string>

#include "keychain/OptionTypes.h"

namespace keychain {

// What a Keychain describes: one family of items and how new items are protected.
struct Options {
  ItemClass itemClass = ItemClass::genericPassword;
  std::string service;
  std::optional<std::string> accessGroup;
  std::optional<foundation::URL> server;
  std::optional<ProtocolType> protocolType;
  AuthenticationType authenticationType = AuthenticationType::default_;
  Accessibility accessibility = Accessibility::afterFirstUnlock;
  std::optional<AuthenticationPolicy> authenticationPolicy;
  bool synchronizable = false;
  std::optional<std::string> label;
  std::optional<std::string> comment;
  std::optional<std::string> authenticationPrompt;  // kept, but no prompt text can be set here
  std::optional<AuthenticationUI> authenticationUI;
  security::Opaque authenticationContext;  // handed through untouched
  security::Dictionary attributes;
};

}  // namespace keychain
