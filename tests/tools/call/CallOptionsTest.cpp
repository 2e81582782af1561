#include "tools/call/CallOptions.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using vantro::tool::CallOptions;
using vantro::tool::ParseCallOptions;

namespace {

std::optional<CallOptions> Parse(const std::vector<std::string>& args, std::string* error = nullptr) {
  std::string e;
  auto o = ParseCallOptions(args, e);
  if (error) *error = e;
  return o;
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

}  // namespace

TEST(CallOptions, ReadsEveryOptionOfACall) {
  auto o = Parse(
      Words("--gatekeeper 127.0.0.1:1719 --user=5550100 --password secret --listen 127.0.0.1:1737 --wav-in in.wav "
            "--wav-out out.wav --dtmf 12*#ab --dtmf-gap 150 --codec g711a --codec=g729a --no-fast-start --no-tunnel "
            "--duration 2.5 --timeout 30 --require-audio --rtp-ports 6000-6099 --trace 4 --json call 5550200@"));
  ASSERT_TRUE(o);
  EXPECT_EQ(o->mode, CallOptions::Mode::Call);
  EXPECT_EQ(o->party, "5550200@");
  EXPECT_EQ(o->gatekeeper, "127.0.0.1:1719");
  EXPECT_EQ(o->user, "5550100");
  EXPECT_EQ(o->password, "secret");
  EXPECT_EQ(o->ListenInterface(), "127.0.0.1:1737");
  EXPECT_EQ(o->wavIn, "in.wav");
  EXPECT_EQ(o->wavOut, "out.wav");
  EXPECT_EQ(o->dtmf, "12*#AB");
  EXPECT_EQ(o->dtmfGapMs, 150u);
  EXPECT_EQ(o->EffectiveCodecs(), (std::vector{CallOptions::Codec::G711a, CallOptions::Codec::G729A}));
  EXPECT_TRUE(o->noFastStart && o->noTunnel && o->requireAudio && o->json);
  EXPECT_DOUBLE_EQ(*o->durationSeconds, 2.5);
  EXPECT_DOUBLE_EQ(*o->timeoutSeconds, 30);
  EXPECT_EQ(o->rtpPortBase, 6000);
  EXPECT_EQ(o->rtpPortMax, 6099);
  EXPECT_EQ(o->traceLevel, 4u);
}

TEST(CallOptions, DefaultsSuitEachMode) {
  auto call = Parse({"call", "127.0.0.1"});
  ASSERT_TRUE(call);
  EXPECT_EQ(call->ListenInterface(), "*:0");
  EXPECT_EQ(call->EffectiveCodecs().front(), CallOptions::Codec::G729A);
  EXPECT_EQ(call->EffectiveCodecs().size(), 4u);
  EXPECT_FALSE(call->durationSeconds || call->timeoutSeconds || call->playDevice || call->recordDevice);

  auto answer = Parse(
      {"answer", "--max-calls", "3", "--answer-delay", "1.5", "--play-device", "default", "--record-device", "mic"});
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->mode, CallOptions::Mode::Answer);
  EXPECT_EQ(answer->ListenInterface(), "*:1720");
  EXPECT_EQ(answer->maxCalls, 3u);
  EXPECT_DOUBLE_EQ(answer->answerDelaySeconds, 1.5);
  EXPECT_EQ(answer->playDevice, "");  // "default": the server's default device
  EXPECT_EQ(answer->recordDevice, "mic");

  EXPECT_EQ(Parse({"--list-devices"})->mode, CallOptions::Mode::ListDevices);
  EXPECT_EQ(Parse({"call", "--help"})->mode, CallOptions::Mode::Help);
}

TEST(CallOptions, RefusesMistakesWithAReason) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "call PARTY or answer"},
      {{"dial", "x"}, "unknown command"},
      {{"call"}, "needs the party"},
      {{"call", "a@1.2.3.4", "b@1.2.3.4"}, "one party"},
      {{"answer", "x"}, "takes no party"},
      {{"--frobnicate", "answer"}, "unknown option --frobnicate"},
      {{"answer", "--duration"}, "--duration needs a value"},
      {{"answer", "--json=yes"}, "takes no value"},
      {{"answer", "--duration", "0"}, "bad value for --duration"},
      {{"answer", "--duration", "-3"}, "bad value for --duration"},
      {{"answer", "--timeout", "nan"}, "bad value for --timeout"},
      {{"answer", "--timeout", "1e9"}, "bad value for --timeout"},
      {{"answer", "--timeout", "5s"}, "bad value for --timeout"},
      {{"answer", "--dtmf", "12x"}, "bad value for --dtmf"},
      {{"answer", "--dtmf-gap", "5"}, "bad value for --dtmf-gap"},
      {{"answer", "--codec", "g722"}, "bad value for --codec"},
      {{"answer", "--rtp-ports", "6001-6100"}, "bad value for --rtp-ports"},
      {{"answer", "--rtp-ports", "6000-6000"}, "bad value for --rtp-ports"},
      {{"answer", "--rtp-ports", "6000"}, "bad value for --rtp-ports"},
      {{"answer", "--listen", "1720"}, "bad value for --listen"},
      {{"answer", "--gatekeeper", "gk:99999"}, "bad value for --gatekeeper"},
      {{"answer", "--max-calls", "0"}, "bad value for --max-calls"},
      {{"answer", "--trace", "9"}, "bad value for --trace"},
      {{"call", "5550200@"}, "give --gatekeeper"},
      {{"call", "5550200"}, "give --gatekeeper"},
      {{"call", "a@not a host"}, "names no party"},
      {{"call", "@"}, "names no party"},
      {{"call", "a@127.0.0.1", "--max-calls", "2"}, "--max-calls is for answer"},
      {{"call", "a@127.0.0.1", "--answer-delay", "2"}, "--answer-delay is for answer"},
      {{"answer", "--wav-in", "a.wav", "--record-device", "mic"}, "choose one"},
      {{"answer", "--wav-out", "a.wav", "--play-device", "speaker"}, "choose one"},
      {{"answer", "--password", "pw"}, "give --gatekeeper too"},
      {{"--list-devices", "answer"}, "takes no command"},
  };
  for (const auto& [args, reason] : cases) {
    std::string error;
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_FALSE(Parse(args, &error)) << joined;
    EXPECT_NE(error.find(reason), std::string::npos) << joined << "-> " << error;
  }
}
