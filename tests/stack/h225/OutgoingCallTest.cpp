// A call we place, against a far end the test plays message by message: what Setup says, the
// answers in each order peers send them, tunnelled H.245 starting, each way the call can end, and
// the timers that end a call whose far end goes quiet.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245FastStart.h"
#include "tests/stack/h225/CallHarness.h"
#include "tests/stack/h245/H245TestPeer.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

namespace h = asn::h225;
using q931::Q931Message;
using E = H323Connection;
using Event = FakeHost::CallEvent;

// The H.245 messages tunnelled in what the peer received, by alternative of their kind.
std::vector<std::pair<std::uint16_t, std::uint16_t>> TunnelledKinds(const std::vector<h225::H225Message>& messages) {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> kinds;
  for (const auto& m : messages)
    for (const auto& bytes : m.H245Control()) {
      auto v = asn::Decode(asn::h245::MultimediaSystemControlMessage::Id, bytes);
      if (v) kinds.emplace_back(v->Choice(), v->Alternative().Choice());
    }
  return kinds;
}

bool Has(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& kinds, std::uint16_t kind, std::uint16_t alt) {
  return std::find(kinds.begin(), kinds.end(), std::make_pair(kind, alt)) != kinds.end();
}

TEST_F(Outgoing, RingsConnectsStartsH245AndClearsWithReleaseComplete) {
  const auto setup = Dial();
  // Not registered: no admission; a bare address is called as it is.
  EXPECT_TRUE(host.AdmissionRequests().empty());
  EXPECT_EQ(asn::AliasText(setup.Body()[h::Setup_UUIE::destinationAddress].At(0)), "5550200");
  EXPECT_EQ(setup.Tunnelling(), true);
  EXPECT_EQ(setup.FastStart().size(), 0u);  // the host's table is empty: nothing to propose
  EXPECT_FALSE(setup.Body().Has(h::Setup_UUIE::endpointIdentifier));

  auto b = PeerBuilder(setup);
  peer.Send(b.CallProceeding());
  h225::H225Message alerting = b.Alerting();
  alerting.Q931().SetDisplay(std::string("Bob\0", 4));  // some peers end it with a NUL
  peer.Send(alerting);
  ASSERT_TRUE(host.WaitFor([&] { return !host.Alerts().empty(); }));
  EXPECT_EQ(host.Alerts()[0], "Bob");
  EXPECT_EQ(call->GetRemotePartyName(), "Bob");
  EXPECT_EQ(call->GetRemotePartyNumber(), "5550200");
  EXPECT_FALSE(call->IsEstablished());
  EXPECT_FALSE(call->GetConnectionStartTime());

  peer.Send(b.Connect());
  ASSERT_TRUE(host.WaitFor([&] { return host.Established() == 1; }));
  EXPECT_TRUE(call->IsEstablished());
  EXPECT_TRUE(call->GetConnectionStartTime());
  EXPECT_EQ(call->GetCallEndReason(), E::NumCallEndReasons);
  // Our capability set and master/slave determination come tunnelled.
  auto carrier = peer.Receive();
  ASSERT_TRUE(carrier);
  EXPECT_EQ(carrier->Type(), Q931Message::Facility);
  const auto kinds = TunnelledKinds({*carrier});
  EXPECT_TRUE(Has(kinds, 0, asn::h245::RequestMessage::terminalCapabilitySet));
  EXPECT_TRUE(Has(kinds, 0, asn::h245::RequestMessage::masterSlaveDetermination));

  call->ClearCall();
  auto rc = peer.ReceiveType(Q931Message::ReleaseComplete);
  ASSERT_TRUE(rc);
  EXPECT_EQ(rc->Q931().Cause()->value, 16);
  EXPECT_TRUE(Has(TunnelledKinds({*rc}), 2, asn::h245::CommandMessage::endSessionCommand));
  EXPECT_TRUE(peer.WaitClosed());
  ASSERT_TRUE(host.WaitEnded());
  const auto ended = host.EndedCalls();
  EXPECT_EQ(ended[0].reason, E::EndedByLocalUser);
  EXPECT_EQ(ended[0].cause, 16u);
  EXPECT_TRUE(ended[0].established);

  std::vector<Event> order;
  for (const auto& [e, detail] : host.Events()) order.push_back(e);
  // Without fast start, H.245 starts with the first answer that says the far end tunnels.
  const std::vector<Event> expected = {Event::SetupSent, Event::Proceeding, Event::H245Connected, Event::Alerting,
                                       Event::Connected, Event::Clearing,   Event::Cleared};
  EXPECT_EQ(order, expected);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(host.EndedCalls().size(), 1u);  // exactly once
}

TEST_F(Outgoing, TheFarEndsReleaseCompleteGivesTheEndReasonAndCause) {
  const auto setup = Dial();
  auto b = PeerBuilder(setup);
  peer.Send(b.CallProceeding());
  peer.Send(b.ReleaseComplete(h::ReleaseCompleteReason::inConf, 17));
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByRemoteBusy);
  EXPECT_EQ(host.EndedCalls()[0].cause, 17u);
  EXPECT_FALSE(host.EndedCalls()[0].established);
  // We do not answer a Release Complete with another.
  EXPECT_FALSE(peer.ReceiveType(Q931Message::ReleaseComplete, 300ms));
}

TEST_F(Outgoing, AFarEndThatResetsTheConnectionEndsTheCall) {
  const auto setup = Dial();
  auto b = PeerBuilder(setup);
  peer.Send(b.Connect());
  ASSERT_TRUE(host.WaitFor([&] { return host.Established() == 1; }));
  peer.Reset();
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByTransportFail);
}

TEST_F(Outgoing, StatusEnquiryIsAnsweredAndWhatWeCannotUseIsIgnored) {
  const auto setup = Dial();
  auto b = PeerBuilder(setup);
  peer.Send(b.Connect());
  ASSERT_TRUE(host.WaitFor([&] { return host.Established() == 1; }));
  peer.Send(b.StatusEnquiry());
  auto status = peer.ReceiveType(Q931Message::Status);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->Q931().Cause()->value, 30);
  EXPECT_EQ(status->Q931().Find(0x14)->contents[0], 10);  // active

  // Information and Notify, a message of another call, one without a usable UUIE, junk inside a
  // TPKT, and a message type nobody knows.
  h225::H225Message info(Q931Message::Information, setup.CallReference(), true,
                         h::H323_UU_PDU_h323_message_body::information);
  peer.Send(info);
  info.Q931().SetKeypad(std::string("7\0", 2));  // keys of a far end without H.245, as one sends them
  peer.Send(info);
  peer.Send(
      h225::H225Message(Q931Message::Notify, setup.CallReference(), true, h::H323_UU_PDU_h323_message_body::notify));
  h225::H225MessageBuilder other(
      {static_cast<std::uint16_t>(setup.CallReference() ^ 0x55), false, setup.CallIdentifier(), std::string(16, 'c')});
  peer.Send(other.ReleaseComplete(std::nullopt, 16));
  Q931Message broken(Q931Message::Facility, setup.CallReference(), true);
  broken.SetUserUser(std::vector<std::uint8_t>{0x10, 0xff, 0xff});
  peer.SendPayload(broken.Encode());
  peer.SendPayload({0x08, 0x02, 0x00});
  peer.SendPayload(Q931Message(0x44, setup.CallReference(), true).Encode());
  auto unknown = peer.ReceiveType(Q931Message::Status);
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->Q931().Cause()->value, 97);
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(host.EndedCalls().empty());
  EXPECT_TRUE(call->IsEstablished());
  EXPECT_EQ(host.UserInput(), std::vector<std::string>{"7"});
}

TEST_F(Outgoing, AFarEndThatNeverAnswersSetupIsGivenUp) {
  host.settings.timings.setupAnswerTimeout = 150ms;
  Dial();
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByTransportFail);
  EXPECT_TRUE(peer.ReceiveType(Q931Message::ReleaseComplete));
}

TEST_F(Outgoing, RingingWithoutAnswerEndsAsNoAnswer) {
  host.settings.timings.ringingTimeout = 150ms;
  const auto setup = Dial();
  peer.Send(PeerBuilder(setup).Alerting());
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByNoAnswer);
  auto rc = peer.ReceiveType(Q931Message::ReleaseComplete);
  ASSERT_TRUE(rc);
  EXPECT_EQ(rc->Q931().Cause()->value, 19);
}

TEST_F(Outgoing, AnEstablishedCallWhoseFarEndFallsSilentIsCleared) {
  host.settings.tunnelingDisabled = true;  // no H.245 that would time out first
  host.settings.timings.statusEnquiryInterval = 100ms;
  host.settings.timings.h245Timeout = 200ms;
  const auto setup = Dial();
  auto b = PeerBuilder(setup);
  peer.Send(b.Connect());
  // A live far end answers the enquiries; the call goes on.
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(peer.ReceiveType(Q931Message::StatusEnquiry));
    peer.Send(b.Status(h225::H225MessageBuilder::Active, 30));
  }
  EXPECT_TRUE(host.EndedCalls().empty());
  // Then it says nothing more.
  ASSERT_TRUE(host.WaitEnded(1, 3s));
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByTransportFail);
}

TEST_F(Outgoing, NothingListeningIsNoEndPoint) {
  asio::io_context io;
  asio::ip::tcp::acceptor a(io, {asio::ip::address_v4::loopback(), 0});
  const auto port = a.local_endpoint().port();
  a.close();
  host.Call("127.0.0.1:" + std::to_string(port));
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByNoEndPoint);
  EXPECT_FALSE(host.EndedCalls()[0].cause);
}

TEST_F(Outgoing, APartyThatIsNoAddressOrAliasEndsAtOnce) {
  host.Call("bad party@");
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByNoUser);
  // An alias needs a gatekeeper.
  host.Call("5550200@");
  ASSERT_TRUE(host.WaitEnded(2));
  EXPECT_EQ(host.EndedCalls()[1].reason, E::EndedByGatekeeper);
}

}  // namespace
}  // namespace vantro::test
