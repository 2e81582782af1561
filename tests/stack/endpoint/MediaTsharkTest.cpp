// tshark reads the RTP of every codec and the RTCP of both ends that our channels and sessions send.
#include "stack/rtp/RtcpCompound.h"
#include "stack/rtp/RtpSession.h"
#include "tests/support/MediaLoop.h"
#include "tests/support/Tshark.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <thread>

namespace vantro::endpoint {
namespace {

using namespace std::chrono_literals;
using test::MediaLoop;
using test::Tshark;

#define REQUIRE_TSHARK(judge) \
  if (!(judge).Available()) GTEST_SKIP() << "tshark is not installed"

// tshark writes SSRCs in hexadecimal.
std::string Hex(std::uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", v);
  return text;
}

void ExpectWellFormed(const std::vector<Tshark::Fields>& rows) {
  for (const auto& row : rows) {
    EXPECT_EQ(row.at("_ws.malformed"), "");
    EXPECT_EQ(row.at("_ws.expert.severity").find("error"), std::string::npos) << row.at("_ws.expert.message");
  }
}

struct Format {
  const char* name;
  std::shared_ptr<const H323Capability> capability;
  unsigned payloadType;
  unsigned packetSamples;
};

class MediaOnTheWire : public testing::TestWithParam<Format> {};

TEST_P(MediaOnTheWire, RtpHeadersOfEachCodec) {
  Tshark tshark;
  REQUIRE_TSHARK(tshark);
  MediaLoop::Config config;
  config.capability = GetParam().capability;
  config.signal = test::SignalAudioSource::Tone(440, 0.3);
  MediaLoop loop(config);
  ASSERT_TRUE(loop.Start());
  ASSERT_TRUE(test::WaitUntil([&] { return loop.Relay()->Received().size() > 20; }));
  loop.Close();
  const auto datagrams = loop.Relay()->Received();
  const auto rows =
      tshark.Udp(datagrams, loop.SendingSession().GetLocalDataAddress().port, loop.Relay()->Address().port(), "rtp",
                 {"rtp.version", "rtp.p_type", "rtp.seq", "rtp.timestamp", "rtp.marker", "rtp.ssrc", "rtp.padding",
                  "rtp.ext", "_ws.malformed", "_ws.expert.severity", "_ws.expert.message"});
  ASSERT_EQ(rows.size(), datagrams.size());
  ExpectWellFormed(rows);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& r = rows[i];
    EXPECT_EQ(r.at("rtp.version"), "2");
    EXPECT_EQ(r.at("rtp.p_type"), std::to_string(GetParam().payloadType));
    EXPECT_EQ(r.at("rtp.marker"), i == 0 ? "1" : "0");
    EXPECT_EQ(r.at("rtp.padding"), "0");
    EXPECT_EQ(r.at("rtp.ext"), "0");
    if (i == 0) continue;
    const auto& p = rows[i - 1];
    EXPECT_EQ(r.at("rtp.ssrc"), p.at("rtp.ssrc"));
    EXPECT_EQ((std::stoul(r.at("rtp.seq")) - std::stoul(p.at("rtp.seq"))) & 0xffff, 1u);
    EXPECT_EQ(static_cast<std::uint32_t>(std::stoul(r.at("rtp.timestamp")) - std::stoul(p.at("rtp.timestamp"))),
              GetParam().packetSamples);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, MediaOnTheWire,
    testing::Values(Format{"G711u", std::make_shared<H323_G711Capability>(), 0, 160},
                    Format{"G711A", std::make_shared<H323_G711Capability>(H323_G711Capability::ALaw), 8, 160},
                    Format{"G729A", std::make_shared<H323_G729ACapability>(), 18, 160},
                    Format{"G7231", std::make_shared<H323_G7231Capability>(true), 4, 240}),
    [](const auto& info) { return std::string(info.param.name); });

// Two sessions report every ~100 ms through relays that keep it; the data path loses a tenth.
TEST(MediaOnTheWire, RtcpReportsOfBothEnds) {
  Tshark tshark;
  REQUIRE_TSHARK(tshark);
  rtp::RtpSessionOptions o;
  o.localIp = asio::ip::address_v4::loopback();
  o.portBase = 41000;
  o.portMax = 41999;
  o.rtcpInterval = 100ms;
  auto sender = rtp::RtpSession::Open(o);
  auto receiver = rtp::RtpSession::Open(o);
  ASSERT_TRUE(sender && receiver);
  test::UdpImpairmentRelay data(receiver->GetLocalDataAddress(), 5);
  test::Impairment lossy;
  lossy.loss = 0.1;
  data.SetImpairment(lossy);
  test::UdpImpairmentRelay senderReports(receiver->GetLocalControlAddress());
  test::UdpImpairmentRelay receiverReports(sender->GetLocalControlAddress());
  sender->SetRemoteDataAddress(data.Address());
  sender->SetRemoteControlAddress(senderReports.Address());
  receiver->SetRemoteDataAddress(sender->GetLocalDataAddress());
  receiver->SetRemoteControlAddress(receiverReports.Address());
  receiver->SetDataHandler(18, [](const rtp::RtpPacket&, rtp::RtpSession::Clock::time_point, bool) {});
  const std::vector<std::uint8_t> payload(20, 1);
  for (std::uint32_t i = 0; i < 75; ++i) {
    sender->SendData(payload, 18, i * 160, i == 0);
    std::this_thread::sleep_for(20ms);
  }
  const std::uint32_t ssrc = sender->GetSenderStatistics().ssrc;
  const std::int64_t lost = static_cast<std::int64_t>(data.Lost());
  sender->Close();
  std::this_thread::sleep_for(50ms);
  receiver->Close();

  const std::vector<std::string> fields{"rtcp.pt",
                                        "rtcp.senderssrc",
                                        "rtcp.sender.packetcount",
                                        "rtcp.sender.octetcount",
                                        "rtcp.ssrc.identifier",
                                        "rtcp.ssrc.cum_nr",
                                        "rtcp.ssrc.lsr",
                                        "rtcp.length_check",
                                        "_ws.malformed",
                                        "_ws.expert.severity",
                                        "_ws.expert.message"};
  const auto fromSender = tshark.Udp(senderReports.Received(), sender->GetLocalControlAddress().port(),
                                     senderReports.Address().port(), "rtcp", fields);
  const auto fromReceiver = tshark.Udp(receiverReports.Received(), receiver->GetLocalControlAddress().port(),
                                       receiverReports.Address().port(), "rtcp", fields);
  ASSERT_GE(fromSender.size(), 5u);
  ASSERT_GE(fromReceiver.size(), 5u);
  ExpectWellFormed(fromSender);
  ExpectWellFormed(fromReceiver);
  // Sender reports, then the source description; the last one says BYE and counts every packet.
  for (const auto& r : fromSender) {
    EXPECT_EQ(r.at("rtcp.pt").substr(0, 7), "200,202");
    EXPECT_EQ(r.at("rtcp.senderssrc"), Hex(ssrc));
    EXPECT_EQ(r.at("rtcp.length_check"), "1");
  }
  EXPECT_EQ(fromSender.back().at("rtcp.pt"), "200,202,203");
  EXPECT_EQ(fromSender.back().at("rtcp.sender.packetcount"), "75");
  EXPECT_EQ(fromSender.back().at("rtcp.sender.octetcount"), std::to_string(75 * payload.size()));
  // Receiver reports about the sender, with the time of its last report and what was lost.
  bool sawLastSenderReport = false;
  for (const auto& r : fromReceiver) {
    EXPECT_EQ(r.at("rtcp.pt").substr(0, 7), "201,202");
    if (r.at("rtcp.ssrc.lsr").empty()) continue;  // before the first packet came
    // The block's source, then the description's (tshark names both alike).
    EXPECT_EQ(r.at("rtcp.ssrc.identifier").substr(0, 10), Hex(ssrc));
    sawLastSenderReport = sawLastSenderReport || r.at("rtcp.ssrc.lsr") != "0";
  }
  EXPECT_TRUE(sawLastSenderReport);
  EXPECT_EQ(fromReceiver.back().at("rtcp.pt"), "201,202,203");
  // The last packet may have been the one lost: the count covers what was expected so far.
  EXPECT_NEAR(std::stol(fromReceiver.back().at("rtcp.ssrc.cum_nr")), lost, 1);
}

}  // namespace
}  // namespace vantro::endpoint
