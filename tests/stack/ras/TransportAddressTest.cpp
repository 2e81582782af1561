// Addresses as users type them.
#include "stack/ras/TransportAddress.h"

#include <gtest/gtest.h>

namespace vantro::ras {
namespace {

TEST(TransportAddress, GatekeeperAddresses) {
  EXPECT_EQ(ParseHostAndPort("192.0.2.7", 1719), (HostAndPort{"192.0.2.7", 1719}));
  EXPECT_EQ(ParseHostAndPort(" gk.example.net:1720 ", 1719), (HostAndPort{"gk.example.net", 1720}));
  EXPECT_EQ(ParseHostAndPort("localhost", 1719), (HostAndPort{"localhost", 1719}));
  for (const char* bad : {"",        " ",       ":1719",      "gk:",  "gk:0",      "gk:65536",  "gk:17x9",
                          "gk:1:2",  "::1",     "[::1]:1719", "10.1", "256.1.1.1", "1.2.3.4.5", "167772161",
                          "gk..net", "-gk.net", "gk-.net",    "g k",  "gk_1",      "1.2.3.4:-1"})
    EXPECT_FALSE(ParseHostAndPort(bad, 1719)) << bad;
  EXPECT_FALSE(ParseHostAndPort(std::string(64, 'a') + ".net", 1719));
  EXPECT_TRUE(ParseHostAndPort(std::string(63, 'a') + ".net", 1719));
}

TEST(TransportAddress, ListenerInterfaces) {
  EXPECT_EQ(ParseListenerInterface("*:1737"), (HostAndPort{"*", 1737}));
  EXPECT_EQ(ParseListenerInterface("127.0.0.1:0"), (HostAndPort{"127.0.0.1", 0}));
  for (const char* bad : {"*", "1737", "host:1737", "*:", "*:65536", "*:1737:1"})
    EXPECT_FALSE(ParseListenerInterface(bad)) << bad;
}

}  // namespace
}  // namespace vantro::ras
