// Two controls back to back, where a far end does what our own endpoints never do (the call tests
// run the usual exchanges): sets and channels refused or withdrawn, requests in odd orders or
// unsupported, equal master/slave numbers, silence, and an owner that destroys it.

#include "stack/h245/H245MasterSlave.h"
#include "tests/stack/h245/H245PairTest.h"

namespace vantro::test {
namespace {

using Closed = std::vector<std::pair<unsigned, bool>>;

std::string Set(unsigned sequenceNumber, const std::string& rest = "") {
  return "request.terminalCapabilitySet protocolIdentifier=0.0.8.245.0.13 sequenceNumber=" +
         std::to_string(sequenceNumber) + " " + rest;
}
// Table entry i numbered n: G.711 A-law, or deleted.
std::string Entry(unsigned i, unsigned n, bool present = true) {
  const std::string e = " capabilityTable[" + std::to_string(i) + "].";
  return e + "capabilityTableEntryNumber=" + std::to_string(n) +
         (present ? e + "capability.receiveAudioCapability.g711Alaw64k=20" : "");
}
// One descriptor of one set of alternatives.
std::string Alternatives(const std::vector<unsigned>& numbers) {
  std::string s;
  for (std::size_t i = 0; i < numbers.size(); ++i)
    s += " capabilityDescriptors[0].simultaneousCapabilities[0][" + std::to_string(i) +
         "]=" + std::to_string(numbers[i]);
  return s;
}

TEST_F(H245Pair, FarEndSetsAreMergedOrRejectedWithTheirCause) {
  Make();
  std::string many;
  for (unsigned n = 100; n < 356; ++n) many += Entry(n - 100, n);
  const struct {
    std::string set;
    std::string answer;
    std::vector<unsigned> table;
  } rows[] = {
      {Entry(0, 1) + Entry(1, 2) + Alternatives({1, 2}), "Ack", {1, 2}},
      {Alternatives({1, 7}), "Reject.cause.undefinedTableEntryUsed", {1, 2}},
      {Entry(0, 2, false), "Reject.cause.undefinedTableEntryUsed", {1, 2}},  // the descriptor names entry 2
      {Entry(0, 2, false) + Entry(1, 3) + Alternatives({1, 3}), "Ack", {1, 3}},
      {many, "Reject.cause.tableEntryCapacityExceeded", {1, 3}},
  };
  unsigned sequence = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(++sequence);
    a->Receive(Msg(Set(sequence, row.set)));
    EXPECT_TRUE(a->Sent().back().Find("response.terminalCapabilitySet" + row.answer));
    std::vector<unsigned> table;
    for (const auto& e : a->Control().GetRemoteCapabilities()->table) table.push_back(e.number);
    EXPECT_EQ(table, row.table);
  }
  EXPECT_EQ(a->Control().GetRemoteCapabilities()->descriptors.back(), (std::vector<std::vector<unsigned>>{{1, 3}}));
  EXPECT_TRUE(a->failures.empty());
}

TEST_F(H245Pair, AnEmptySetPausesOurChannelsAndANewSetStartsOver) {
  MakeReady();
  const unsigned ours = a->Control().OpenChannel(G711Out(5001));
  Exchange(*a, *b);
  ASSERT_EQ(a->opened.size(), 1u);
  a->Receive(Msg(Set(9)));
  EXPECT_EQ(a->Count("request.closeLogicalChannel"), 1u);
  EXPECT_EQ(a->closed, (Closed{{ours, true}}));
  EXPECT_TRUE(a->Control().GetRemoteCapabilities()->empty);
  EXPECT_TRUE(a->remote.back().empty);
  EXPECT_FALSE(a->Control().IsReady());
  a->DropQueued();
  // B sends its set again: A acknowledges, sends its own set and determines anew.
  b->Receive(Msg("command.sendTerminalCapabilitySet.genericRequest"));
  Exchange(*a, *b);
  EXPECT_EQ(a->Count("request.terminalCapabilitySet"), 2u);
  EXPECT_EQ(a->Count("request.masterSlaveDetermination"), 2u);
  EXPECT_EQ(a->ready.size(), 2u);
  EXPECT_TRUE(a->Control().IsReady());
  EXPECT_TRUE(a->failures.empty());
  EXPECT_TRUE(b->failures.empty());
}

TEST(H245MasterSlaveRules, TerminalTypeFirstThenNumbersModulo24Bits) {
  using h245::H245MasterSlave;
  using Result = H245MasterSlave::Result;
  EXPECT_EQ(H245MasterSlave::Decide(50, 5, 40, 9), Result::Master);
  EXPECT_EQ(H245MasterSlave::Decide(50, 5, 60, 1), Result::Slave);
  // The far end's number less ours, modulo 2^24, below 2^23: we are master.
  EXPECT_EQ(H245MasterSlave::Decide(50, 100, 50, 200), Result::Master);
  EXPECT_EQ(H245MasterSlave::Decide(50, 200, 50, 100), Result::Slave);
  EXPECT_EQ(H245MasterSlave::Decide(50, 0xFFFFF0, 50, 0x10), Result::Master);  // wraps
  EXPECT_EQ(H245MasterSlave::Decide(50, 7, 50, 7), Result::Indeterminate);
  EXPECT_EQ(H245MasterSlave::Decide(50, 1, 50, 1 + 0x800000), Result::Indeterminate);
}

// A far end whose number always equals ours: both give up after three tries instead of looping.
TEST_F(H245Pair, EqualNumbersGiveUpAfterThreeTries) {
  auto same = TestSettings();
  same.randomNumber = [] { return 4242u; };
  Make(same, same);
  a->Control().Start();
  b->Control().Start();
  Exchange(*a, *b);
  EXPECT_EQ(a->Count("request.masterSlaveDetermination"), 3u);
  EXPECT_TRUE(a->ready.empty());
  ASSERT_EQ(a->failures.size(), 1u);
  EXPECT_NE(a->failures[0].find("3 tries"), std::string::npos);
  EXPECT_EQ(b->failures.size(), 1u);
}

// Ours (1) and the far end's (2): H.245 numbers ours around them and closes them like others.
TEST_F(H245Pair, FastStartChannelsAreNumberedAroundAndClosedLikeOthers) {
  MakeReady();
  a->Control().AddFastStartChannel(1, true);
  a->Control().AddFastStartChannel(2, false);
  EXPECT_EQ(a->Control().OpenChannel(G711Out(5001)), 2u);
  EXPECT_EQ(a->Control().OpenChannel(G711Out(5001)), 3u);
  a->Receive(Msg("request.requestChannelClose forwardLogicalChannelNumber=1 reason.normal"));
  a->Receive(Msg("request.closeLogicalChannel forwardLogicalChannelNumber=2 source.user"));
  EXPECT_EQ(a->closed, (Closed{{1, true}, {2, true}}));
}

TEST_F(H245Pair, AFarEndThatTakesOnlySignalsGetsSignalsAndNoKeyNothing) {
  MakeReady();
  a->Control().SendUserInput("");
  // Entry 4, strings, becomes DTMF.
  a->Receive(Msg(Set(2,
                     "capabilityTable[0].capabilityTableEntryNumber=4 "
                     "capabilityTable[0].capability.receiveUserInputCapability.dtmf")));
  a->Control().SendUserInput("1a#");
  std::vector<std::string> keys;
  for (const asn::Value& m : a->Sent())
    if (const asn::Value* s = m.Find("indication.userInput.signal.signalType")) keys.push_back(s->Text());
  EXPECT_EQ(keys, (std::vector<std::string>{"1", "A", "#"}));
  EXPECT_EQ(a->Count("indication.userInput"), 3u);
}

// Channels closed (by the far end or not), keys, the far end's channels taken, failures.
std::vector<std::string> Reported(const H245TestPeer& p) {
  std::vector<std::string> out;
  for (auto [n, byRemote] : p.closed) out.push_back("closed " + std::to_string(n) + (byRemote ? " by far end" : ""));
  for (const auto& key : p.input) out.push_back("key " + key);
  for (const auto& c : p.incoming)
    out.push_back("took " + std::to_string(c.number) + " session " + std::to_string(c.sessionID));
  for (const auto& why : p.failures) out.push_back("failed: " + why);
  return out;
}

// A, ready with its channel 1 open to B and B's channel 1 open to it, gets messages from the far
// end: what it answers (a path in each message it sends, in order; "=n": its value) and reports.
TEST_F(H245Pair, FarEndMessagesAreAnsweredAndReported) {
  const std::string olc =
                        "request.openLogicalChannel forwardLogicalChannelNumber=42 forwardLogicalChannelParameters."
                        "multiplexParameters.h2250LogicalChannelParameters.sessionID=0 "
                        "forwardLogicalChannelParameters.dataType.",
                    g711 = "audioData.g711Ulaw64k=20", key = "indication.userInput.";
  const struct {
    std::vector<std::string> in, answers, reported;
  } rows[] = {
      // Only a reject of our latest set counts.
      {{"command.sendTerminalCapabilitySet.genericRequest", "response.terminalCapabilitySetReject sequenceNumber=1",
        "response.terminalCapabilitySetReject sequenceNumber=2"},
       {"request.terminalCapabilitySet.sequenceNumber=2"},
       {"failed: the far end rejected our capability set"}},
      // Channels we cannot take are refused without asking the owner; session 0 (the master to
      // assign) is 1 for audio.
      {{olc + g711 + " reverseLogicalChannelParameters.dataType." + g711},
       {"response.openLogicalChannelReject.cause.unsuitableReverseParameters"},
       {}},
      {{olc + "videoData"}, {"response.openLogicalChannelReject.cause.dataTypeNotSupported"}, {}},
      {{olc + "audioData.g711Alaw64k=20"}, {"response.openLogicalChannelReject.cause.dataTypeNotSupported"}, {}},
      {{olc + g711},
       {"response.openLogicalChannelAck.forwardMultiplexAckParameters.h2250LogicalChannelAckParameters.sessionID=1"},
       {"took 42 session 1"}},
      // The far end asks us to close our channel, closes its own.
      {{"request.requestChannelClose forwardLogicalChannelNumber=1 reason.normal"},
       {"response.requestChannelCloseAck", "request.closeLogicalChannel"},
       {"closed 1 by far end"}},
      {{"request.closeLogicalChannel forwardLogicalChannelNumber=1 source.user"},
       {"response.closeLogicalChannelAck"},
       {"closed 1 by far end"}},
      // Keys as signals: an update only lengthens the key before it; an encrypted key cannot be read.
      {{key + "signal signalType='5' duration=100", key + "signalUpdate duration=400", key + "signal signalType='!'",
        key + "signal signalType='!' encryptedSignalType=#17", key + "extendedAlphanumeric alphanumeric='99'"},
       {},
       {"key 5", "key !", "key 99"}},
      // A far end's keepalive.
      {{"request.roundTripDelayRequest sequenceNumber=4"}, {"response.roundTripDelayResponse.sequenceNumber=4"}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.in.front());
    Make();
    MakeReady();
    a->Control().OpenChannel(G711Out(5001));
    b->Control().OpenChannel(G711Out(7001));
    Exchange(*a, *b);
    a->incoming.clear();
    const std::size_t before = a->Sent().size();
    for (const auto& m : row.in) a->Receive(Msg(m));
    ASSERT_EQ(a->Sent().size() - before, row.answers.size());
    for (std::size_t i = 0; i < row.answers.size(); ++i) {
      const std::string& expected = row.answers[i];
      const std::size_t eq = expected.find('=');
      const asn::Value* v = a->Sent()[before + i].Find(expected.substr(0, eq));
      ASSERT_TRUE(v) << expected;
      if (eq != std::string::npos) {
        EXPECT_EQ(v->Integer(), std::stoll(expected.substr(eq + 1))) << expected;
      }
    }
    EXPECT_EQ(Reported(*a), row.reported);
  }
}

TEST_F(H245Pair, SilenceFailsARequestOnceUnlessTheSessionEnded) {
  const struct {
    std::function<void(h245::H245Control&)> act;
    std::vector<const char*> sent;  // on giving up
    const char* failure;            // null: none
  } rows[] = {
      {[](auto& c) { c.Start(); },
       {"indication.terminalCapabilitySetRelease", "indication.masterSlaveDeterminationRelease"},
       ""},  // once, though two procedures gave up
      {[](auto& c) { c.OpenChannel(G711Out(5001)); },
       {"request.closeLogicalChannel.source.lcse"},
       "OpenLogicalChannel"},
      {[](auto& c) {
         c.Start();
         c.OpenChannel(G711Out(5001));
         c.SendEndSession();
       },
       {},
       nullptr},
  };
  for (const auto& row : rows) {
    Make(TestSettings(20ms), TestSettings(20ms));
    row.act(a->Control());
    a->DropQueued();
    if (row.failure) RunUntil([&] { return !a->failures.empty(); });
    RunFor(60ms);
    for (const char* path : row.sent) EXPECT_EQ(a->Count(path), 1u) << path;
    ASSERT_EQ(a->failures.size(), row.failure ? 1u : 0u);
    if (row.failure) {
      EXPECT_NE(a->failures[0].find(row.failure), std::string::npos);
    }
  }
}

// As a connection does when the call goes elsewhere: the timers of a destroyed control never fire
// into its owner.
TEST_F(H245Pair, ADestroyedControlsTimersNeverFire) {
  Make(TestSettings(10ms), TestSettings(10ms));
  a->Control().Start();
  a->Control().OpenChannel(G711Out(5001));
  a->DestroyControl();
  RunFor(60ms);
  EXPECT_TRUE(a->failures.empty());
}

}  // namespace
}  // namespace vantro::test
