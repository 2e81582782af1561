// Logical channels between two controls: rejected, closed by either side, closed on request, given
// up; and what H.245 makes of channels we cannot take. (Channels opened each way with their
// addresses are the call tests' work: the calls without fast start of CallMatrix and CodecChoice.)

#include "tests/stack/h245/H245PairTest.h"

namespace vantro::test {
namespace {

using vantro::h245::IncomingAnswer;
using vantro::h245::IncomingChannel;

TEST_F(H245Pair, TheOwnerRejectsWithItsCause) {
  MakeReady();
  b->answer = [](const IncomingChannel&) {
    IncomingAnswer no;
    no.rejectCause = h245::OpenLogicalChannelReject_cause::insufficientBandwidth;
    return no;
  };
  const unsigned n = a->Control().OpenChannel(G711Out(5001));
  Exchange(*a, *b);
  EXPECT_EQ(a->rejected, std::vector<unsigned>{n});
  EXPECT_TRUE(a->opened.empty());
  // The owner was asked with what A said of its channel.
  ASSERT_EQ(b->incoming.size(), 1u);
  EXPECT_EQ(b->incoming[0].remoteControl, Loopback(5001));
  EXPECT_EQ(b->incoming[0].sessionID, 1u);
  const asn::Value* reject = b->Last(MSCM::response, Response::openLogicalChannelReject);
  ASSERT_TRUE(reject);
  EXPECT_TRUE(
      (*reject)[h245::OpenLogicalChannelReject::cause].Is(h245::OpenLogicalChannelReject_cause::insufficientBandwidth));
  // A late Ack for the rejected channel opens nothing.
  a->Receive(Message(MSCM::response, Response::openLogicalChannelAck, [n](asn::Value& v) {
    v.Field(h245::OpenLogicalChannelAck::forwardLogicalChannelNumber).SetInteger(n);
  }));
  EXPECT_TRUE(a->opened.empty());
}

// An OpenLogicalChannel of channel 42 with the given data type, reverse parameters when asked.
asn::Value OpenRequest(const std::function<void(asn::Value& dataType)>& type, bool bidirectional = false) {
  using OLC = h245::OpenLogicalChannel;
  using Forward = h245::OpenLogicalChannel_forwardLogicalChannelParameters;
  return Message(MSCM::request, Request::openLogicalChannel, [&](asn::Value& olc) {
    olc.Field(OLC::forwardLogicalChannelNumber).SetInteger(42);
    asn::Value& forward = olc.Field(OLC::forwardLogicalChannelParameters);
    type(forward.Field(Forward::dataType));
    forward.Field(Forward::multiplexParameters)
        .Select(
            h245::OpenLogicalChannel_forwardLogicalChannelParameters_multiplexParameters::h2250LogicalChannelParameters)
        .Field(h245::H2250LogicalChannelParameters::sessionID)
        .SetInteger(0);
    if (bidirectional) {
      asn::Value& reverse = olc.Field(OLC::reverseLogicalChannelParameters);
      reverse.Field(h245::OpenLogicalChannel_reverseLogicalChannelParameters::dataType)
          .Select(h245::DataType::audioData)
          .Select(h245::AudioCapability::g711Ulaw64k)
          .SetInteger(20);
    }
    asn::CompleteMandatory(olc);
  });
}

TEST_F(H245Pair, ChannelsWeCannotTakeAreRejectedWithoutAskingTheOwner) {
  Make();
  auto causeOf = [&]() -> std::uint16_t {
    const asn::Value* r = a->Last(MSCM::response, Response::openLogicalChannelReject);
    return r ? (*r)[h245::OpenLogicalChannelReject::cause].Choice() : 0xffff;
  };
  auto g711 = [](asn::Value& t) {
    t.Select(h245::DataType::audioData).Select(h245::AudioCapability::g711Ulaw64k).SetInteger(20);
  };
  a->Receive(OpenRequest(g711, true));
  EXPECT_EQ(causeOf(), h245::OpenLogicalChannelReject_cause::unsuitableReverseParameters);
  a->Receive(OpenRequest([](asn::Value& t) { t.Select(h245::DataType::videoData); }));
  EXPECT_EQ(causeOf(), h245::OpenLogicalChannelReject_cause::dataTypeNotSupported);
  a->Receive(OpenRequest([](asn::Value& t) {
    t.Select(h245::DataType::audioData).Select(h245::AudioCapability::g711Alaw64k).SetInteger(20);
  }));
  EXPECT_EQ(causeOf(), h245::OpenLogicalChannelReject_cause::dataTypeNotSupported);
  EXPECT_TRUE(a->incoming.empty());
  // Session 0 (the master to assign): audio gets session 1, said in the Ack.
  a->Receive(OpenRequest(g711));
  ASSERT_EQ(a->incoming.size(), 1u);
  EXPECT_EQ(a->incoming[0].sessionID, 1u);
  const asn::Value* ack = a->Last(MSCM::response, Response::openLogicalChannelAck);
  ASSERT_TRUE(ack);
  EXPECT_EQ(ack->Find("forwardMultiplexAckParameters.h2250LogicalChannelAckParameters.sessionID")->Integer(), 1);
}

TEST_F(H245Pair, EitherSideClosesItsOwnChannel) {
  MakeReady();
  const unsigned fromA = a->Control().OpenChannel(G711Out(5001));
  const unsigned fromB = b->Control().OpenChannel(G711Out(7001));
  Exchange(*a, *b);
  a->Control().CloseChannel(fromA);
  Exchange(*a, *b);
  EXPECT_EQ(b->closed, (std::vector<std::pair<unsigned, bool>>{{fromA, true}}));
  EXPECT_EQ(a->closed, (std::vector<std::pair<unsigned, bool>>{{fromA, false}}));  // on the Ack
  b->Control().CloseChannel(fromB);
  Exchange(*a, *b);
  EXPECT_EQ(a->closed.back(), std::make_pair(fromB, true));
  EXPECT_EQ(b->closed.back(), std::make_pair(fromB, false));
  // Closing what is closed sends nothing; a close of a channel we never saw is still acknowledged.
  const std::size_t sent = a->Sent().size();
  a->Control().CloseChannel(fromA);
  EXPECT_EQ(a->Sent().size(), sent);
  a->Receive(CloseRequest(999));
  EXPECT_EQ(a->Count(MSCM::response, Response::closeLogicalChannelAck), 2u);
  EXPECT_EQ(a->closed.size(), 2u);
}

TEST_F(H245Pair, RequestChannelCloseMakesTheFarEndCloseItsChannel) {
  MakeReady();
  const unsigned fromA = a->Control().OpenChannel(G711Out(5001));
  Exchange(*a, *b);
  b->Control().RequestChannelClose(fromA);
  Exchange(*a, *b);
  EXPECT_EQ(a->Count(MSCM::response, Response::requestChannelCloseAck), 1u);
  EXPECT_EQ(a->Count(MSCM::request, Request::closeLogicalChannel), 1u);
  // Reported once each side: A closed it on B's word, B saw it closed.
  EXPECT_EQ(a->closed, (std::vector<std::pair<unsigned, bool>>{{fromA, true}}));
  EXPECT_EQ(b->closed, (std::vector<std::pair<unsigned, bool>>{{fromA, true}}));
  // Asking for a channel A does not have is refused.
  a->Receive(RequestChannelClose(77));
  EXPECT_EQ(a->Count(MSCM::response, Response::requestChannelCloseReject), 1u);
  EXPECT_TRUE(a->failures.empty());
  EXPECT_TRUE(b->failures.empty());
}

TEST_F(H245Pair, FastStartChannelsAreClosedLikeOthers) {
  MakeReady();
  a->Control().AddFastStartChannel(1, true);
  a->Control().AddFastStartChannel(2, false);
  // H.245 numbers its channels around the fast start ones, each with a number of its own.
  EXPECT_EQ(a->Control().OpenChannel(G711Out(5001)), 2u);
  EXPECT_EQ(a->Control().OpenChannel(G711Out(5001)), 3u);
  a->Receive(RequestChannelClose(1));
  EXPECT_EQ(a->closed, (std::vector<std::pair<unsigned, bool>>{{1, true}}));
  a->Receive(CloseRequest(2));
  EXPECT_EQ(a->closed.back(), std::make_pair(2u, true));
}

TEST_F(H245Pair, AnUnansweredChannelIsWithdrawnAndFails) {
  Make(TestSettings(std::chrono::milliseconds(20)), TestSettings());
  a->Control().OpenChannel(G711Out(5001));
  a->DropQueued();
  RunUntil([&] { return !a->failures.empty(); });
  ASSERT_EQ(a->failures.size(), 1u);
  EXPECT_NE(a->failures[0].find("OpenLogicalChannel"), std::string::npos);
  const asn::Value* close = a->Last(MSCM::request, Request::closeLogicalChannel);
  ASSERT_TRUE(close);
  EXPECT_TRUE((*close)[h245::CloseLogicalChannel::source].Is(h245::CloseLogicalChannel_source::lcse));
}

TEST_F(H245Pair, AnUnacknowledgedCloseStillClosesWithoutFailing) {
  Make(TestSettings(std::chrono::milliseconds(20)), TestSettings());
  a->Control().AddFastStartChannel(5, true);
  a->Control().CloseChannel(5);
  RunUntil([&] { return !a->closed.empty(); });
  EXPECT_EQ(a->closed, (std::vector<std::pair<unsigned, bool>>{{5, false}}));
  EXPECT_TRUE(a->failures.empty());
}

}  // namespace
}  // namespace vantro::test
