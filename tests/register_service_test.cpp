// Which --listen addresses a server may use without TLS and users: loopback alone.
#include "register/register_service.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(ServeListen, LoopbackAloneGoesWithoutTlsAndUsers) {
  const struct {
    const char* listen;
    bool parsed;
    const char* host;
    int port;
    bool loopback;
  } cases[] = {
      {"127.0.0.1:8080", true, "127.0.0.1", 8080, true},
      {"127.1.2.3:0", true, "127.1.2.3", 0, true},
      {"localhost:80", true, "localhost", 80, true},
      {"[::1]:8443", true, "::1", 8443, true},
      {"0.0.0.0:8080", true, "0.0.0.0", 8080, false},
      {"[::]:8080", true, "::", 8080, false},
      {"127.0.0.1.example.com:80", true, "127.0.0.1.example.com", 80, false},
      {"127.0.0:80", true, "127.0.0", 80, false},
      {"127.0.0.1000:80", true, "127.0.0.1000", 80, false},
      {"127..0.1:80", true, "127..0.1", 80, false},
      {"localhost.evil:80", true, "localhost.evil", 80, false},
      {"192.168.1.5:65535", true, "192.168.1.5", 65535, false},
      {"127.0.0.1:65536", false, "", 0, false},
      {"127.0.0.1", false, "", 0, false},
      {"::1:80", false, "", 0, false},
      {":80", false, "", 0, false},
      {"127.0.0.1:8o", false, "", 0, false},
  };
  for (const auto& c : cases) {
    std::string host;
    int port = -1;
    EXPECT_EQ(ParseListen(c.listen, &host, &port), c.parsed) << c.listen;
    if (!c.parsed) continue;
    EXPECT_EQ(host, c.host) << c.listen;
    EXPECT_EQ(port, c.port) << c.listen;
    EXPECT_EQ(IsLoopbackHost(host), c.loopback) << c.listen;
  }
}

}  // namespace
}  // namespace corvane
