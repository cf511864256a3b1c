#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>

#include "foundation/URLSession.h"

namespace foundation::detail {

// What the machine looked like when a transfer failed, for telling "offline" apart.
struct FailureContext {
  long osErrno = 0;                // CURLINFO_OS_ERRNO
  bool hostIsLoopback = false;     // the request went to this machine
  bool networkInterfaceUp = true;  // some non-loopback interface is up with an address
  std::string detail;              // libcurl's error buffer
};

// libcurl's result as a URLError. "Offline" (notConnectedToInternet) is reported when the
// host could not be resolved or connected to and either the system said the network is
// unreachable, or, for a host other than this machine, no non-loopback interface is up.
URLError urlErrorForCurlResult(CURLcode code, const FailureContext& context);

bool hasNetworkInterfaceUp();
bool isLoopbackHost(std::string_view host);

URLError unsupportedURLError();
URLError tooManyRedirectsError();

}  // namespace foundation::detail
