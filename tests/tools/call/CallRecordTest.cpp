// A call's record: the set-up times and media figures of its summary, and the exit code its end
// stands for.

#include "tools/call/CallRecord.h"
#include "tools/call/EventPrinter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace vantro::tool;
using Step = CallRecord::Step;
using R = vantro::endpoint::H323CallEndReasons;
using std::chrono::milliseconds;

namespace {

const CallRecord::Clock::time_point kStart = CallRecord::Clock::now();

ToolEvent StepAt(Step step, int ms, std::string detail = "") {
  ToolEvent e;
  e.kind = ToolEvent::Kind::Step;
  e.step = step;
  e.detail = std::move(detail);
  e.at = kStart + milliseconds(ms);
  return e;
}

ToolEvent ClearedAt(int ms, R::CallEndReason reason, bool established) {
  ToolEvent e;
  e.kind = ToolEvent::Kind::Cleared;
  e.endReason = reason;
  e.established = established;
  e.q931Cause = 16;
  e.at = kStart + milliseconds(ms);
  return e;
}

MediaSnapshot Media(const char* format, std::uint64_t packets, std::uint64_t lost = 0, unsigned channel = 1) {
  MediaSnapshot m;
  m.channel = channel;
  m.format = format;
  m.statistics.packets = packets;
  m.statistics.packetsLost = lost;
  m.statistics.framesConcealed = lost;
  m.statistics.jitterMs = 2.5;
  return m;
}

// An established call of connectedMs, with media each way as asked.
CallRecord Established(int connectedMs, bool transmit, bool receive, std::uint64_t received = 100) {
  CallRecord r(1, true, "5550200@", kStart);
  r.Apply(StepAt(Step::Connected, 500));
  if (transmit) r.Apply(StepAt(Step::MediaStarted, 450, "transmit G.711-uLaw-64k"));
  if (receive) r.Apply(StepAt(Step::MediaStarted, 460, "receive G.711-uLaw-64k"));
  ToolEvent clearing = StepAt(Step::Clearing, 500 + connectedMs, "EndedByRemoteUser");
  if (receive) clearing.receive = Media("G.711-uLaw-64k", received);
  r.Apply(clearing);
  r.Apply(ClearedAt(510 + connectedMs, R::EndedByRemoteUser, true));
  return r;
}

std::string JsonSummary(const CallRecord& record, ExitCode result) {
  std::FILE* file = std::tmpfile();
  EventPrinter printer(file, file, true);
  CallAudio::Heard heard;
  heard.meanLevel = 812.5;
  heard.seconds = 4;
  record.PrintSummary(printer, heard, result);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

}  // namespace

TEST(CallRecord, SummaryGivesSetupTimesAndTheMediaOfTheWholeCall) {
  CallRecord r(1, true, "5550200@", kStart);
  for (const auto& e :
       {StepAt(Step::AdmissionRequested, 3), StepAt(Step::Admitted, 18), StepAt(Step::SetupSent, 20),
        StepAt(Step::Proceeding, 40), StepAt(Step::Alerting, 120), StepAt(Step::MediaStarted, 130, "transmit G.729A"),
        StepAt(Step::MediaStarted, 135, "receive G.729A"), StepAt(Step::Connected, 900)})
    r.Apply(e);
  // The far end replaced its channel once: the session's RTP counters go on across channels, each
  // channel has its own jitter buffer.
  ToolEvent replaced;
  replaced.kind = ToolEvent::Kind::ChannelClosed;
  replaced.receive = Media("G.729A", 40, 2, 3);
  r.Apply(replaced);
  ToolEvent user;
  user.kind = ToolEvent::Kind::UserInput;
  user.detail = "5";
  r.Apply(user);
  r.KeySent('1');
  r.KeySent('#');
  ToolEvent clearing = StepAt(Step::Clearing, 5900, "EndedByLocalUser");
  clearing.transmit = Media("G.729A", 248, 0, 2);
  clearing.receive = Media("G.729A", 238, 4, 5);
  r.Apply(clearing);
  // The end of the call closes both channels once more, with their very last figures.
  ToolEvent closed;
  closed.kind = ToolEvent::Kind::ChannelClosed;
  closed.transmit = Media("G.729A", 250, 0, 2);
  r.Apply(closed);
  closed.transmit.reset();
  closed.receive = Media("G.729A", 240, 5, 5);
  r.Apply(closed);
  r.Apply(ClearedAt(5920, R::EndedByLocalUser, true));

  ASSERT_TRUE(r.Ended());
  EXPECT_EQ(r.Result(false, false), ExitCode::Ok);
  const std::string json = JsonSummary(r, ExitCode::Ok);
  EXPECT_NE(json.find(R"("event":"summary","call":1,"direction":"outgoing","party":"5550200@","established":true,)"
                      R"("endReason":"EndedByLocalUser","q931Cause":16,"exitCode":0,)"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("codec":{"transmit":"G.729A","receive":"G.729A"})"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("setupMs":{"admission":15,"proceeding":40,"alerting":120,"media":130,"connect":900})"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("connectedSeconds":5.000)"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("sent":{"packets":250,)"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("received":{"packets":240,"octets":0,"lost":5,"lossPercent":2.041,)"), std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("concealedFrames":7})"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("levelHeard":812.500,"heardSeconds":4.000,"dtmfSent":"1#","dtmfReceived":"5"})"),
            std::string::npos)
      << json;
}

TEST(CallRecord, AnEstablishedCallWithoutMediaBothWaysFailedItsMedia) {
  EXPECT_EQ(Established(5000, true, true).Result(false, false), ExitCode::Ok);
  EXPECT_EQ(Established(5000, true, false).Result(false, false), ExitCode::MediaFailed);
  EXPECT_EQ(Established(5000, false, true).Result(false, false), ExitCode::MediaFailed);
  // Hung up before the media had a fair chance: not a media failure.
  EXPECT_EQ(Established(1000, false, false).Result(false, false), ExitCode::Ok);
  // --require-audio: a channel that received nothing fails too.
  EXPECT_EQ(Established(5000, true, true, 0).Result(false, false), ExitCode::Ok);
  EXPECT_EQ(Established(5000, true, true, 0).Result(true, false), ExitCode::MediaFailed);
  EXPECT_EQ(Established(5000, true, true, 1).Result(true, false), ExitCode::Ok);
}

TEST(CallRecord, WhetherTheCallConnectedDecidesWhatItsEndMeans) {
  const auto endedBy = [](R::CallEndReason reason, bool connected, bool interrupted = false) {
    CallRecord r(1, true, "x@127.0.0.1", kStart);
    r.Apply(StepAt(Step::SetupSent, 5));
    r.Apply(StepAt(Step::MediaStarted, 20, "transmit G.711-ALaw-64k"));
    r.Apply(StepAt(Step::MediaStarted, 21, "receive G.711-ALaw-64k"));
    if (connected) r.Apply(StepAt(Step::Connected, 30));
    r.Apply(ClearedAt(3000, reason, connected));
    return r.Result(false, interrupted);
  };
  // Put down by either side before the connect: not what a line test asked for.
  EXPECT_EQ(endedBy(R::EndedByRemoteUser, false), ExitCode::CallFailed);
  EXPECT_EQ(endedBy(R::EndedByRemoteUser, true), ExitCode::Ok);
  // Ctrl-C: interrupted while it rang, a good line once it had connected.
  EXPECT_EQ(endedBy(R::EndedByLocalUser, false, true), ExitCode::Interrupted);
  EXPECT_EQ(endedBy(R::EndedByLocalUser, true, true), ExitCode::Ok);
  // The gatekeeper refused the call, or cut it off.
  EXPECT_EQ(endedBy(R::EndedByGatekeeper, false), ExitCode::AdmissionRejected);
  EXPECT_EQ(endedBy(R::EndedByGatekeeper, true), ExitCode::CallFailed);
  // A failure after the connect keeps its class.
  EXPECT_EQ(endedBy(R::EndedByTransportFail, true), ExitCode::Unreachable);
}
