// Response heads from a hostile server, followed hop by hop as a task follows them: the head
// parser takes any line, every request that follows a redirect has an absolute URL that parses
// back alike, and the credentials of the first request never reach another origin, where the
// origin is what libcurl itself makes of the URL it is handed.
#include <curl/curl.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "URLSessionHTTP.h"
#include "foundation/URL.h"

namespace {

using namespace foundation;

struct Origin {
  std::string scheme, host, port;
  bool operator==(const Origin&) const = default;
};

std::string lowered(const char* text) {
  std::string out(text ? text : "");
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Where libcurl would connect for `url`; absent when it would not take the URL at all.
std::optional<Origin> curlOrigin(const std::string& url) {
  CURLU* handle = curl_url();
  std::optional<Origin> origin;
  if (curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
    char *scheme = nullptr, *host = nullptr, *port = nullptr;
    if (curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
        curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(handle, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK)
      origin = Origin{lowered(scheme), lowered(host), lowered(port)};
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
  }
  curl_url_cleanup(handle);
  return origin;
}

bool carriesCredentials(const URLRequest& request) {
  for (const char* field : {"Authorization", "Proxy-Authorization", "Cookie"})
    if (request.allHTTPHeaderFields.contains(field)) return true;
  return false;
}

URLRequest firstRequest(std::uint8_t choice) {
  static const char* const kURLs[] = {"https://chat.example/v1/chat/completions",
                                      "http://127.0.0.1:8080/v1/chat/completions",
                                      "https://[::1]/releases.rss", "http://Feed.Example:80/a/b?c"};
  static const char* const kMethods[] = {"POST", "GET", "HEAD", "PUT"};
  URLRequest request(*URL::parse(kURLs[choice % 4]));
  request.httpMethod = kMethods[(choice >> 2) % 4];
  if (request.httpMethod == "POST" || request.httpMethod == "PUT") {
    request.httpBody = "{\"stream\":true}";
    request.setValue("application/json", "Content-Type");
  }
  request.setValue("Bearer sk-secret", "Authorization");
  // The session's own fields join the request's as a task starts, whatever their spelling.
  HeaderFields session = {{"cookie", "id=1"}, {"proxy-authorization", "Basic eA=="}};
  if (choice & 0x10) session.emplace("authorization", "Bearer other");
  request.allHTTPHeaderFields = detail::mergedHeaderFields(request.allHTTPHeaderFields, session);
  return request;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  URLRequest current = firstRequest(data[0]);
  const auto home = curlOrigin(current.url.absoluteString());
  if (!home) std::abort();
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  detail::ResponseHeadParser head;
  bool leftHome = false;
  for (int hop = 0; hop <= 20 && !rest.empty();) {
    // libcurl hands over one line at a time, with its line end.
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end == std::string_view::npos ? end : end + 1);
    rest.remove_prefix(line.size());
    if (head.feed(line) != detail::ResponseHeadParser::Line::end) continue;
    const int status = head.statusCode();
    if (status < 100 || status > 999) std::abort();
    if (status < 200) {  // an interim response; the real one follows
      head.reset();
      continue;
    }
    const HTTPURLResponse response{current.url, status, head.fields()};
    head.reset();
    if (!detail::isRedirectStatus(status) || !response.allHeaderFields.contains("Location")) break;
    const auto next = detail::redirectRequest(current, response);
    if (!next) break;
    if (!next->url.isAbsolute()) std::abort();
    const auto reparsed = URL::parse(next->url.absoluteString());
    if (!reparsed || !reparsed->hasSameOrigin(next->url) || reparsed->path() != next->url.path())
      std::abort();
    if (status == 303 && current.httpMethod != "HEAD" &&
        (next->httpMethod != "GET" || next->httpBody))
      std::abort();
    if ((status == 307 || status == 308) &&
        (next->httpMethod != current.httpMethod || next->httpBody != current.httpBody))
      std::abort();
    if (!detail::isSupportedURL(next->url)) break;  // the task ends there
    const auto there = curlOrigin(next->url.absoluteString());
    if (!there) break;  // libcurl refuses it: nothing is sent
    leftHome = leftHome || *there != *home;
    if (leftHome && carriesCredentials(*next)) std::abort();
    current = *next;
    ++hop;
  }
  return 0;
}
