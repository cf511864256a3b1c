#include <gtest/gtest.h>

#include <cerrno>

#include "../src/URLSessionErrors.h"
#include "../src/URLSessionHTTP.h"

using foundation::HeaderFields;
using foundation::HTTPURLResponse;
using foundation::URL;
using foundation::URLError;
using foundation::URLRequest;
using namespace foundation::detail;

namespace {

TEST(ResponseHeadParserTest, ReadsStatusAndFieldsAndStartsOverOnEachStatusLine) {
  ResponseHeadParser head;
  using Line = ResponseHeadParser::Line;
  EXPECT_EQ(head.feed("Stray: before any status\r\n"), Line::ignored);
  EXPECT_EQ(head.feed("HTTP/1.1 100 Continue\r\n"), Line::statusLine);
  EXPECT_EQ(head.feed("X-Interim: 1\r\n"), Line::field);
  EXPECT_EQ(head.feed("\r\n"), Line::end);
  EXPECT_EQ(head.statusCode(), 100);

  EXPECT_EQ(head.feed("HTTP/2 404 \r\n"), Line::statusLine);
  EXPECT_EQ(head.statusCode(), 404);
  EXPECT_FALSE(head.fields().contains("X-Interim"));
  EXPECT_EQ(head.feed("Set-Cookie: a=1\r\n"), Line::field);
  EXPECT_EQ(head.feed("set-cookie: b=2\r\n"), Line::field);
  EXPECT_EQ(head.feed("X-Folded: first\r\n"), Line::field);
  EXPECT_EQ(head.feed("   second part\r\n"), Line::field);
  EXPECT_EQ(head.feed("Content-Type:text/plain  \n"), Line::field);
  EXPECT_EQ(head.feed("no colon here\r\n"), Line::ignored);
  EXPECT_EQ(head.feed("\n"), Line::end);
  EXPECT_EQ(head.fields().at("SET-COOKIE"), "a=1, b=2");
  EXPECT_EQ(head.fields().at("x-folded"), "first second part");
  EXPECT_EQ(head.fields().at("content-type"), "text/plain");

  for (const char* bad : {"HTTP/1.1 2000 Big\r\n", "HTTP/1.1 abc\r\n", "HTTP/1.1\r\n"}) {
    ResponseHeadParser fresh;
    EXPECT_EQ(fresh.feed(bad), Line::ignored) << bad;
    EXPECT_FALSE(fresh.hasStatus()) << bad;
  }
}

TEST(HeaderFieldsTest, OwnFieldsWinAndKeepTheirSpelling) {
  const HeaderFields own{{"accept", "text/event-stream"}, {"X-Own", "1"}};
  const HeaderFields additional{{"Accept", "*/*"}, {"Cache-Control", "no-cache"}};
  const HeaderFields merged = mergedHeaderFields(own, additional);
  ASSERT_EQ(merged.size(), 3u);
  EXPECT_EQ(merged.begin()->first, "accept");
  EXPECT_EQ(merged.at("ACCEPT"), "text/event-stream");
  EXPECT_EQ(merged.at("cache-control"), "no-cache");
}

TEST(RedirectRequestTest, MethodBodyAndCredentialsFollowTheStatus) {
  struct Case {
    int status;
    const char* method;
    const char* location;
    const char* expectedURL;
    const char* expectedMethod;
    bool keepsBody;
    bool keepsCredentials;
  };
  const Case cases[] = {
      {301, "POST", "/b", "http://h:1/b", "GET", false, true},
      {302, "POST", "b?x=1", "http://h:1/a/b?x=1", "GET", false, true},
      {302, "PUT", "/b", "http://h:1/b", "PUT", true, true},
      {303, "PUT", "/b", "http://h:1/b", "GET", false, true},
      {303, "HEAD", "/b", "http://h:1/b", "HEAD", false, true},
      {307, "POST", "http://h:2/b", "http://h:2/b", "POST", true, false},
      {308, "POST", "https://h:1/b", "https://h:1/b", "POST", true, false},
      {302, "GET", "//other/b", "http://other/b", "GET", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " " + c.method + " " + c.location);
    URLRequest previous(*URL::parse("http://h:1/a/start"));
    previous.httpMethod = c.method;
    if (std::string(c.method) != "GET" && std::string(c.method) != "HEAD") previous.httpBody = "x";
    previous.setValue("text/plain", "Content-Type");
    previous.setValue("Bearer k", "Authorization");
    previous.setValue("c=1", "Cookie");
    previous.setValue("kept", "X-Custom");
    const HTTPURLResponse redirect{previous.url, c.status, {{"location", c.location}}};

    const auto next = redirectRequest(previous, redirect);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->url.absoluteString(), c.expectedURL);
    EXPECT_EQ(next->httpMethod, c.expectedMethod);
    EXPECT_EQ(next->httpBody.has_value(), c.keepsBody && previous.httpBody.has_value());
    EXPECT_EQ(next->value("Content-Type").has_value(),
              c.keepsBody || std::string(c.expectedMethod) == c.method);
    EXPECT_EQ(next->value("Authorization").has_value(), c.keepsCredentials);
    EXPECT_EQ(next->value("Cookie").has_value(), c.keepsCredentials);
    EXPECT_EQ(next->value("X-Custom"), "kept");
  }

  const URLRequest previous(*URL::parse("http://h/a"));
  EXPECT_FALSE(redirectRequest(previous, {previous.url, 302, {}}));
  EXPECT_FALSE(redirectRequest(previous, {previous.url, 302, {{"Location", "two words"}}}));
}

TEST(URLErrorTest, StandardDescriptions) {
  using Code = URLError::Code;
  const std::pair<Code, const char*> cases[] = {
      {Code::notConnectedToInternet, "The Internet connection appears to be offline."},
      {Code::cannotFindHost, "A server with the specified hostname could not be found."},
      {Code::cannotConnectToHost, "Could not connect to the server."},
      {Code::timedOut, "The request timed out."},
      {Code::cancelled, "cancelled"},
      {Code::networkConnectionLost, "The network connection was lost."},
      {Code::unknown, "The operation couldn't be completed."},
  };
  for (const auto& [code, text] : cases) {
    EXPECT_EQ(URLError::make(code).code, code);
    EXPECT_EQ(URLError::make(code).localizedDescription, text);
  }
}

TEST(URLErrorTest, CurlResultsMapToCodesAndOfflineIsToldApart) {
  using Code = URLError::Code;
  struct Case {
    CURLcode result;
    long osErrno;
    bool loopback;
    bool interfaceUp;
    Code expected;
  };
  const Case cases[] = {
      {CURLE_COULDNT_RESOLVE_HOST, 0, false, true, Code::cannotFindHost},
      {CURLE_COULDNT_RESOLVE_HOST, 0, false, false, Code::notConnectedToInternet},
      {CURLE_COULDNT_CONNECT, ECONNREFUSED, false, true, Code::cannotConnectToHost},
      {CURLE_COULDNT_CONNECT, ECONNREFUSED, false, false, Code::notConnectedToInternet},
      {CURLE_COULDNT_CONNECT, ENETUNREACH, false, true, Code::notConnectedToInternet},
      {CURLE_COULDNT_CONNECT, ECONNREFUSED, true, false, Code::cannotConnectToHost},
      {CURLE_OPERATION_TIMEDOUT, 0, false, true, Code::timedOut},
      {CURLE_SEND_ERROR, 0, false, true, Code::networkConnectionLost},
      {CURLE_RECV_ERROR, 0, false, true, Code::networkConnectionLost},
      {CURLE_PARTIAL_FILE, 0, false, true, Code::networkConnectionLost},
      {CURLE_GOT_NOTHING, 0, false, true, Code::networkConnectionLost},
      {CURLE_WEIRD_SERVER_REPLY, 0, false, true, Code::badServerResponse},
      {CURLE_PEER_FAILED_VERIFICATION, 0, false, true, Code::unknown},
      {CURLE_OUT_OF_MEMORY, 0, false, true, Code::unknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(curl_easy_strerror(c.result));
    const URLError error =
        urlErrorForCurlResult(c.result, {c.osErrno, c.loopback, c.interfaceUp, "detail"});
    EXPECT_EQ(error.code, c.expected);
    if (c.expected != Code::unknown) {
      EXPECT_EQ(error, URLError::make(c.expected));
    }
  }
  const URLError unknown = urlErrorForCurlResult(CURLE_OUT_OF_MEMORY, {0, false, true, "boom"});
  EXPECT_EQ(unknown.localizedDescription, "The operation couldn't be completed. (boom)");
}

TEST(URLErrorTest, LoopbackHosts) {
  for (const char* host : {"localhost", "127.0.0.1", "127.1.2.3", "[::1]", "app.localhost"})
    EXPECT_TRUE(isLoopbackHost(host)) << host;
  for (const char* host : {"example.com", "128.0.0.1", "[::2]", "localhost.example.com", ""})
    EXPECT_FALSE(isLoopbackHost(host)) << host;
}

}  // namespace
