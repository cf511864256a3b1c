#pragma once

#include "security/Dictionary.h"

// The keys and fixed values of item dictionaries. The attribute keys are also the attribute
// names stored with each secret, so their texts are a stored format: never change them.
namespace security::key {
inline constexpr const char* kClass = "class";
inline constexpr const char* kAccessible = "accessible";
inline constexpr const char* kAccessControl = "accessControl";
inline constexpr const char* kAccessGroup = "accessGroup";
inline constexpr const char* kSynchronizable = "synchronizable";
inline constexpr const char* kCreationDate = "creationDate";
inline constexpr const char* kModificationDate = "modificationDate";
inline constexpr const char* kDescription = "description";
inline constexpr const char* kComment = "comment";
inline constexpr const char* kCreator = "creator";
inline constexpr const char* kType = "type";
inline constexpr const char* kLabel = "label";
inline constexpr const char* kIsInvisible = "isInvisible";
inline constexpr const char* kIsNegative = "isNegative";
inline constexpr const char* kAccount = "account";
inline constexpr const char* kService = "service";
inline constexpr const char* kGeneric = "generic";
inline constexpr const char* kSecurityDomain = "securityDomain";
inline constexpr const char* kServer = "server";
inline constexpr const char* kProtocol = "protocol";
inline constexpr const char* kAuthenticationType = "authenticationType";
inline constexpr const char* kPort = "port";
inline constexpr const char* kPath = "path";
inline constexpr const char* kMatchLimit = "matchLimit";
inline constexpr const char* kReturnData = "returnData";
inline constexpr const char* kReturnAttributes = "returnAttributes";
inline constexpr const char* kReturnRef = "returnRef";
inline constexpr const char* kReturnPersistentRef = "returnPersistentRef";
inline constexpr const char* kValueData = "valueData";
inline constexpr const char* kValueRef = "valueRef";
inline constexpr const char* kValuePersistentRef = "valuePersistentRef";
inline constexpr const char* kUseOperationPrompt = "useOperationPrompt";
inline constexpr const char* kUseAuthenticationUI = "useAuthenticationUI";
inline constexpr const char* kUseAuthenticationContext = "useAuthenticationContext";
}  // namespace security::key

namespace security::value {
inline constexpr const char* kClassGenericPassword = "generic-password";
inline constexpr const char* kClassInternetPassword = "internet-password";
inline constexpr const char* kAuthenticationUIAllow = "allow";
inline constexpr const char* kAuthenticationUIFail = "fail";
inline constexpr const char* kAuthenticationUISkip = "skip";
}  // namespace security::value

// The result codes the backends give.
namespace security::status {
inline constexpr OSStatus kSuccess = 0;
inline constexpr OSStatus kUnimplemented = -4;
inline constexpr OSStatus kIO = -36;
inline constexpr OSStatus kParam = -50;
inline constexpr OSStatus kUserCanceled = -128;
inline constexpr OSStatus kNotAvailable = -25291;
inline constexpr OSStatus kDuplicateItem = -25299;
inline constexpr OSStatus kItemNotFound = -25300;
inline constexpr OSStatus kNoSuchClass = -25306;
inline constexpr OSStatus kNoDefaultKeychain = -25307;
inline constexpr OSStatus kInteractionNotAllowed = -25308;
inline constexpr OSStatus kItemClassMissing = -34003;
inline constexpr OSStatus kUnexpected = -99999;
}  // namespace security::status
