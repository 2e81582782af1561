// The messages a call sends, as the far end (and tshark) reads them: Setup with every field
// gatekeepers and gateways look for, the answers, clearing, status, the H.245 carrier; messages of
// real peers read back; parties as users write them; end reasons both ways.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "stack/h225/CallTarget.h"
#include "stack/h225/H225Message.h"
#include "stack/h225/H225MessageBuilder.h"
#include "stack/h225/H323CallEndReasons.h"
#include "stack/q931/Tpkt.h"
#include "tests/stack/CaptureVectors.h"
#include "tests/support/Tshark.h"

#include <gtest/gtest.h>

namespace vantro::h225 {
namespace {

namespace h = asn::h225;
using endpoint::EndReasonFromAdmissionReject;
using endpoint::EndReasonFromReleaseComplete;
using endpoint::H323CallEndReasons;
using endpoint::ReleaseCompleteFor;
using q931::Q931Message;

const std::string kCallId = std::string("\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff\x00", 16);
const std::string kConfId = std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10", 16);

H225MessageBuilder Builder(bool originating) { return H225MessageBuilder({0x1234, originating, kCallId, kConfId}); }

H225MessageBuilder::SetupFields Fields() {
  H225MessageBuilder::SetupFields f;
  f.sourceAlias = "5550100";
  f.endpointIdentifier = "ep-7";
  f.destinationAlias = "5550200";
  f.destCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 1721};
  f.sourceCallSignalAddress = asn::Ipv4Address{{127, 0, 0, 1}, 40000};
  return f;
}

// Encoded and read back, as the far end gets it.
H225Message RoundTrip(const H225Message& m) {
  auto bytes = m.Encode();
  EXPECT_TRUE(bytes);
  std::string error;
  auto back = H225Message::Decode(*bytes, &error);
  EXPECT_TRUE(back) << error;
  EXPECT_TRUE(back->HasUuie()) << error;
  return *back;
}

TEST(SignallingMessages, SetupCarriesWhatGatekeepersAndGatewaysLookFor) {
  H225MessageBuilder b = Builder(true);
  H225Message setup = b.Setup(Fields());
  setup.SetFastStart({{1, 2, 3}, {4, 5}});
  const H225Message m = RoundTrip(setup);

  EXPECT_EQ(m.Type(), Q931Message::Setup);
  EXPECT_EQ(m.CallReference(), 0x1234);
  EXPECT_FALSE(m.Q931().FromDestination());
  const auto bearer = m.Q931().BearerCapability();
  ASSERT_TRUE(bearer);
  EXPECT_EQ(bearer->transferCapability, q931::BearerCapability::Speech);
  EXPECT_EQ(bearer->layer1Protocol, q931::BearerCapability::Layer1H221);
  EXPECT_EQ(m.Q931().Display(), "5550100");
  EXPECT_EQ(m.Q931().CallingPartyNumber()->digits, "5550100");
  EXPECT_EQ(m.Q931().CalledPartyNumber()->digits, "5550200");

  using S = h::Setup_UUIE;
  ASSERT_EQ(m.BodyType(), h::H323_UU_PDU_h323_message_body::setup);
  const asn::Value& s = m.Body();
  EXPECT_EQ(s[S::protocolIdentifier].OidText(), "0.0.8.2250.0.7");
  EXPECT_EQ(asn::AliasText(s[S::sourceAddress].At(0)), "5550100");
  EXPECT_TRUE(s[S::sourceAddress].At(0).Is(h::AliasAddress::dialedDigits));
  EXPECT_TRUE(s[S::sourceInfo].Has(h::EndpointType::vendor));
  EXPECT_TRUE(s[S::sourceInfo].Has(h::EndpointType::terminal));
  EXPECT_EQ(asn::AliasText(s[S::destinationAddress].At(0)), "5550200");
  EXPECT_EQ(asn::Ipv4(s[S::destCallSignalAddress])->port, 1721);
  EXPECT_EQ(asn::Ipv4(s[S::sourceCallSignalAddress])->port, 40000);
  EXPECT_FALSE(s[S::activeMC].Boolean());
  EXPECT_EQ(s[S::conferenceID].Bytes(), kConfId);
  EXPECT_TRUE(s[S::conferenceGoal].Is(h::Setup_UUIE_conferenceGoal::create));
  EXPECT_TRUE(s[S::callType].Is(h::CallType::pointToPoint));
  EXPECT_EQ(m.CallIdentifier(), kCallId);
  EXPECT_EQ(m.FastStart(), (std::vector<Octets>{{1, 2, 3}, {4, 5}}));
  EXPECT_FALSE(s[S::mediaWaitForConnect].Boolean());
  EXPECT_FALSE(s[S::canOverlapSend].Boolean());
  EXPECT_EQ(s[S::endpointIdentifier].Text(), "ep-7");
  EXPECT_FALSE(s[S::multipleCalls].Boolean());
  EXPECT_FALSE(s[S::maintainConnection].Boolean());
  EXPECT_EQ(m.Tunnelling(), true);
}

TEST(SignallingMessages, AnAliasThatIsNoNumberGoesAsH323IdWithoutNumbers) {
  H225MessageBuilder::SetupFields f = Fields();
  f.sourceAlias = "alice";
  f.destinationAlias = "bob";
  f.endpointIdentifier.clear();
  const H225Message m = RoundTrip(Builder(true).Setup(f));
  EXPECT_FALSE(m.Q931().CallingPartyNumber());
  EXPECT_FALSE(m.Q931().CalledPartyNumber());
  EXPECT_EQ(m.Q931().Display(), "alice");
  EXPECT_TRUE(m.Body()[h::Setup_UUIE::destinationAddress].At(0).Is(h::AliasAddress::h323_ID));
  EXPECT_FALSE(m.Body().Has(h::Setup_UUIE::endpointIdentifier));
}

TEST(SignallingMessages, AnswersClearingAndStatusCarryTheCallAndTheirFields) {
  H225MessageBuilder b = Builder(false);
  b.SetTunnelling(false);

  H225Message proceeding = b.CallProceeding();
  proceeding.SetFastConnectRefused();
  proceeding.SetH245Address({{127, 0, 0, 1}, 30123});
  const H225Message p = RoundTrip(proceeding);
  EXPECT_TRUE(p.Q931().FromDestination());
  EXPECT_EQ(p.BodyType(), h::H323_UU_PDU_h323_message_body::callProceeding);
  EXPECT_TRUE(p.FastConnectRefused());
  EXPECT_EQ(p.H245Address()->port, 30123);
  EXPECT_EQ(p.CallIdentifier(), kCallId);
  EXPECT_EQ(p.Tunnelling(), false);
  EXPECT_TRUE(p.BodyField("destinationInfo"));

  const H225Message connect = RoundTrip(b.Connect());
  EXPECT_EQ(connect.Body()[h::Connect_UUIE::conferenceID].Bytes(), kConfId);
  EXPECT_FALSE(connect.FastConnectRefused());
  EXPECT_FALSE(connect.H245Address());

  const H225Message rc = RoundTrip(b.ReleaseComplete(h::ReleaseCompleteReason::inConf, 17));
  EXPECT_EQ(rc.Type(), Q931Message::ReleaseComplete);
  EXPECT_EQ(rc.Q931().Cause()->value, 17);
  EXPECT_TRUE(rc.BodyField("reason")->Is(h::ReleaseCompleteReason::inConf));
  EXPECT_FALSE(RoundTrip(b.ReleaseComplete(std::nullopt, 16)).BodyField("reason"));

  const H225Message status = RoundTrip(b.Status(H225MessageBuilder::Active, 30));
  EXPECT_EQ(status.Q931().Cause()->value, 30);
  ASSERT_TRUE(status.Q931().Find(0x14));
  EXPECT_EQ(status.Q931().Find(0x14)->contents, std::vector<std::uint8_t>{10});

  const H225Message facility = RoundTrip(b.Facility(h::FacilityReason::startH245));
  EXPECT_TRUE(facility.BodyField("reason")->Is(h::FacilityReason::startH245));

  H225Message carrier = b.H245Carrier();
  carrier.SetTunnelling(true);
  carrier.AddH245Control(std::vector<std::uint8_t>{0x22, 0x80});
  carrier.AddH245Control(std::vector<std::uint8_t>{0x01});
  const H225Message c = RoundTrip(carrier);
  EXPECT_EQ(c.Type(), Q931Message::Facility);
  EXPECT_EQ(c.BodyType(), h::H323_UU_PDU_h323_message_body::empty);
  EXPECT_EQ(c.H245Control(), (std::vector<Octets>{{0x22, 0x80}, {0x01}}));
  EXPECT_EQ(DescribeMessage(c), "Facility (empty) +2 H.245");
}

TEST(SignallingMessages, ReadsWhatRealPeersSent) {
  int read = 0;
  for (const auto& v : test::kQ931Vectors) {
    SCOPED_TRACE(v.name);
    std::string error;
    auto m = H225Message::Decode(test::fromHex(v.hex), &error);
    ASSERT_TRUE(m) << error;
    ASSERT_TRUE(m->HasUuie()) << error;
    EXPECT_NE(m->BodyType(), H225Message::kNoBody);
    // What the connection reads from every message must never throw.
    m->FastStart();
    m->H245Address();
    m->H245Control();
    m->FastConnectRefused();
    m->CallIdentifier();
    ++read;
  }
  EXPECT_GT(read, 0);
}

TEST(SignallingMessages, MalformedInputIsRefusedOrReadWithoutItsUuie) {
  std::string error;
  EXPECT_FALSE(H225Message::Decode(std::vector<std::uint8_t>{0x08}, &error));
  EXPECT_FALSE(error.empty());
  // A Q.931 Release Complete whose user-user element is junk: the frame is kept, the UUIE is not.
  Q931Message q(Q931Message::ReleaseComplete, 7, true);
  q.SetUserUser(std::vector<std::uint8_t>{0xff, 0xff, 0xff});
  error.clear();
  auto m = H225Message::Decode(q.Encode(), &error);
  ASSERT_TRUE(m);
  EXPECT_FALSE(m->HasUuie());
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(m->BodyType(), H225Message::kNoBody);
  EXPECT_TRUE(m->FastStart().empty());
  EXPECT_FALSE(m->Tunnelling());
  EXPECT_EQ(DescribeMessage(*m), "ReleaseComplete");
}

TEST(CallTarget, PartiesAsUsersAndProgramsWriteThem) {
  using T = CallTarget;
  EXPECT_EQ(ParseCallTarget("5550100@"), (T{"5550100", "", 1720}));
  EXPECT_EQ(ParseCallTarget(" 5550100@ "), (T{"5550100", "", 1720}));
  EXPECT_EQ(ParseCallTarget("5550100@127.0.0.1:1737"), (T{"5550100", "127.0.0.1", 1737}));
  EXPECT_EQ(ParseCallTarget("bob@gw.example.net"), (T{"bob", "gw.example.net", 1720}));
  EXPECT_EQ(ParseCallTarget("127.0.0.1:1737"), (T{"", "127.0.0.1", 1737}));
  EXPECT_EQ(ParseCallTarget("h323:10.0.0.1"), (T{"", "10.0.0.1", 1720}));
  EXPECT_EQ(ParseCallTarget("5550100"), (T{"5550100", "", 1720}));  // a number, not a host
  EXPECT_EQ(ParseCallTarget("@127.0.0.1"), (T{"", "127.0.0.1", 1720}));
  for (const char* bad : {"", "@", "   ", "a b@", "5550100@host:99999", "x@*:1720", "5550100@bad host"})
    EXPECT_FALSE(ParseCallTarget(bad)) << bad;
}

// Log lines name the reason; a value out of the table reads as "?", never past its end.
TEST(CallEndReasons, AValueOutOfTheTableHasNoName) {
  EXPECT_STREQ(H323CallEndReasons::CallEndReasonName(static_cast<H323CallEndReasons::CallEndReason>(999)), "?");
}

TEST(CallEndReasons, ReleaseCompleteBothWays) {
  using E = H323CallEndReasons;
  using R = h::ReleaseCompleteReason;
  // What we send: busy is inConf with cause 17, a plain clearing has no reason.
  EXPECT_EQ(ReleaseCompleteFor(E::EndedByLocalBusy).reason, R::inConf);
  EXPECT_EQ(ReleaseCompleteFor(E::EndedByLocalBusy).cause, 17);
  EXPECT_FALSE(ReleaseCompleteFor(E::EndedByLocalUser).reason);
  EXPECT_EQ(ReleaseCompleteFor(E::EndedByLocalUser).cause, 16);
  EXPECT_EQ(ReleaseCompleteFor(E::EndedBySecurityDenial).reason, R::securityDenied);
  // What we read: the cause when it says more than a normal clearing, else the reason.
  EXPECT_EQ(EndReasonFromReleaseComplete(16, std::nullopt), E::EndedByRemoteUser);
  EXPECT_EQ(EndReasonFromReleaseComplete(17, std::nullopt), E::EndedByRemoteBusy);
  EXPECT_EQ(EndReasonFromReleaseComplete(16, R::inConf), E::EndedByRemoteBusy);
  EXPECT_EQ(EndReasonFromReleaseComplete(21, R::undefinedReason), E::EndedByRefusal);
  EXPECT_EQ(EndReasonFromReleaseComplete(std::nullopt, R::calledPartyNotRegistered), E::EndedByNoUser);
  EXPECT_EQ(EndReasonFromReleaseComplete(19, std::nullopt), E::EndedByNoAnswer);
  EXPECT_EQ(EndReasonFromReleaseComplete(34, std::nullopt), E::EndedByRemoteCongestion);
  EXPECT_EQ(EndReasonFromReleaseComplete(111, std::nullopt), E::EndedByQ931Cause);
  EXPECT_EQ(EndReasonFromReleaseComplete(std::nullopt, std::nullopt), E::EndedByRemoteUser);
  // Every reason we send reads back as the same kind of end at the far end where one exists.
  EXPECT_EQ(EndReasonFromReleaseComplete(ReleaseCompleteFor(E::EndedByLocalBusy).cause,
                                         ReleaseCompleteFor(E::EndedByLocalBusy).reason),
            E::EndedByRemoteBusy);
  EXPECT_EQ(EndReasonFromReleaseComplete(ReleaseCompleteFor(E::EndedByAnswerDenied).cause,
                                         ReleaseCompleteFor(E::EndedByAnswerDenied).reason),
            E::EndedByRefusal);
}

TEST(CallEndReasons, AdmissionRejects) {
  using E = H323CallEndReasons;
  using A = h::AdmissionRejectReason;
  EXPECT_EQ(EndReasonFromAdmissionReject(A::calledPartyNotRegistered), E::EndedByNoUser);
  EXPECT_EQ(EndReasonFromAdmissionReject(A::requestDenied), E::EndedByGatekeeper);
  EXPECT_EQ(EndReasonFromAdmissionReject(A::securityDenial), E::EndedBySecurityDenial);
  EXPECT_EQ(EndReasonFromAdmissionReject(A::noRouteToDestination), E::EndedByUnreachable);
}

// tshark, which shares no code with us, reads the messages as their types with nothing malformed.
TEST(SignallingMessages, TsharkReadsThem) {
  test::Tshark judge;
  if (!judge.Available()) GTEST_SKIP() << "tshark or text2pcap missing";
  H225MessageBuilder caller = Builder(true);
  H225MessageBuilder callee = Builder(false);
  H225Message setup = caller.Setup(Fields());
  H225Message carrier = callee.H245Carrier();
  asn::Value rtd(asn::h245::MultimediaSystemControlMessage::Id);
  rtd.Select(asn::h245::MultimediaSystemControlMessage::request)
      .Select(asn::h245::RequestMessage::roundTripDelayRequest)
      .Field(asn::h245::RoundTripDelayRequest::sequenceNumber)
      .SetInteger(3);
  carrier.AddH245Control(*asn::Encode(rtd));
  const std::vector<H225Message> messages = {setup,
                                             callee.CallProceeding(),
                                             callee.Alerting(),
                                             callee.Connect(),
                                             carrier,
                                             caller.Facility(h::FacilityReason::startH245),
                                             caller.StatusEnquiry(),
                                             callee.Status(H225MessageBuilder::Active, 30),
                                             caller.ReleaseComplete(h::ReleaseCompleteReason::inConf, 17)};
  std::vector<std::vector<std::uint8_t>> packets;
  for (const auto& m : messages) packets.push_back(*q931::TpktFrame(*m.Encode()));
  auto rows =
      judge.Signalling(packets, {"q931.message_type", "h225.h323_message_body", "q931.cause_value", "h225.guid",
                                 "h225.h245Tunnelling", "q931.called_party_number.digits",
                                 "q931.calling_party_number.digits", "q931.display_information", "_ws.malformed"});
  ASSERT_EQ(rows.size(), messages.size());
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE(DescribeMessage(messages[i]));
    char type[8];
    std::snprintf(type, sizeof type, "0x%02x", messages[i].Type());
    EXPECT_EQ(rows[i]["q931.message_type"], type);
    EXPECT_EQ(rows[i]["h225.h323_message_body"], std::to_string(messages[i].BodyType()));
    EXPECT_EQ(rows[i]["h225.h245Tunnelling"], "1");
    EXPECT_EQ(rows[i]["_ws.malformed"], "");
  }
  EXPECT_EQ(rows[0]["h225.guid"], "11223344-5566-7788-99aa-bbccddeeff00");
  EXPECT_EQ(rows[0]["q931.called_party_number.digits"], "5550200");
  EXPECT_EQ(rows[0]["q931.calling_party_number.digits"], "5550100");
  EXPECT_EQ(rows[0]["q931.display_information"], "5550100");
  EXPECT_EQ(rows[8]["q931.cause_value"], "17");
  const std::string text = judge.VerboseH323(packets, true);
  EXPECT_EQ(text.find("Malformed"), std::string::npos);
  EXPECT_NE(text.find("conferenceGoal: create"), std::string::npos);
  EXPECT_NE(text.find("callType: pointToPoint"), std::string::npos);
  EXPECT_NE(text.find("roundTripDelayRequest"), std::string::npos);
}

}  // namespace
}  // namespace vantro::h225
