// The tool's audio where the program tests do not reach it: a WAV file of another format.
#include "runtime/PWAVFile.h"
#include "tests/support/SoundTestSupport.h"
#include "tools/call/CallAudio.h"

#include <gtest/gtest.h>

using namespace vantro::tool;

namespace {

CallOptions AnswerWith(const std::function<void(CallOptions&)>& set) {
  CallOptions o;
  o.mode = CallOptions::Mode::Answer;
  set(o);
  return o;
}

std::vector<std::int16_t> ReadAll(vantro::endpoint::AudioSource& source, std::size_t samples) {
  std::vector<std::int16_t> all(samples);
  for (std::size_t at = 0; at < samples; at += 160)
    EXPECT_TRUE(source.Read(std::span(all.data() + at, std::min<std::size_t>(160, samples - at))));
  return all;
}

}  // namespace

TEST(CallAudio, AWavFileOfAnotherFormatIsConvertedAndSentOncePerChannelThenSilence) {
  TempDir dir;
  ASSERT_TRUE(PWAVFile::Write((dir / "tone.wav").string(), PSound::Tones({1000}, 0.5, 200, 44100).ConvertTo(2, 44100)));
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
  EXPECT_GT(ToneAmplitude(ReadAll(*audio.Devices().openSource(""), 1200), 1000), 0.3);  // a new channel: from the start
  source->Abort();
  std::int16_t one[160];
  EXPECT_FALSE(source->Read(one));
}
