// RTP sessions on real sockets of 127.0.0.1, against a peer made of plain sockets, where tshark's
// reading of what we send (MediaTsharkTest) and the calls' audio do not reach: what is taken and
// what is dropped, source latching, SSRC changes.
#include "stack/rtp/RtpSession.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <mutex>

namespace vantro::rtp {
namespace {

using namespace std::chrono_literals;
using Endpoint = RtpSession::Endpoint;
using Bytes = std::vector<std::uint8_t>;

const asio::ip::address_v4 kLoopback = asio::ip::address_v4::loopback();

RtpSessionOptions Options() {
  RtpSessionOptions o;
  o.localIp = kLoopback;
  o.portBase = 42100;
  o.portMax = 42199;
  return o;
}

// A plain UDP socket on 127.0.0.1.
class Peer {
 public:
  Peer() : socket_(io_, Endpoint(kLoopback, 0)) {}
  Endpoint Address() const { return socket_.local_endpoint(); }
  void Send(const Bytes& datagram, const Endpoint& to) { socket_.send_to(asio::buffer(datagram), to); }

 private:
  asio::io_context io_;
  asio::ip::udp::socket socket_;
};

Bytes Packet(std::uint8_t payloadType, std::uint16_t sequence, std::uint32_t timestamp, std::uint32_t ssrc,
             std::size_t payload = 160) {
  Bytes data(payload, 0x55), out;
  RtpPacket p;
  p.payloadType = payloadType;
  p.sequence = sequence;
  p.timestamp = timestamp;
  p.ssrc = ssrc;
  p.payload = data;
  p.Serialize(out);
  return out;
}

// What a data handler saw.
struct Heard {
  std::mutex mutex;
  std::vector<std::pair<std::uint16_t, bool>> packets;  // sequence, new source
  RtpSession::DataHandler Handler() {
    return [this](const RtpPacket& p, RtpSession::Clock::time_point, bool newSource) {
      std::lock_guard lock(mutex);
      packets.emplace_back(p.sequence, newSource);
    };
  }
  std::size_t Count() {
    std::lock_guard lock(mutex);
    return packets.size();
  }
};

// Dropped and counted: not version 2, shorter than its header says, another payload type, another
// address. The far end announced one port and sends from another: that one is taken, once.
TEST(RtpSession, DropsWhatIsNotTheFarEndsAndLatchesOntoItsPortOnce) {
  auto session = RtpSession::Open(Options());
  ASSERT_TRUE(session);
  Peer announced, natted, stranger;
  const Endpoint to = session->GetLocalDataAddress();
  stranger.Send(Packet(0, 1, 0, 9), to);
  ASSERT_TRUE(test::WaitUntil([&] { return session->GetReceiverStatistics().unclaimed == 1; }));

  Heard heard;
  session->SetDataHandler(0, heard.Handler());
  session->SetRemoteDataAddress(announced.Address());
  Bytes version = Packet(0, 1, 0, 9);
  version[0] = 0x40;
  stranger.Send(version, to);
  Bytes truncated = Packet(0, 1, 0, 9);
  truncated[0] |= 0x0f;  // fifteen contributing sources that are not there
  truncated.resize(20);
  stranger.Send(truncated, to);
  stranger.Send(Packet(8, 1, 0, 9), to);  // A-law where mu-law was agreed: not taken, not latched
  natted.Send(Packet(0, 100, 1600, 9), to);
  natted.Send(Packet(0, 101, 1760, 9), to);
  announced.Send(Packet(0, 102, 1920, 9), to);
  stranger.Send(Packet(0, 103, 2080, 9), to);
  natted.Send(Packet(0, 104, 2240, 9), to);
  ASSERT_TRUE(test::WaitUntil([&] { return heard.Count() == 3; }));
  const RtpReceiverStatistics s = session->GetReceiverStatistics();
  EXPECT_EQ(s.droppedVersion, 1u);
  EXPECT_EQ(s.droppedTruncated, 1u);
  EXPECT_EQ(s.droppedPayloadType, 1u);
  EXPECT_EQ(s.droppedSource, 2u);
  EXPECT_EQ(s.Dropped(), 5u);
  EXPECT_EQ(s.packets, 3u);
  EXPECT_EQ(s.octets, 480u);
  EXPECT_EQ(s.ssrc, 9u);
  EXPECT_EQ(s.lost, 2);  // 102 and 103 never came from the far end's port
  ASSERT_TRUE(session->GetSourceAddress());
  EXPECT_EQ(*session->GetSourceAddress(), natted.Address());
  EXPECT_EQ(heard.packets.front(), std::make_pair(std::uint16_t(100), true));

  // The far end's address changes to another IP: nothing from here is taken any more.
  session->SetRemoteDataAddress(Endpoint(asio::ip::make_address_v4("127.0.0.2"), 5000));
  EXPECT_FALSE(session->GetSourceAddress());
  natted.Send(Packet(0, 105, 2400, 9), to);
  ASSERT_TRUE(test::WaitUntil([&] { return session->GetReceiverStatistics().droppedSource == 3; }));
  EXPECT_EQ(heard.Count(), 3u);
}

TEST(RtpSession, FollowsTheSequenceAcrossItsWrapAndTakesANewSsrcAfterTwoPackets) {
  auto session = RtpSession::Open(Options());
  ASSERT_TRUE(session);
  Heard heard;
  session->SetDataHandler(18, heard.Handler());
  Peer peer;
  const Endpoint to = session->GetLocalDataAddress();
  for (std::uint16_t seq : {65534, 65535, 0, 1}) peer.Send(Packet(18, seq, seq * 160u, 1, 20), to);
  for (std::uint16_t seq : {100, 101, 102}) peer.Send(Packet(18, seq, seq * 160u, 2, 20), to);
  ASSERT_TRUE(test::WaitUntil([&] { return heard.Count() == 6; }));
  using P = std::pair<std::uint16_t, bool>;
  EXPECT_EQ(heard.packets,
            (std::vector<P>{{65534, true}, {65535, false}, {0, false}, {1, false}, {101, true}, {102, false}}));
  const RtpReceiverStatistics s = session->GetReceiverStatistics();
  EXPECT_EQ(s.sourceChanges, 1u);
  EXPECT_EQ(s.ssrc, 2u);
  EXPECT_EQ(s.droppedSequence, 1u);  // the new source's first packet, on probation
  EXPECT_EQ(s.lost, 0);
}

}  // namespace
}  // namespace vantro::rtp
