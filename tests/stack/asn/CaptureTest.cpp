// Messages of real peers decode without error, to the fields the peers sent, and encode back to the
// very same octets (hostile input is PerCodecTest's table and the fuzz targets').

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
    auto q = q931::Q931Message::Decode(fromHex(v.hex));
    if (!q || !q->UserUser()) continue;
    out.push_back({h225::H323_UserInformation::Id, *q->UserUser(), v.name});
    Result<Value> uu = Decode(h225::H323_UserInformation::Id, *q->UserUser());
    if (!uu) continue;
    if (const Value* control = uu->Find("h323-uu-pdu.h245Control"))
      for (const Value& m : control->Elements())
        out.push_back({h245::MultimediaSystemControlMessage::Id,
                       {m.Octets().begin(), m.Octets().end()},
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
    Result<Value> v = Decode(m.type, m.bytes, &used);
    ASSERT_TRUE(v.Ok()) << v.Error().Message();
    EXPECT_EQ(used, m.bytes.size());
    Result<std::vector<std::uint8_t>> again = Encode(*v);
    ASSERT_TRUE(again.Ok()) << again.Error().Message();
    EXPECT_EQ(toHex(*again), toHex(m.bytes)) << ToText(*v);
    h245 += m.type == h245::MultimediaSystemControlMessage::Id;
  }
  EXPECT_EQ(all.size(), test::kRasVectors.size() + test::kQ931Vectors.size() + h245);
  EXPECT_EQ(h245, 14u);  // tunnelled in the call's Q.931 messages
}

Value rasVector(std::string_view prefix) {
  return *Decode(h225::RasMessage::Id, test::vectorBytes(test::kRasVectors, prefix));
}

TEST(Captures, RasMessagesCarryWhatThePeersSent) {
  for (const auto& vec : test::kRasVectors) {
    Result<Value> v = Decode(h225::RasMessage::Id, fromHex(vec.hex));
    ASSERT_TRUE(v.Ok());
    std::string name = vec.name;
    EXPECT_EQ(name.substr(name.rfind(' ') + 1), fieldDesc(v->Desc(), v->Choice()).name);
  }
  Value gcf = rasVector("g711 frame 2 ");
  ASSERT_TRUE(gcf.Find("gatekeeperConfirm.gatekeeperIdentifier"));
  EXPECT_EQ(gcf.Find("gatekeeperConfirm.gatekeeperIdentifier")->Text(), "GnuGk");
  std::optional<Ipv4Address> ras = Ipv4(*gcf.Find("gatekeeperConfirm.rasAddress"));
  ASSERT_TRUE(ras);
  EXPECT_EQ(ras->port, 1719);
  Value rrq = rasVector("g711 frame 3 ");
  ASSERT_TRUE(rrq.Find("registrationRequest.timeToLive"));
  EXPECT_EQ(AliasText(*rrq.Find("registrationRequest.terminalAlias[0]")), "5551234");
  EXPECT_EQ(rrq.Find("registrationRequest.timeToLive")->Integer(), 60);
  Value rrj = rasVector("rrj frame 4 ");
  EXPECT_TRUE(rrj.Find("registrationReject.rejectReason.securityDenial"));
}

}  // namespace
}  // namespace vantro::asn
