#include "web/EndpointPolicy.h"

#include <gtest/gtest.h>

namespace kelvaro {
namespace {

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

}  // namespace
}  // namespace kelvaro
