// H.245 of a call against a far end whose H.245 is a control of its own: tunnelled in the call
// signalling or on a connection of its own, channels both ways, user input both ways, the end of
// the session; fast start accepted (early media) or refused; a call forwarded once.

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"
#include "stack/h245/H245FastStart.h"
#include "tests/stack/h225/CallHarness.h"

#include <gtest/gtest.h>

namespace vantro::test {
namespace {

namespace h = asn::h225;
using q931::Q931Message;
using E = H323Connection;
using Event = FakeHost::CallEvent;
using Octets = std::vector<std::uint8_t>;

std::size_t IndexOf(const FakeHost& host, Event event) {
  const auto events = host.Events();
  for (std::size_t i = 0; i < events.size(); ++i)
    if (events[i].first == event) return i;
  return events.size();
}

// Moves tunnelled H.245 both ways until done() holds: what we send goes to the far end's control,
// what it answers goes back in a Facility.
bool PumpTunnelled(SignalPeer& peer, PeerH245& far, h225::H225MessageBuilder& b, const std::function<bool()>& done,
                   std::chrono::milliseconds limit = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto m = peer.Receive(30ms)) far.Take(*m);
    const auto replies = far.Replies();
    if (!replies.empty()) {
      h225::H225Message carrier = b.H245Carrier();
      for (const auto& r : replies) carrier.AddH245Control(r);
      peer.Send(carrier);
    }
    if (done()) return true;
  }
  return done();
}

// The same on an H.245 connection of its own.
bool PumpSeparate(asio::ip::tcp::socket& socket, PeerH245& far, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  socket.non_blocking(true);
  std::vector<std::uint8_t> buffer;
  while (std::chrono::steady_clock::now() < deadline) {
    std::uint8_t chunk[4096];
    std::error_code ec;
    const std::size_t n = socket.read_some(asio::buffer(chunk), ec);
    if (!ec) buffer.insert(buffer.end(), chunk, chunk + n);
    while (buffer.size() >= 4 && buffer.size() >= static_cast<std::size_t>(buffer[2] << 8 | buffer[3])) {
      const std::size_t total = buffer[2] << 8 | buffer[3];
      far.TakeOctets(Octets(buffer.begin() + 4, buffer.begin() + static_cast<std::ptrdiff_t>(total)));
      buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(total));
    }
    for (const auto& r : far.Replies()) {
      Octets framed = {3, 0, static_cast<std::uint8_t>((r.size() + 4) >> 8), static_cast<std::uint8_t>((r.size() + 4) & 0xff)};
      framed.insert(framed.end(), r.begin(), r.end());
      socket.non_blocking(false);
      asio::write(socket, asio::buffer(framed));
      socket.non_blocking(true);
    }
    if (done()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return done();
}

struct CallTo : ::testing::Test {
  FakeHost host;
  SignalPeer peer;
  std::shared_ptr<H323Connection> call;
  PeerH245 far{CapabilitiesOf({"G.711-uLaw-64k"})};

  CallTo() { host.settings.capabilities = CapabilitiesOf({"G.711-uLaw-64k"}); }
  h225::H225Message Dial() {
    const auto port = peer.Listen();
    call = host.Call("5550200@127.0.0.1:" + std::to_string(port));
    EXPECT_TRUE(peer.Accept());
    auto setup = peer.Receive();
    EXPECT_TRUE(setup);
    return setup ? *setup : h225::H225Message();
  }
  bool BothWaysOpen() {
    bool ours = false, theirs = false;
    for (const auto& c : host.media.Channels()) (c.direction == endpoint::H323Channel::IsTransmitter ? ours : theirs) = true;
    return ours && theirs && !far.Peer().opened.empty();
  }
  // The far end opens its channel once its control is ready.
  void OpenFarChannel() {
    h245::OutgoingChannel channel;
    channel.audioCapability = endpoint::H323_G711Capability().GetAudioCapability(endpoint::H323Capability::Direction::Transmit);
    channel.control = Loopback(7001);
    far.Control().OpenChannel(channel);
  }
};

TEST_F(CallTo, TunnelledH245OpensChannelsBothWaysCarriesKeysAndEndsTheSession) {
  host.settings.fastStartDisabled = true;
  const auto setup = Dial();
  EXPECT_TRUE(setup.FastStart().empty());
  auto b = PeerBuilder(setup);
  peer.Send(b.CallProceeding());
  far.Control().Start();
  h225::H225Message connect = b.Connect();
  for (const auto& r : far.Replies()) connect.AddH245Control(r);
  peer.Send(connect);
  ASSERT_TRUE(PumpTunnelled(peer, far, b, [&] { return !far.Peer().ready.empty(); }));
  OpenFarChannel();
  ASSERT_TRUE(PumpTunnelled(peer, far, b, [&] { return BothWaysOpen(); }));
  // Our channel goes where the far end said; theirs is acknowledged with our session's addresses.
  EXPECT_EQ(host.media.Sessions().at(0)->GetRemoteDataAddress(), Loopback(far.Peer().mediaPort));
  EXPECT_EQ(far.Peer().opened.at(0).media, host.media.Sessions().at(0)->GetLocalDataAddress());
  EXPECT_EQ(far.Peer().incoming.at(0).sessionID, 1u);

  call->SendUserInput("1");
  call->SendUserInput("#");
  far.Control().SendUserInput("9");
  ASSERT_TRUE(PumpTunnelled(peer, far, b, [&] { return far.Peer().input.size() == 2 && host.UserInput().size() == 1; }));
  EXPECT_EQ(far.Peer().input, (std::vector<std::string>{"1", "#"}));
  EXPECT_EQ(host.UserInput(), std::vector<std::string>{"9"});

  // The far end hangs up: EndSessionCommand tunnelled in its Release Complete.
  far.Control().SendEndSession();
  h225::H225Message rc = b.ReleaseComplete(std::nullopt, 16);
  for (const auto& r : far.Replies()) rc.AddH245Control(r);
  peer.Send(rc);
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByRemoteUser);
  EXPECT_EQ(host.EndedCalls()[0].cause, 16u);
  EXPECT_TRUE(far.Peer().failures.empty());
}

TEST_F(CallTo, AFarEndThatDoesNotTunnelGetsH245OnItsOwnConnection) {
  host.settings.fastStartDisabled = true;
  const auto setup = Dial();
  auto b = PeerBuilder(setup, false);
  asio::io_context io;
  asio::ip::tcp::acceptor h245Listener(io, {asio::ip::address_v4::loopback(), 0});
  h225::H225Message connect = b.Connect();
  connect.SetH245Address(Loopback(h245Listener.local_endpoint().port()));
  peer.Send(b.CallProceeding());
  peer.Send(connect);
  asio::ip::tcp::socket h245(io);
  h245Listener.accept(h245);
  far.Control().Start();
  ASSERT_TRUE(PumpSeparate(h245, far, [&] { return !far.Peer().ready.empty(); }));
  OpenFarChannel();
  ASSERT_TRUE(PumpSeparate(h245, far, [&] { return BothWaysOpen(); }));
  call->SendUserInput("5");
  ASSERT_TRUE(PumpSeparate(h245, far, [&] { return far.Peer().input.size() == 1; }));
  // Nothing tunnelled went in the signalling.
  for (const auto& m : peer.Received()) EXPECT_EQ(m.H245ControlCount(), 0u) << h225::DescribeMessage(m);

  // We hang up: EndSessionCommand on the H.245 connection, Release Complete in the signalling.
  call->ClearCall();
  ASSERT_TRUE(PumpSeparate(h245, far, [&] { return far.Peer().endSessions == 1; }));
  EXPECT_TRUE(peer.ReceiveType(Q931Message::ReleaseComplete));
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByLocalUser);
}

TEST_F(CallTo, FastStartAcceptedInCallProceedingStartsMediaBeforeConnect) {
  const auto setup = Dial();
  const auto proposals = setup.FastStart();
  ASSERT_EQ(proposals.size(), 2u);  // receive and transmit for the one capability
  auto b = PeerBuilder(setup);
  h225::H225Message proceeding = b.CallProceeding();
  const auto answer = h245::SelectFastStart(proposals, CapabilitiesOf({"G.711-uLaw-64k"}), {1, Loopback(7000), Loopback(7001)});
  ASSERT_EQ(answer.reply.size(), 2u);
  proceeding.SetFastStart(answer.reply);
  peer.Send(proceeding);
  ASSERT_TRUE(host.WaitFor([&] { return host.media.Channels().size() == 2; }));
  EXPECT_EQ(host.media.Sessions().at(0)->GetRemoteDataAddress(), Loopback(7000));
  EXPECT_FALSE(call->IsEstablished());  // early media: the far end's ringback reaches us before Connect

  peer.Send(b.Alerting());
  peer.Send(b.Connect());
  ASSERT_TRUE(host.WaitFor([&] { return host.Established() == 1; }));
  EXPECT_LT(IndexOf(host, Event::FastStartAccepted), IndexOf(host, Event::Connected));
  EXPECT_LT(IndexOf(host, Event::MediaStarted), IndexOf(host, Event::Connected));
  // H.245 comes after Connect, without opening channels of its own.
  far.Control().Start();
  ASSERT_TRUE(PumpTunnelled(peer, far, b, [&] { return !far.Peer().ready.empty(); }));
  std::this_thread::sleep_for(50ms);
  PumpTunnelled(peer, far, b, [] { return false; }, 200ms);
  EXPECT_TRUE(far.Peer().incoming.empty());
  EXPECT_EQ(host.media.Channels().size(), 2u);
}

TEST_F(CallTo, FastStartRefusedFallsBackToH245Channels) {
  const auto setup = Dial();
  ASSERT_FALSE(setup.FastStart().empty());
  auto b = PeerBuilder(setup);
  h225::H225Message proceeding = b.CallProceeding();
  proceeding.SetFastConnectRefused();
  peer.Send(proceeding);
  ASSERT_TRUE(host.WaitFor([&] { return host.HasEvent(Event::FastStartRefused); }));
  far.Control().Start();
  h225::H225Message connect = b.Connect();
  for (const auto& r : far.Replies()) connect.AddH245Control(r);
  peer.Send(connect);
  ASSERT_TRUE(PumpTunnelled(peer, far, b, [&] { return !far.Peer().ready.empty(); }));
  OpenFarChannel();
  ASSERT_TRUE(PumpTunnelled(peer, far, b, [&] { return BothWaysOpen(); }));
  EXPECT_FALSE(host.HasEvent(Event::FastStartAccepted));
}

TEST_F(CallTo, AForwardedCallGoesOnOnceToTheNewAddress) {
  host.settings.fastStartDisabled = true;
  const auto setup = Dial();
  SignalPeer second;
  const auto secondPort = second.Listen();
  h225::H225Message facility = PeerBuilder(setup).Facility(h::FacilityReason::callForwarded);
  asn::setIpv4(*facility.SetBodyField("alternativeAddress"), Loopback(secondPort));
  asn::setAlias(facility.SetBodyField("alternativeAliasAddress")->append(), "5550999");
  peer.Send(facility);
  auto rc = peer.ReceiveType(Q931Message::ReleaseComplete);
  ASSERT_TRUE(rc);
  EXPECT_TRUE(rc->BodyField("reason")->is(h::ReleaseCompleteReason::facilityCallDeflection));
  ASSERT_TRUE(second.Accept());
  auto again = second.Receive();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->Type(), Q931Message::Setup);
  EXPECT_EQ(asn::aliasText(again->Body()[h::Setup_UUIE::destinationAddress].at(0)), "5550999");
  EXPECT_EQ(again->CallIdentifier(), setup.CallIdentifier());  // the same call
  EXPECT_TRUE(host.EndedCalls().empty());

  // Forwarded again: that is once too often.
  h225::H225Message twice = PeerBuilder(*again).Facility(h::FacilityReason::callForwarded);
  asn::setIpv4(*twice.SetBodyField("alternativeAddress"), Loopback(secondPort));
  second.Send(twice);
  ASSERT_TRUE(host.WaitEnded());
  EXPECT_EQ(host.EndedCalls()[0].reason, E::EndedByCallForwarded);
}

}  // namespace
}  // namespace vantro::test
