// Messages of real peers decode without error and encode back to the very same octets; cutting or
// corrupting them never gets past the decoder's checks.

#include "stack/asn/H323Values.h"
#include "stack/asn/Per.h"
#include "stack/asn/Text.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "stack/q931/Q931Message.h"
#include "tests/stack/CaptureVectors.h"

#include <gtest/gtest.h>

namespace vantro::asn {
namespace {

using test::fromHex;
using test::toHex;

struct Decoded {
  TypeId type;
  std::vector<std::uint8_t> bytes;
  std::string name;
};

// Every PER message in the captures: RAS, H323-UserInformation and the H.245 messages tunnelled
// in them.
std::vector<Decoded> allMessages() {
  std::vector<Decoded> out;
  for (const auto& v : test::kRasVectors) out.push_back({h225::RasMessage::Id, fromHex(v.hex), v.name});
  for (const auto& v : test::kQ931Vectors) {
    auto q = q931::Q931Message::decode(fromHex(v.hex));
    if (!q || !q->userUser()) continue;
    out.push_back({h225::H323_UserInformation::Id, *q->userUser(), v.name});
    Result<Value> uu = decode(h225::H323_UserInformation::Id, *q->userUser());
    if (!uu) continue;
    if (const Value* control = uu->find("h323-uu-pdu.h245Control"))
      for (const Value& m : control->elements())
        out.push_back({h245::MultimediaSystemControlMessage::Id,
                       {m.octets().begin(), m.octets().end()},
                       std::string(v.name) + " h245"});
  }
  return out;
}

TEST(Captures, EveryMessageDecodesAndReencodesToTheSameOctets) {
  std::vector<Decoded> all = allMessages();
  std::size_t h245 = 0;
  for (const Decoded& m : all) {
    SCOPED_TRACE(m.name);
    std::size_t used = 0;
    Result<Value> v = decode(m.type, m.bytes, &used);
    ASSERT_TRUE(v.ok()) << v.error().message();
    EXPECT_EQ(used, m.bytes.size());
    Result<std::vector<std::uint8_t>> again = encode(*v);
    ASSERT_TRUE(again.ok()) << again.error().message();
    EXPECT_EQ(toHex(*again), toHex(m.bytes)) << toText(*v);
    h245 += m.type == h245::MultimediaSystemControlMessage::Id;
  }
  EXPECT_EQ(all.size(), test::kRasVectors.size() + test::kQ931Vectors.size() + h245);
  EXPECT_GT(h245, 20u);
}

Value rasVector(std::string_view prefix) {
  return *decode(h225::RasMessage::Id, test::vectorBytes(test::kRasVectors, prefix));
}

TEST(Captures, RasMessagesCarryWhatThePeersSent) {
  for (const auto& vec : test::kRasVectors) {
    Result<Value> v = decode(h225::RasMessage::Id, fromHex(vec.hex));
    ASSERT_TRUE(v.ok());
    std::string name = vec.name;
    EXPECT_EQ(name.substr(name.rfind(' ') + 1), fieldDesc(v->desc(), v->choice()).name);
  }
  Value gcf = rasVector("g711 frame 2 ");
  ASSERT_TRUE(gcf.find("gatekeeperConfirm.gatekeeperIdentifier"));
  EXPECT_EQ(gcf.find("gatekeeperConfirm.gatekeeperIdentifier")->text(), "GnuGk");
  std::optional<Ipv4Address> ras = ipv4(*gcf.find("gatekeeperConfirm.rasAddress"));
  ASSERT_TRUE(ras);
  EXPECT_EQ(ras->port, 1719);
  Value rrq = rasVector("g711 frame 3 ");
  ASSERT_TRUE(rrq.find("registrationRequest.timeToLive"));
  EXPECT_EQ(aliasText(*rrq.find("registrationRequest.terminalAlias[0]")), "5551234");
  EXPECT_EQ(rrq.find("registrationRequest.timeToLive")->integer(), 60);
  Value rrj = rasVector("rrj frame 4 ");
  EXPECT_TRUE(rrj.find("registrationReject.rejectReason.securityDenial"));
}

TEST(Captures, TunnelledH245CarriesTheG711Channel) {
  bool sawOlc = false, sawTcs = false;
  for (const auto& vec : test::kQ931Vectors) {
    auto q = q931::Q931Message::decode(fromHex(vec.hex));
    ASSERT_TRUE(q);
    const Value uu = *decode(h225::H323_UserInformation::Id, *q->userUser());
    const Value* control = uu.find("h323-uu-pdu.h245Control");
    if (!control) continue;
    for (const Value& octets : control->elements()) {
      Value m = *decode(h245::MultimediaSystemControlMessage::Id, octets.octets());
      if (const Value* olc = m.find("request.openLogicalChannel")) {
        sawOlc = true;
        EXPECT_TRUE(olc->find("forwardLogicalChannelParameters.dataType.audioData.g711Alaw64k"));
        const Value* media = olc->find(
            "forwardLogicalChannelParameters.multiplexParameters."
            "h2250LogicalChannelParameters.mediaControlChannel");
        ASSERT_TRUE(media);
        EXPECT_EQ(ipv4(*media)->ip, (std::array<std::uint8_t, 4>{127, 0, 0, 1}));
      }
      if (const Value* tcs = m.find("request.terminalCapabilitySet")) {
        sawTcs = true;
        EXPECT_GT(tcs->find("capabilityTable")->size(), 1u);
      }
    }
  }
  EXPECT_TRUE(sawOlc);
  EXPECT_TRUE(sawTcs);
}

TEST(Captures, CutMessagesAreRefused) {
  for (const Decoded& m : allMessages()) {
    SCOPED_TRACE(m.name);
    for (std::size_t n = 0; n < m.bytes.size(); ++n) {
      Result<Value> v = decode(m.type, std::span(m.bytes).first(n));
      ASSERT_FALSE(v.ok()) << "a prefix of " << n << " octets decoded";
      EXPECT_EQ(v.error().code, Errc::Truncated) << v.error().message();
    }
  }
}

TEST(Captures, CorruptedMessagesDecodeToValuesThatEncodeConsistently) {
  // Any octet changed: either an error, or a value that survives its own encoding.
  for (const Decoded& m : allMessages()) {
    SCOPED_TRACE(m.name);
    for (std::size_t i = 0; i < m.bytes.size(); ++i) {
      for (std::uint8_t flip : {0x01, 0x80, 0xff}) {
        std::vector<std::uint8_t> bad = m.bytes;
        bad[i] ^= flip;
        Result<Value> v = decode(m.type, bad);
        if (!v.ok()) continue;
        Result<std::vector<std::uint8_t>> bytes = encode(*v);
        ASSERT_TRUE(bytes.ok()) << "octet " << i << ": " << bytes.error().message();
        Result<Value> again = decode(m.type, *bytes);
        ASSERT_TRUE(again.ok()) << "octet " << i << ": " << again.error().message();
        EXPECT_TRUE(*again == *v) << "octet " << i;
      }
    }
  }
}

}  // namespace
}  // namespace vantro::asn
