// User input, round trip delay, end of session, requests we do not support, and a control that
// stays up under messages it cannot use or an owner that destroys it from a callback.

#include "tests/stack/h245/H245PairTest.h"

namespace vantro::test {
namespace {

asn::Value Signal(const std::string& key) {
  return Message(MSCM::indication, Indication::userInput, [&](asn::Value& v) {
    asn::Value& s = v.Select(h245::UserInputIndication::signal);
    s.Field(h245::UserInputIndication_signal::signalType).SetText(key);
    s.Field(h245::UserInputIndication_signal::duration).SetInteger(100);
  });
}

// Keys sent in order as strings are the call tests' work (CallMatrix, CallTo); here, keys that come
// as signals.
TEST_F(H245Pair, UserInputSignalsAreReadAndNothingIsSentForNoKey) {
  MakeReady();
  a->Control().SendUserInput("");
  EXPECT_EQ(a->Count(MSCM::indication, Indication::userInput), 0u);
  b->Receive(Signal("5"));
  b->Receive(Message(MSCM::indication, Indication::userInput, [](asn::Value& v) {
    v.Select(h245::UserInputIndication::signalUpdate)
        .Field(h245::UserInputIndication_signalUpdate::duration)
        .SetInteger(400);
  }));
  b->Receive(Signal("!"));
  b->Receive(Message(MSCM::indication, Indication::userInput, [](asn::Value& v) {
    asn::Value& s = v.Select(h245::UserInputIndication::signal);
    s.Field(h245::UserInputIndication_signal::signalType).SetText("!");
    s.Field(h245::UserInputIndication_signal::encryptedSignalType).SetBytes("\x17");
  }));
  b->Receive(Message(MSCM::indication, Indication::userInput, [](asn::Value& v) {
    v.Select(h245::UserInputIndication::extendedAlphanumeric)
        .Field(h245::UserInputIndication_extendedAlphanumeric::alphanumeric)
        .SetText("99");
  }));
  // A signal update only lengthens the key before it; an encrypted key cannot be read.
  EXPECT_EQ(b->input, (std::vector<std::string>{"5", "!", "99"}));
}

TEST_F(H245Pair, AFarEndThatTakesOnlySignalsGetsSignals) {
  Make();
  a->Control().Start();
  a->Receive(DtmfOnlySet(1, 1));
  a->Control().SendUserInput("1a#");
  std::vector<std::string> keys;
  for (const asn::Value& m : a->Sent())
    if (const asn::Value* s = m.Find("indication.userInput.signal.signalType")) keys.push_back(s->Text());
  EXPECT_EQ(keys, (std::vector<std::string>{"1", "A", "#"}));
}

TEST_F(H245Pair, RoundTripDelayIsMeasuredAndOnlySilenceFailsIt) {
  Make(TestSettings(std::chrono::milliseconds(20)), TestSettings());
  a->Control().SendRoundTripDelayRequest();
  Exchange(*a, *b);
  EXPECT_EQ(b->Count(MSCM::response, Response::roundTripDelayResponse), 1u);
  EXPECT_TRUE(a->Control().GetRoundTripDelay().has_value());
  a->Control().SendRoundTripDelayRequest();
  // The far end does not support it, and says so: it is alive.
  const asn::Value request = a->Sent().back();
  a->Receive(Message(MSCM::indication, Indication::functionNotSupported, [&](asn::Value& v) {
    v.Field(h245::FunctionNotSupported::cause).Select(h245::FunctionNotSupported_cause::unknownFunction);
    v.Field(h245::FunctionNotSupported::returnedFunction)
        .SetBytes(std::span<const std::uint8_t>(*asn::Encode(request)));
  }));
  RunFor(std::chrono::milliseconds(60));
  EXPECT_TRUE(a->failures.empty());
  a->Control().SendRoundTripDelayRequest();
  RunUntil([&] { return !a->failures.empty(); });
  ASSERT_EQ(a->failures.size(), 1u);
  EXPECT_NE(a->failures[0].find("round trip"), std::string::npos);
}

TEST_F(H245Pair, HeldTimeoutsWaitUntilReleased) {
  // As for a set tunnelled in Setup while the far end rings.
  Make(TestSettings(std::chrono::milliseconds(10)), TestSettings());
  a->Control().HoldTimeouts(true);
  a->Control().Start();
  a->DropQueued();
  RunFor(std::chrono::milliseconds(60));
  EXPECT_TRUE(a->failures.empty());
  a->Control().HoldTimeouts(false);
  RunUntil([&] { return !a->failures.empty(); });
  EXPECT_EQ(a->failures.size(), 1u);
}

TEST_F(H245Pair, EndSessionIsTheLastWordEitherWay) {
  auto quick = TestSettings(std::chrono::milliseconds(20));
  Make(quick, quick);
  MakeReady();
  a->Control().OpenChannel(G711Out(5001));
  a->Control().SendEndSession();
  a->Control().SendEndSession();
  a->Control().SendUserInput("5");
  EXPECT_EQ(a->Count(MSCM::command, Command::endSessionCommand), 1u);
  EXPECT_EQ(a->Count(MSCM::indication, Indication::userInput), 0u);
  EXPECT_EQ(a->Control().OpenChannel({}), 0u);
  Exchange(*a, *b);
  EXPECT_EQ(b->endSessions, 1);
  // B answers with its own EndSessionCommand; a second one from A changes nothing.
  b->Control().SendEndSession();
  b->Receive(a->Sent().back());
  Exchange(*a, *b);
  EXPECT_EQ(b->endSessions, 1);
  EXPECT_EQ(a->endSessions, 1);
  // A's pending channel and B's requests time out silently now.
  b->Control().SendRoundTripDelayRequest();
  RunFor(std::chrono::milliseconds(80));
  EXPECT_TRUE(a->failures.empty());
  EXPECT_TRUE(b->failures.empty());
}

TEST_F(H245Pair, RequestModeIsRejectedAndOtherRequestsAreNotSupported) {
  Make();
  a->Receive(Message(MSCM::request, Request::requestMode, [](asn::Value& v) {
    v.Field(h245::RequestMode::sequenceNumber).SetInteger(33);
    v.Field(h245::RequestMode::requestedModes).Append().Append();
    asn::CompleteMandatory(v);
  }));
  const asn::Value* reject = a->Last(MSCM::response, Response::requestModeReject);
  ASSERT_TRUE(reject);
  EXPECT_EQ((*reject)[h245::RequestModeReject::sequenceNumber].Integer(), 33);

  std::vector<asn::Value> unsupported;
  unsupported.push_back(
      Message(MSCM::request, Request::maintenanceLoopRequest, [](asn::Value& v) { asn::CompleteMandatory(v); }));
  unsupported.push_back(Message(MSCM::request, Request::conferenceRequest,
                                [](asn::Value& v) { v.Select(h245::ConferenceRequest::terminalListRequest); }));
  unsupported.push_back(
      Message(MSCM::request, Request::multiplexEntrySend, [](asn::Value& v) { asn::CompleteMandatory(v); }));
  for (const asn::Value& request : unsupported) {
    SCOPED_TRACE(asn::fieldDesc(request.Alternative().Desc(), request.Alternative().Choice()).name);
    a->Receive(request);
    const asn::Value* answer = a->Last(MSCM::indication, Indication::functionNotSupported);
    ASSERT_TRUE(answer);
    EXPECT_TRUE((*answer)[h245::FunctionNotSupported::cause].Is(h245::FunctionNotSupported_cause::unknownFunction));
    // The request comes back as it was.
    auto returned = asn::Decode(MSCM::Id, (*answer)[h245::FunctionNotSupported::returnedFunction].Octets());
    ASSERT_TRUE(returned.Ok());
    EXPECT_EQ(*returned, request);
  }
  // Commands and indications we do not use are not answered.
  const std::size_t sent = a->Sent().size();
  a->Receive(Message(MSCM::command, Command::flowControlCommand, [](asn::Value& v) { asn::CompleteMandatory(v); }));
  a->Receive(Message(MSCM::indication, Indication::jitterIndication, [](asn::Value& v) { asn::CompleteMandatory(v); }));
  a->Receive(Message(MSCM::response, Response::requestModeAck, [](asn::Value& v) { asn::CompleteMandatory(v); }));
  EXPECT_EQ(a->Sent().size(), sent);
  EXPECT_TRUE(a->failures.empty());
}

TEST_F(H245Pair, MessagesItCannotUseAreCountedAndAnsweredNeverThrown) {
  Make();
  // Built in memory without its mandatory components: handling it meets absent values.
  asn::Value broken(MSCM::Id);
  broken.Select(MSCM::request).Select(Request::openLogicalChannel);
  EXPECT_NO_THROW(a->Receive(broken));
  EXPECT_EQ(a->Control().GetMalformedCount(), 1u);
  // Not an H.245 message at all.
  EXPECT_NO_THROW(a->Receive(asn::Value(h245::OpenLogicalChannel::Id)));
  EXPECT_EQ(a->Control().GetMalformedCount(), 2u);
  EXPECT_TRUE(a->failures.empty());
}

TEST_F(H245Pair, AnOwnerMayDestroyTheControlFromACallback) {
  Make(TestSettings(std::chrono::milliseconds(10)), TestSettings(std::chrono::milliseconds(10)));
  a->onFailure = [&] { a->DestroyControl(); };
  a->Control().Start();
  a->Control().OpenChannel(G711Out(5001));
  a->DropQueued();
  RunUntil([&] { return !a->failures.empty(); });
  ASSERT_EQ(a->failures.size(), 1u);
  // The other timers of the destroyed control never fire into its owner.
  RunFor(std::chrono::milliseconds(60));
  EXPECT_EQ(a->failures.size(), 1u);
  // Nor do those of a control destroyed from outside.
  b->Control().SendRoundTripDelayRequest();
  b->DestroyControl();
  RunFor(std::chrono::milliseconds(30));
  EXPECT_TRUE(b->failures.empty());
}

}  // namespace
}  // namespace vantro::test
