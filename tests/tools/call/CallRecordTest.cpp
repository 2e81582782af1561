// A call's summary: its figures across replaced channels (the program tests reach the exit codes of
// busy, no answer, unreachable, no codec in common, a refused admission and an interrupt).
#include "tools/call/CallRecord.h"
#include "tools/call/EventPrinter.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace vantro::tool;
using Step = CallRecord::Step;
using R = vantro::endpoint::H323CallEndReasons;

namespace {

const CallRecord::Clock::time_point kStart = CallRecord::Clock::now();

ToolEvent At(int ms, ToolEvent::Kind kind, Step step = Step::Connected, std::string detail = "") {
  ToolEvent e;
  e.kind = kind;
  e.step = step;
  e.detail = std::move(detail);
  e.at = kStart + std::chrono::milliseconds(ms);
  return e;
}

ToolEvent StepAt(Step step, int ms, std::string detail = "") { return At(ms, ToolEvent::Kind::Step, step, detail); }

MediaSnapshot Media(std::uint64_t packets, std::uint64_t lost = 0, unsigned channel = 1) {
  MediaSnapshot m;
  m.channel = channel;
  m.format = "G.729A";
  m.statistics.packets = packets;
  m.statistics.packetsLost = lost;
  m.statistics.framesConcealed = lost;
  m.statistics.jitterMs = 2.5;
  return m;
}

}  // namespace

TEST(CallRecord, SummaryCountsEachPacketOnceAcrossReplacedChannels) {
  CallRecord r(1, true, "5550200@", kStart);
  for (const auto& e :
       {StepAt(Step::AdmissionRequested, 3), StepAt(Step::Admitted, 18), StepAt(Step::SetupSent, 20),
        StepAt(Step::Proceeding, 40), StepAt(Step::Alerting, 120), StepAt(Step::MediaStarted, 130, "transmit G.729A"),
        StepAt(Step::MediaStarted, 135, "receive G.729A"), StepAt(Step::Connected, 900)})
    r.Apply(e);
  // The far end replaced its channel once: the session's RTP counters go on across channels, each
  // channel has its own jitter buffer.
  ToolEvent closed = At(1000, ToolEvent::Kind::ChannelClosed);
  closed.receive = Media(40, 2, 3);
  r.Apply(closed);
  ToolEvent user = At(1000, ToolEvent::Kind::UserInput, Step::Connected, "5");
  r.Apply(user);
  r.KeySent('1');
  r.KeySent('#');
  ToolEvent clearing = StepAt(Step::Clearing, 5900, "EndedByLocalUser");
  clearing.transmit = Media(248, 0, 2);
  clearing.receive = Media(238, 4, 5);
  r.Apply(clearing);
  // The end of the call closes both channels once more, with their very last figures.
  closed.receive.reset();
  closed.transmit = Media(250, 0, 2);
  r.Apply(closed);
  closed.transmit.reset();
  closed.receive = Media(240, 5, 5);
  r.Apply(closed);
  ToolEvent cleared = At(5920, ToolEvent::Kind::Cleared);
  cleared.endReason = R::EndedByLocalUser;
  cleared.established = true;
  cleared.q931Cause = 16;
  r.Apply(cleared);
  ASSERT_TRUE(r.Ended());

  std::FILE* file = std::tmpfile();
  EventPrinter printer(file, file, true);
  CallAudio::Heard heard;
  heard.meanLevel = 812.5;
  heard.seconds = 4;
  r.PrintSummary(printer, heard, ExitCode::Ok);
  std::string json(static_cast<std::size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  json.resize(std::fread(json.data(), 1, json.size(), file));
  std::fclose(file);
  for (const char* part :
       {R"("event":"summary","call":1,"direction":"outgoing","party":"5550200@","established":true,)"
        R"("endReason":"EndedByLocalUser","q931Cause":16,"exitCode":0,)",
        R"("setupMs":{"admission":15,"proceeding":40,"alerting":120,"media":130,"connect":900})",
        R"("connectedSeconds":5.000)", R"("sent":{"packets":250,)",
        R"("received":{"packets":240,"octets":0,"lost":5,"lossPercent":2.041,)", R"("concealedFrames":7})",
        R"("levelHeard":812.500,"heardSeconds":4.000,"dtmfSent":"1#","dtmfReceived":"5"})"})
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
}
