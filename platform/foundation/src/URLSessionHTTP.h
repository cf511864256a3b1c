#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/URLSession.h"

// HTTP message rules of the URL session that need no network: response heads, header merging
// and redirects.
namespace foundation::detail {

// Collects the header lines of one response the way libcurl hands them over, one per call.
class ResponseHeadParser {
 public:
  enum class Line { statusLine, field, end, ignored };

  Line feed(std::string_view line);
  void reset();

  bool hasStatus() const { return statusCode_ != 0; }
  int statusCode() const { return statusCode_; }
  const HeaderFields& fields() const { return fields_; }

 private:
  int statusCode_ = 0;
  HeaderFields fields_;
  std::string lastField_;
};

// The request's own fields, then the additional ones it does not carry (names compared
// without regard to case).
HeaderFields mergedHeaderFields(const HeaderFields& own, const HeaderFields& additional);

bool isSupportedURL(const URL& url);
bool isRedirectStatus(int statusCode);

// The request that follows `redirect`, proposed from `previous`: the Location resolved against
// the previous URL; 301 and 302 turn POST into GET, 303 turns everything but HEAD into GET (the
// body and its fields go); 307 and 308 keep method and body. Credentials stay behind when the
// origin changes. Absent when the Location is missing or no URL.
std::optional<URLRequest> redirectRequest(const URLRequest& previous,
                                          const HTTPURLResponse& redirect);

}  // namespace foundation::detail
