#include "web/EndpointPolicy.h"
#include "ui/RunTexts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace kelvaro {
namespace {

using ::testing::StartsWith;

// The key travels with every request: in clear text only to this computer.
TEST(EndpointPolicy, HttpOnlyForLoopbackHosts) {
  for (const char* good : {"", "https://proxy.example.org/serp", "HTTPS://10.0.0.5:8443",
                           "http://localhost", "http://LocalHost:8080/p", "http://127.0.0.1:9",
                           "http://127.255.0.254/x", "http://[::1]:9000/p", " http://127.0.0.1 "}) {
    EXPECT_TRUE(IsAcceptableEndpoint(good)) << good;
    EXPECT_FALSE(IsClearTextRemoteEndpoint(good)) << good;
  }
  for (const char* remote :
       {"http://proxy.example.org", "HTTP://10.0.0.5:8080", "http://128.0.0.1",
        "http://127.0.0.1.example.org", "http://localhost.example.org", "http://127.0.0",
        "http://127.0.0.256", "http://[::2]", "http://[::1]x.example"}) {
    EXPECT_FALSE(IsAcceptableEndpoint(remote)) << remote;
  }
  EXPECT_TRUE(IsClearTextRemoteEndpoint("http://proxy.example.org"));
  // Not an endpoint at all: refused, but not for its scheme.
  EXPECT_FALSE(IsAcceptableEndpoint("ftp://localhost"));
  EXPECT_FALSE(IsClearTextRemoteEndpoint("ftp://proxy.example.org"));
}

// Every request applies the dialog's rule, so an endpoint from a settings file edited by hand
// gets nothing either: user information, a host no name has and a path character that would
// end a link or is not sent as typed are invalid whatever the scheme, and say so.
TEST(EndpointPolicy, AnInvalidEndpointIsRefusedWithItsReason) {
  for (const std::string invalid :
       {"http://127.0.0.1@evil.example", "https://user@gw.example", "http://[::1]@evil.example",
        "http://127.0.0.1:80@evil.example", "http://evil.example?", "http://evil_host.example",
        "https://gw.example/a\">b", "https://gw.example/a>b", "https://gw.example/a<b",
        "https://gw.example/a'b", "https://gw.example/a\\b", "https://gw.example/a b",
        "https://gw.example/a`b", "https://gw.example/{a}", "https://gw.example/a|b",
        "https://gw.example/a^b", "ftp://localhost"}) {
    EXPECT_FALSE(IsAcceptableEndpoint(invalid)) << invalid;
    EXPECT_THAT(EndpointRefusal(invalid),
                StartsWith("Invalid endpoint \"" + invalid + "\": leave it empty"));
  }
  for (const char* good :
       {"", "https://gw.example/a-b_c.d~e/f@g:h;i=j+k,l*m(n)!$", "http://127.0.0.1:9/p"}) {
    EXPECT_TRUE(IsAcceptableEndpoint(good)) << good;
    EXPECT_EQ(EndpointRefusal(good), "") << good;
  }
  EXPECT_EQ(EndpointRefusal("http://proxy.example"),
            "The endpoint \"http://proxy.example\" would carry the API key unencrypted: use "
            "https://, or http:// only for localhost, 127.0.0.0/8 or [::1]");
}

}  // namespace
}  // namespace kelvaro
