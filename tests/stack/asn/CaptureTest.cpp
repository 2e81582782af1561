// Messages of real peers decode without error and encode back to the very same octets (hostile input is PerCodecTest's
// table and the fuzz targets').

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

using test::FromHex;
using test::ToHex;

struct Decoded {
  TypeId type;
  std::vector<std::uint8_t> bytes;
  std::string name;
};

// Every PER message in the captures: RAS, H323-UserInformation and the H.245 messages tunnelled
// in them.
std::vector<Decoded> AllMessages() {
  std::vector<Decoded> out;
  for (const auto& v : test::kRasVectors) out.push_back({h225::RasMessage::Id, FromHex(v.hex), v.name});
  for (const auto& v : test::kQ931Vectors) {
    auto q = q931::Q931Message::Decode(FromHex(v.hex));
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
  std::vector<Decoded> all = AllMessages();
  std::size_t h245 = 0;
  for (const Decoded& m : all) {
    SCOPED_TRACE(m.name);
    std::size_t used = 0;
    Result<Value> v = Decode(m.type, m.bytes, &used);
    ASSERT_TRUE(v.Ok()) << v.Error().Message();
    EXPECT_EQ(used, m.bytes.size());
    Result<std::vector<std::uint8_t>> again = Encode(*v);
    ASSERT_TRUE(again.Ok()) << again.Error().Message();
    EXPECT_EQ(ToHex(*again), ToHex(m.bytes)) << ToText(*v);
    h245 += m.type == h245::MultimediaSystemControlMessage::Id;
  }
  EXPECT_EQ(all.size(), test::kRasVectors.size() + test::kQ931Vectors.size() + h245);
  EXPECT_EQ(h245, 14u);  // tunnelled in the call's Q.931 messages
}

}  // namespace
}  // namespace vantro::asn
