#include "URLSessionErrors.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>

namespace foundation::detail {
namespace {

using Code = URLError::Code;

URLError withDetail(Code code, std::string_view description, const FailureContext& context,
                    CURLcode result) {
  std::string text(description);
  const std::string detail = context.detail.empty() ? curl_easy_strerror(result) : context.detail;
  text += " (" + detail + ")";
  return {code, std::move(text)};
}

bool looksOffline(const FailureContext& context) {
  if (context.osErrno == ENETUNREACH) return true;
  return !context.hostIsLoopback && !context.networkInterfaceUp;
}

}  // namespace

URLError urlErrorForCurlResult(CURLcode code, const FailureContext& context) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return URLError::make(looksOffline(context) ? Code::notConnectedToInternet
                                                  : Code::cannotFindHost);
    case CURLE_COULDNT_CONNECT:
      return URLError::make(looksOffline(context) ? Code::notConnectedToInternet
                                                  : Code::cannotConnectToHost);
    case CURLE_OPERATION_TIMEDOUT:
      return URLError::make(Code::timedOut);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
      return URLError::make(Code::networkConnectionLost);
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:  // after the scheme check: an HTTP/0.9 or garbled reply
    case CURLE_BAD_CONTENT_ENCODING:
      return URLError::make(Code::badServerResponse);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return withDetail(Code::unknown,
                        "An SSL error has occurred and a secure connection to the server cannot "
                        "be made.",
                        context, code);
    default:
      return withDetail(Code::unknown, URLError::make(Code::unknown).localizedDescription, context,
                        code);
  }
}

bool hasNetworkInterfaceUp() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return true;  // unknown: don't claim to be offline
  bool up = false;
  for (const ifaddrs* it = list; it && !up; it = it->ifa_next) {
    if (!it->ifa_addr) continue;
    const int family = it->ifa_addr->sa_family;
    const bool running = (it->ifa_flags & IFF_UP) && (it->ifa_flags & IFF_RUNNING);
    up = running && !(it->ifa_flags & IFF_LOOPBACK) && (family == AF_INET || family == AF_INET6);
  }
  freeifaddrs(list);
  return up;
}

bool isLoopbackHost(std::string_view host) {
  if (host == "localhost" || host.ends_with(".localhost")) return true;
  std::string bare(host);
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']')
    bare = bare.substr(1, bare.size() - 2);
  in_addr v4{};
  if (inet_pton(AF_INET, bare.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, bare.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
  return false;
}

URLError unsupportedURLError() {
  return {Code::unknown, "unsupported URL"};
}

URLError tooManyRedirectsError() {
  return {Code::unknown, "too many HTTP redirects"};
}

}  // namespace foundation::detail
