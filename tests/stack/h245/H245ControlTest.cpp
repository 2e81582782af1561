// Two controls back to back: capability exchange, master/slave determination and the readiness
// that follows, in both orders of messages, with the failures H.245 foresees.

#include "stack/asn/Defaults.h"
#include "stack/h245/H245MasterSlave.h"
#include "tests/stack/h245/H245PairTest.h"

namespace vantro::test {
namespace {

using vantro::h245::H245MasterSlave;
using Result = H245MasterSlave::Result;

TEST_F(H245Pair, ACalleeThatStartsLateAnswersFirstAndThenCatchesUp) {
  Make();
  a->Control().Start();
  while (a->DeliverOne()) {
  }
  // B answered the set and the determination before it started.
  EXPECT_FALSE(b->Control().IsStarted());
  EXPECT_EQ(b->remote.size(), 1u);
  EXPECT_EQ(b->Count(MSCM::response, Response::masterSlaveDeterminationAck), 1u);
  b->Control().Start();
  Exchange(*a, *b);
  ASSERT_EQ(a->ready.size(), 1u);
  ASSERT_EQ(b->ready.size(), 1u);
  EXPECT_NE(a->ready[0], b->ready[0]);
  // B's determination had already begun: it sent none of its own.
  EXPECT_EQ(b->Count(MSCM::request, Request::masterSlaveDetermination), 0u);
}

TEST_F(H245Pair, BothStartingAtOnceAgreeOnOppositeRolesAndReadEachOthersTable) {
  MakeReady();
  ASSERT_EQ(a->ready.size(), 1u);
  ASSERT_EQ(b->ready.size(), 1u);
  EXPECT_NE(a->ready[0], b->ready[0]);
  EXPECT_TRUE(a->Control().IsReady());
  EXPECT_EQ(a->Control().IsMaster(), a->ready[0]);
  EXPECT_TRUE(a->failures.empty());
  EXPECT_TRUE(b->failures.empty());
  // Each side sent one set and one determination and acknowledged the other side's.
  for (auto* p : {a.get(), b.get()}) {
    EXPECT_EQ(p->Count(MSCM::request, Request::terminalCapabilitySet), 1u);
    EXPECT_EQ(p->Count(MSCM::request, Request::masterSlaveDetermination), 1u);
    EXPECT_EQ(p->Count(MSCM::response, Response::terminalCapabilitySetAck), 1u);
    EXPECT_EQ(p->Count(MSCM::response, Response::masterSlaveDeterminationAck), 1u);
  }
  // B reads A's table in order, with user input.
  ASSERT_EQ(b->remote.size(), 1u);
  const auto& theirs = b->remote[0];
  ASSERT_EQ(theirs.table.size(), 6u);
  const auto audio = theirs.ReceiveAudio();
  ASSERT_EQ(audio.size(), 3u);
  EXPECT_TRUE(audio[0].Is(h245::AudioCapability::g729AnnexA));
  EXPECT_EQ(audio[0].Alternative().Integer(), 6);
  EXPECT_TRUE(audio[1].Is(h245::AudioCapability::g7231));
  EXPECT_TRUE(audio[2].Is(h245::AudioCapability::g711Ulaw64k));
  EXPECT_EQ(audio[2].Alternative().Integer(), 30);
  std::vector<std::uint16_t> input;
  for (const auto& e : theirs.table)
    if (e.capability.Is(h245::Capability::receiveUserInputCapability))
      input.push_back(e.capability.Alternative().Choice());
  EXPECT_EQ(input, (std::vector<std::uint16_t>{h245::UserInputCapability::basicString, h245::UserInputCapability::dtmf,
                                               h245::UserInputCapability::hookflash}));
  // One descriptor: the three audio sets as the table has them, strings/DTMF, hook flash.
  ASSERT_EQ(theirs.descriptors.size(), 1u);
  EXPECT_EQ(theirs.descriptors[0], (std::vector<std::vector<unsigned>>{{1}, {2}, {3}, {4, 5}, {6}}));
  // The first of B's formats (in B's order) that A can receive, with A's frame count.
  auto match = theirs.FirstCommon(CapabilitiesOf({"G.711-uLaw-64k", "G.729A"}));
  ASSERT_TRUE(match);
  EXPECT_EQ(match->ours->GetFormatName(), "G.711-uLaw-64k");
  EXPECT_EQ(match->ours->GetFramesInPacket(match->theirs), 30u);
  EXPECT_FALSE(theirs.FirstCommon(CapabilitiesOf({"G.711-ALaw-64k"})));
}

TEST_F(H245Pair, AnEmptyTableStillSendsUserInputCapabilities) {
  auto empty = TestSettings();
  empty.capabilities = endpoint::H323Capabilities();
  Make(empty, TestSettings());
  a->Control().Start();
  b->Control().Start();
  Exchange(*a, *b);
  ASSERT_EQ(b->remote.size(), 1u);
  EXPECT_FALSE(b->remote[0].empty);
  EXPECT_TRUE(b->remote[0].ReceiveAudio().empty());
  EXPECT_EQ(b->ready.size(), 1u);
}

TEST_F(H245Pair, OnlyTheAnswerToOurLatestSetCounts) {
  MakeReady();
  // The far end asks for our set again: a new sequence number, and the old Ack no longer counts.
  a->Receive(Message(MSCM::command, Command::sendTerminalCapabilitySet,
                     [](asn::Value& c) { c.Select(h245::SendTerminalCapabilitySet::genericRequest); }));
  const asn::Value* set = a->Last(MSCM::request, Request::terminalCapabilitySet);
  ASSERT_TRUE(set);
  EXPECT_EQ((*set)[h245::TerminalCapabilitySet::sequenceNumber].Integer(), 2);
  auto reject = [](unsigned seq) {
    return Message(MSCM::response, Response::terminalCapabilitySetReject, [seq](asn::Value& r) {
      r.Field(h245::TerminalCapabilitySetReject::sequenceNumber).SetInteger(seq);
      r.Field(h245::TerminalCapabilitySetReject::cause).Select(h245::TerminalCapabilitySetReject_cause::unspecified);
    });
  };
  a->Receive(reject(1));
  EXPECT_TRUE(a->failures.empty());
  a->Receive(reject(2));
  ASSERT_EQ(a->failures.size(), 1u);
  EXPECT_NE(a->failures[0].find("rejected"), std::string::npos);
}

TEST_F(H245Pair, SilenceAfterOurRequestsEndsInReleaseAndFailure) {
  Make(TestSettings(std::chrono::milliseconds(20)), TestSettings());
  a->Control().Start();
  a->DropQueued();
  auto released = [&] {
    return a->Count(MSCM::indication, Indication::terminalCapabilitySetRelease) +
           a->Count(MSCM::indication, Indication::masterSlaveDeterminationRelease);
  };
  RunUntil([&] { return released() == 2; });
  EXPECT_EQ(released(), 2u);
  EXPECT_EQ(a->failures.size(), 1u);  // once, though two procedures gave up
}

TEST_F(H245Pair, FarEndCapabilitiesAreMergedAsSetsArrive) {
  Make();
  auto set = [](unsigned seq, std::vector<std::pair<unsigned, bool>> entries, std::vector<unsigned> descriptor) {
    return CapabilitySet(seq, [&](asn::Value& tcs) {
      if (!entries.empty()) {
        asn::Value& table = tcs.Field(h245::TerminalCapabilitySet::capabilityTable);
        for (auto [n, present] : entries) {
          asn::Value& e = table.Append();
          e.Field(h245::CapabilityTableEntry::capabilityTableEntryNumber).SetInteger(n);
          if (present)
            e.Field(h245::CapabilityTableEntry::capability)
                .Select(h245::Capability::receiveAudioCapability)
                .Select(h245::AudioCapability::g711Alaw64k)
                .SetInteger(20);
        }
      }
      if (!descriptor.empty()) {
        asn::Value& d = tcs.Field(h245::TerminalCapabilitySet::capabilityDescriptors).Append();
        d.Field(h245::CapabilityDescriptor::capabilityDescriptorNumber).SetInteger(0);
        asn::Value& alternatives = d.Field(h245::CapabilityDescriptor::simultaneousCapabilities).Append();
        for (unsigned n : descriptor) alternatives.Append().SetInteger(n);
      }
    });
  };
  auto lastAnswer = [&] { return a->Sent().back().Alternative().Choice(); };

  a->Receive(set(1, {{1, true}, {2, true}}, {1, 2}));
  EXPECT_EQ(lastAnswer(), Response::terminalCapabilitySetAck);
  ASSERT_TRUE(a->Control().GetRemoteCapabilities());
  EXPECT_EQ(a->Control().GetRemoteCapabilities()->table.size(), 2u);
  // A descriptor naming an entry nobody defined.
  a->Receive(set(2, {}, {1, 7}));
  EXPECT_EQ(lastAnswer(), Response::terminalCapabilitySetReject);
  EXPECT_TRUE(a->Sent().back().Alternative().Alternative()[h245::TerminalCapabilitySetReject::cause].Is(
      h245::TerminalCapabilitySetReject_cause::undefinedTableEntryUsed));
  // Deleting entry 2 while the descriptor still names it.
  a->Receive(set(3, {{2, false}}, {}));
  EXPECT_EQ(lastAnswer(), Response::terminalCapabilitySetReject);
  // Deleting it together with a descriptor that no longer names it: accepted, the table shrinks.
  a->Receive(set(4, {{2, false}, {3, true}}, {1, 3}));
  EXPECT_EQ(lastAnswer(), Response::terminalCapabilitySetAck);
  const auto* theirs = a->Control().GetRemoteCapabilities();
  ASSERT_EQ(theirs->table.size(), 2u);
  EXPECT_EQ(theirs->table[1].number, 3u);
  EXPECT_EQ(theirs->descriptors.back(), (std::vector<std::vector<unsigned>>{{1, 3}}));
  // More entries than we keep.
  std::vector<std::pair<unsigned, bool>> many;
  for (unsigned n = 100; n < 356; ++n) many.emplace_back(n, true);
  a->Receive(set(5, many, {}));
  EXPECT_TRUE(a->Sent().back().Alternative().Alternative()[h245::TerminalCapabilitySetReject::cause].Is(
      h245::TerminalCapabilitySetReject_cause::tableEntryCapacityExceeded));
  EXPECT_EQ(a->Control().GetRemoteCapabilities()->table.size(), 2u);
  EXPECT_TRUE(a->failures.empty());
}

TEST_F(H245Pair, AnEmptySetPausesOurChannelsAndANewSetStartsOver) {
  MakeReady();
  const unsigned ours = a->Control().OpenChannel(
      {1,
       DialerCapabilities().Entries()[2].capability->GetAudioCapability(endpoint::H323Capability::Direction::Transmit),
       Loopback(5001)});
  Exchange(*a, *b);
  ASSERT_EQ(a->opened.size(), 1u);
  const std::size_t setsBefore = a->Count(MSCM::request, Request::terminalCapabilitySet);

  a->Receive(CapabilitySet(9));
  EXPECT_EQ(a->Count(MSCM::request, Request::closeLogicalChannel), 1u);
  ASSERT_EQ(a->closed.size(), 1u);
  EXPECT_EQ(a->closed[0], std::make_pair(ours, true));
  ASSERT_TRUE(a->Control().GetRemoteCapabilities());
  EXPECT_TRUE(a->Control().GetRemoteCapabilities()->empty);
  EXPECT_FALSE(a->Control().IsReady());
  EXPECT_TRUE(a->remote.back().empty);
  a->DropQueued();

  // B sends its capabilities again: A acknowledges, sends its set and determines anew.
  b->Receive(Message(MSCM::command, Command::sendTerminalCapabilitySet,
                     [](asn::Value& c) { c.Select(h245::SendTerminalCapabilitySet::genericRequest); }));
  Exchange(*a, *b);
  EXPECT_EQ(a->Count(MSCM::request, Request::terminalCapabilitySet), setsBefore + 1);
  EXPECT_EQ(a->Count(MSCM::request, Request::masterSlaveDetermination), 2u);
  EXPECT_EQ(a->ready.size(), 2u);
  EXPECT_TRUE(a->Control().IsReady());
  EXPECT_TRUE(a->failures.empty());
  EXPECT_TRUE(b->failures.empty());
}

// --- master/slave ---

TEST(H245MasterSlaveRules, TerminalTypeFirstThenNumbersModulo24Bits) {
  EXPECT_EQ(H245MasterSlave::Decide(50, 5, 40, 9), Result::Master);
  EXPECT_EQ(H245MasterSlave::Decide(50, 5, 60, 1), Result::Slave);
  // The far end's number less ours, modulo 2^24, below 2^23: we are master.
  EXPECT_EQ(H245MasterSlave::Decide(50, 100, 50, 200), Result::Master);
  EXPECT_EQ(H245MasterSlave::Decide(50, 200, 50, 100), Result::Slave);
  EXPECT_EQ(H245MasterSlave::Decide(50, 0xFFFFF0, 50, 0x10), Result::Master);  // wraps
  EXPECT_EQ(H245MasterSlave::Decide(50, 7, 50, 7), Result::Indeterminate);
  EXPECT_EQ(H245MasterSlave::Decide(50, 1, 50, 1 + 0x800000), Result::Indeterminate);
  // A captured call: the callee (2746372) became master over the caller (8644254).
  EXPECT_EQ(H245MasterSlave::Decide(50, 2746372, 50, 8644254), Result::Master);
  EXPECT_EQ(H245MasterSlave::Decide(50, 8644254, 50, 2746372), Result::Slave);
}

TEST_F(H245Pair, EqualNumbersAreRetriedWithNewOnes) {
  auto forA = TestSettings(), forB = TestSettings();
  int drawsA = 0, drawsB = 0;
  // Both draw 1000 for the first try, then differ.
  forA.randomNumber = [&drawsA] { return ++drawsA <= 1 ? 1000u : 2000u; };
  forB.randomNumber = [&drawsB] { return ++drawsB <= 1 ? 1000u : 5000u; };
  Make(forA, forB);
  MakeReady();
  EXPECT_EQ(a->Count(MSCM::request, Request::masterSlaveDetermination), 2u);
  EXPECT_EQ(b->Count(MSCM::request, Request::masterSlaveDetermination), 2u);
  ASSERT_EQ(a->ready.size(), 1u);
  EXPECT_TRUE(a->ready[0]);  // 5000 - 2000 < 2^23
  EXPECT_FALSE(b->ready[0]);
  EXPECT_TRUE(a->failures.empty());
}

TEST_F(H245Pair, NumbersThatStayEqualFailAfterTheRetryLimit) {
  auto forA = TestSettings(), forB = TestSettings();
  forA.randomNumber = forB.randomNumber = [] { return 4242u; };
  forA.masterSlaveRetries = forB.masterSlaveRetries = 3;
  Make(forA, forB);
  MakeReady();
  EXPECT_EQ(a->Count(MSCM::request, Request::masterSlaveDetermination), 3u);
  ASSERT_EQ(a->failures.size(), 1u);
  EXPECT_NE(a->failures[0].find("3 tries"), std::string::npos);
  EXPECT_EQ(b->failures.size(), 1u);
  EXPECT_TRUE(a->ready.empty());
}

TEST_F(H245Pair, AnIdleSideRejectsEqualNumbersAndTheOtherTriesAgain) {
  auto forA = TestSettings(), forB = TestSettings();
  int draws = 0;
  forA.randomNumber = [&draws] { return ++draws <= 1 ? 77u : 78u; };
  forB.randomNumber = [] { return 77u; };
  Make(forA, forB);
  a->Control().Start();
  a->DeliverOne();  // capability set
  a->DeliverOne();  // determination: equal numbers at B, which has not started
  EXPECT_EQ(b->Count(MSCM::response, Response::masterSlaveDeterminationReject), 1u);
  Exchange(*a, *b);
  EXPECT_EQ(a->Count(MSCM::request, Request::masterSlaveDetermination), 2u);
  b->Control().Start();
  Exchange(*a, *b);
  ASSERT_EQ(a->ready.size(), 1u);
  ASSERT_EQ(b->ready.size(), 1u);
  EXPECT_FALSE(a->ready[0]);  // 78 - 77 < 2^23: B, which compares, is master
  EXPECT_TRUE(b->ready[0]);
}

TEST_F(H245Pair, ContradictoryLateOrReleasedDeterminations) {
  Make(TestSettings(std::chrono::milliseconds(20)), TestSettings());
  auto ack = [](std::uint16_t decision) {
    return Message(MSCM::response, Response::masterSlaveDeterminationAck, [decision](asn::Value& v) {
      v.Field(h245::MasterSlaveDeterminationAck::decision).Select(decision);
    });
  };
  // An Ack with no determination running is ignored.
  a->Receive(ack(h245::MasterSlaveDeterminationAck_decision::master));
  EXPECT_TRUE(a->failures.empty());
  // B's determination makes A slave (B's terminal type is higher); an Ack saying A is master
  // contradicts A's own answer.
  a->Receive(Message(MSCM::request, Request::masterSlaveDetermination, [](asn::Value& v) {
    v.Field(h245::MasterSlaveDetermination::terminalType).SetInteger(190);
    v.Field(h245::MasterSlaveDetermination::statusDeterminationNumber).SetInteger(1);
  }));
  const asn::Value* answer = a->Last(MSCM::response, Response::masterSlaveDeterminationAck);
  ASSERT_TRUE(answer);
  EXPECT_TRUE(
      (*answer)[h245::MasterSlaveDeterminationAck::decision].Is(h245::MasterSlaveDeterminationAck_decision::master));
  a->Receive(ack(h245::MasterSlaveDeterminationAck_decision::master));
  ASSERT_EQ(a->failures.size(), 1u);
  EXPECT_NE(a->failures[0].find("contradicts"), std::string::npos);
  // The far end giving up its own determination ends ours.
  b->Control().Start();
  b->Receive(Message(MSCM::indication, Indication::masterSlaveDeterminationRelease, [](asn::Value&) {}));
  ASSERT_EQ(b->failures.size(), 1u);
  EXPECT_NE(b->failures[0].find("released"), std::string::npos);
}

}  // namespace
}  // namespace vantro::test
