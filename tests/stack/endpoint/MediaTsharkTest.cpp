// tshark reads the RTP of every codec that our channels send.
#include "tests/support/MediaLoop.h"
#include "tests/support/Tshark.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

namespace vantro::endpoint {
namespace {

using test::MediaLoop;
using test::Tshark;

#define REQUIRE_TSHARK(judge) \
  if (!(judge).Available()) GTEST_SKIP() << "tshark is not installed"

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

}  // namespace
}  // namespace vantro::endpoint
