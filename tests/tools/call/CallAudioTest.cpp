// The tool's audio: WAV files in (converted when they are not 8 kHz mono) and out, silence, the
// level heard, and names of sound devices checked before the first call.

#include "runtime/PWAVFile.h"
#include "tests/support/SoundTestSupport.h"
#include "tools/call/CallAudio.h"
#include "tools/call/HeardAudioSink.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace vantro::tool;
using vantro::endpoint::AudioSink;

namespace {

CallOptions AnswerWith(std::function<void(CallOptions&)> set) {
  CallOptions o;
  o.mode = CallOptions::Mode::Answer;
  set(o);
  return o;
}

std::vector<std::int16_t> ReadAll(vantro::endpoint::AudioSource& source, std::size_t samples) {
  std::vector<std::int16_t> all(samples);
  for (std::size_t at = 0; at < samples; at += 160) {
    const std::size_t n = std::min<std::size_t>(160, samples - at);
    EXPECT_TRUE(source.Read(std::span(all.data() + at, n)));
  }
  return all;
}

// A device that takes a few writes and then fails, as a sound server that went away.
class FailingSink : public AudioSink {
 public:
  bool Write(std::span<const std::int16_t>) override { return ++writes_ <= 2; }
  void Abort() override {}
  int writes_ = 0;
};

}  // namespace

TEST(CallAudio, AWavFileOfAnotherFormatIsConvertedAndSentOnceThenSilence) {
  TempDir dir;
  // A 1 kHz tone, 44.1 kHz stereo, 200 ms.
  PSound tone = PSound::Tones({1000}, 0.5, 200, 44100).ConvertTo(2, 44100);
  ASSERT_TRUE(PWAVFile::Write((dir / "tone.wav").string(), tone));
  CallAudio audio;
  std::string error, note;
  ASSERT_TRUE(audio.Prepare(AnswerWith([&](CallOptions& o) { o.wavIn = (dir / "tone.wav").string(); }), error, note))
      << error;
  EXPECT_NE(note.find("44100 Hz, 2 channel(s), converted to 8000 Hz mono"), std::string::npos) << note;

  auto source = audio.Devices().openSource("");
  ASSERT_TRUE(source);
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::int16_t> sent = ReadAll(*source, 3200);  // 400 ms
  // Paced as a recorder: 400 ms of samples take about that long (a loose floor, not a timing test).
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  const std::vector<std::int16_t> tonePart(sent.begin() + 200, sent.begin() + 1400);
  EXPECT_GT(ToneAmplitude(tonePart, 1000), 0.4);
  EXPECT_LT(ToneAmplitude(tonePart, 3000), 0.02);
  EXPECT_TRUE(std::all_of(sent.begin() + 1700, sent.end(), [](std::int16_t s) { return s == 0; }));

  // Each channel sends the file from its start.
  auto again = audio.Devices().openSource("");
  EXPECT_GT(ToneAmplitude(ReadAll(*again, 1200), 1000), 0.3);
  source->Abort();
  std::int16_t one[160];
  EXPECT_FALSE(source->Read(one));
}

TEST(CallAudio, FilesThatCannotBeUsedAreRefusedBeforeTheCall) {
  TempDir dir;
  WriteFileBytes(dir / "junk.wav", "RIFF\x10\0\0\0WAVEjunk");
  const std::vector<std::pair<std::function<void(CallOptions&)>, std::string>> cases = {
      {[&](CallOptions& o) { o.wavIn = (dir / "missing.wav").string(); },
       "cannot send " + (dir / "missing.wav").string()},
      {[&](CallOptions& o) { o.wavIn = (dir / "junk.wav").string(); },
       "cannot send " + (dir / "junk.wav").string() + ": "},
      {[&](CallOptions& o) { o.wavOut = (dir / "no" / "such" / "out.wav").string(); }, "missing or not writable"},
      {[&](CallOptions& o) { o.wavOut = dir.path().string(); }, "it is a folder"},
  };
  for (const auto& [set, reason] : cases) {
    CallAudio audio;
    std::string error, note;
    EXPECT_FALSE(audio.Prepare(AnswerWith(set), error, note));
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

TEST(CallAudio, SoundDevicesMustBeOnesTheServerHas) {
  NoServer none;
  std::string error, note;
  CallAudio audio;
  EXPECT_FALSE(audio.Prepare(AnswerWith([](CallOptions& o) { o.playDevice = "speaker"; }), error, note));
  EXPECT_NE(error.find("no playing device \"speaker\" (--list-devices lists them)"), std::string::npos) << error;
  EXPECT_FALSE(audio.Prepare(AnswerWith([](CallOptions& o) { o.recordDevice = "mic"; }), error, note));
  EXPECT_NE(error.find("no recording device \"mic\""), std::string::npos) << error;
  // The server's default is always a name; without a server its channel simply runs silent.
  EXPECT_TRUE(audio.Prepare(AnswerWith([](CallOptions& o) {
                              o.playDevice = "";
                              o.recordDevice = "";
                            }),
                            error, note));
}

TEST(CallAudio, WhatIsHeardIsMeasuredAndRecordedPerCall) {
  TempDir dir;
  CallAudio audio;
  std::string error, note;
  ASSERT_TRUE(audio.Prepare(AnswerWith([&](CallOptions& o) { o.wavOut = (dir / "heard.wav").string(); }), error, note));
  // Two channels of one call (the far end reopened its channel): one recording.
  const std::vector<std::int16_t> loud(800, -1000), quiet(800, 200);
  audio.Devices().openSink("")->Write(loud);
  audio.Devices().openSink("")->Write(quiet);
  CallAudio::Heard first = audio.FinishCall(1);
  EXPECT_EQ(first.error, "");
  EXPECT_DOUBLE_EQ(first.meanLevel, 600);
  EXPECT_DOUBLE_EQ(first.seconds, 0.2);
  EXPECT_EQ(first.wavPath, (dir / "heard.wav").string());
  PSound written;
  ASSERT_TRUE(PWAVFile::Read(first.wavPath, written));
  EXPECT_EQ(written.GetSampleRate(), 8000u);
  EXPECT_EQ(written.GetChannels(), 1u);
  ASSERT_EQ(written.GetSamples().size(), 1600u);
  EXPECT_EQ(written.GetSamples()[0], -1000);
  EXPECT_EQ(written.GetSamples()[1599], 200);

  // The next call starts afresh, in a file of its own.
  audio.Devices().openSink("")->Write(quiet);
  CallAudio::Heard second = audio.FinishCall(2);
  EXPECT_DOUBLE_EQ(second.meanLevel, 200);
  EXPECT_EQ(second.wavPath, (dir / "heard-2.wav").string());
  ASSERT_TRUE(PWAVFile::Read(second.wavPath, written));
  EXPECT_EQ(written.GetSamples().size(), 800u);
  EXPECT_EQ(CallAudio::RecordingPath("out", 3), "out-3");
  EXPECT_EQ(CallAudio::RecordingPath("a.b/c.wav", 1), "a.b/c.wav");
}

TEST(CallAudio, AFailingPlayDeviceDoesNotEndTheMeasuring) {
  auto heard = std::make_shared<HeardAudio>(false);
  auto device = std::make_unique<FailingSink>();
  HeardAudioSink sink(heard, std::move(device));
  const std::vector<std::int16_t> frame(160, 100);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(sink.Write(frame)) << i;
  EXPECT_EQ(heard->Take().samples, 800u);
  sink.Abort();
  EXPECT_FALSE(sink.Write(frame));
}
