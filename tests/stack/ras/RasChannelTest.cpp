// The RAS socket under faults: a socket that keeps failing is read again after growing pauses,
// not in a tight loop.

#include "stack/ras/RasChannel.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantro::ras {
namespace {

using namespace std::chrono_literals;

// The descriptor of this process's UDP socket bound to port, or -1.
int SocketOnPort(std::uint16_t port) {
  for (int fd = 0; fd < 1024; ++fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 && address.sin_family == AF_INET &&
        ntohs(address.sin_port) == port)
      return fd;
  }
  return -1;
}

TEST(RasChannel, ASocketThatKeepsFailingIsReadAgainAfterGrowingPauses) {
  asio::io_context io;
  auto channel = std::make_shared<RasChannel>(io);
  std::error_code ec;
  ASSERT_TRUE(channel->Open(ec)) << ec.message();
  const std::uint16_t port = channel->LocalPort();
  const int fd = SocketOnPort(port);
  ASSERT_GE(fd, 0);
  // The descriptor comes to name a stream socket that is not connected, where every read fails at
  // once; the datagram socket stays open (and watched) under another descriptor. A datagram to it
  // wakes the pending read, and from then on each read fails.
  const int original = dup(fd);
  const int stream = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(original, 0);
  ASSERT_GE(stream, 0);
  ASSERT_EQ(dup2(stream, fd), fd);
  asio::ip::udp::socket sender(io, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0));
  sender.send_to(asio::buffer("x", 1), asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), port));
  io.run_for(700ms);
  // Pauses of 10, 20, 40, 80, 160 and 320 ms fit in the time; a tight loop would read millions of times.
  EXPECT_GE(channel->ReceiveFaults(), 3u);
  EXPECT_LE(channel->ReceiveFaults(), 8u);
  channel->Close();
  close(original);
  close(stream);
}

}  // namespace
}  // namespace vantro::ras
