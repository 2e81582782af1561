// The three codecs on their own where the media channel tests (a tone through each codec, its
// level) do not reach: G.711's laws, the frames a payload is cut into, what is made up for lost
// frames, and what peers send in silence.
#include "stack/codecs/G711Law.h"
#include "stack/codecs/H323AudioCodec.h"
#include "tests/support/SignalAudioSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

namespace vantro::codecs {
namespace {

// The first samples of a test signal.
std::vector<std::int16_t> Samples(const test::SignalAudioSource::Signal& signal, std::size_t samples) {
  std::vector<std::int16_t> out(samples);
  for (std::size_t i = 0; i < samples; ++i) out[i] = signal(i);
  return out;
}

unsigned MeanLevel(const std::vector<std::int16_t>& pcm, std::size_t from, std::size_t length) {
  std::uint64_t sum = 0;
  for (std::size_t i = from; i < from + length; ++i) sum += static_cast<unsigned>(std::abs(int(pcm[i])));
  return static_cast<unsigned>(sum / length);
}

TEST(G711Law, KnownCodesAndRoundTrips) {
  EXPECT_EQ(MuLawToLinear(0xff), 0);
  EXPECT_EQ(MuLawToLinear(0x80), 32124);
  EXPECT_EQ(MuLawToLinear(0x00), -32124);
  EXPECT_EQ(LinearToMuLaw(0), 0xff);
  EXPECT_EQ(LinearToMuLaw(-32768), 0x00);
  EXPECT_EQ(ALawToLinear(0xd5), 8);
  EXPECT_EQ(ALawToLinear(0x55), -8);
  EXPECT_EQ(ALawToLinear(0xaa), 32256);
  EXPECT_EQ(ALawToLinear(0x2a), -32256);
  EXPECT_EQ(LinearToALaw(0), 0xd5);
  EXPECT_EQ(LinearToALaw(32767), 0xaa);
  // Every code decodes to a value that codes back to it (mu-law's negative zero becomes zero).
  for (int c = 0; c < 256; ++c) {
    const auto code = static_cast<std::uint8_t>(c);
    EXPECT_EQ(LinearToALaw(ALawToLinear(code)), code) << c;
    if (code != 0x7f) {
      EXPECT_EQ(LinearToMuLaw(MuLawToLinear(code)), code) << c;
    }
  }
}

struct Format {
  const char* name;
  unsigned payloadType;
  unsigned frameSamples;
};

class Codecs : public testing::TestWithParam<Format> {};

// A lost frame in the middle of speech is made up with sound, not silence; a long loss fades out.
// (Speech, not a tone: a pure tone puts the speech codecs' predictors out of step for long.)
TEST_P(Codecs, ConcealmentBridgesALossAndFadesALongOne) {
  const Format f = GetParam();
  auto encoder = CreateAudioCodec(f.payloadType, H323AudioCodec::Encoder);
  auto decoder = CreateAudioCodec(f.payloadType, H323AudioCodec::Decoder);
  const std::vector<std::int16_t> input = Samples(test::SignalAudioSource::Speech(0.5), 16000);
  std::vector<std::int16_t> output;
  const std::size_t frames = input.size() / f.frameSamples;
  // Losses where the voice is loud (the syllables peak every 250 ms, at 62.5 ms).
  const std::size_t lost = (4000 + 500) / f.frameSamples, longLossFrom = (10000 + 500) / f.frameSamples;
  for (std::size_t k = 0; k < frames; ++k) {
    std::vector<std::uint8_t> bits;
    encoder->Encode(std::span(input).subspan(k * f.frameSamples, f.frameSamples), bits);
    std::vector<std::int16_t> pcm(f.frameSamples);
    if (k == lost || k >= longLossFrom)
      EXPECT_EQ(decoder->Conceal(pcm), f.frameSamples);
    else
      decoder->Decode(bits, pcm);
    output.insert(output.end(), pcm.begin(), pcm.end());
  }
  const unsigned before = MeanLevel(output, (lost - 1) * f.frameSamples, f.frameSamples);
  const unsigned concealed = MeanLevel(output, lost * f.frameSamples, f.frameSamples);
  EXPECT_GT(concealed, before / 4) << "the made-up frame is near silence";
  EXPECT_LT(concealed, before * 2) << "the made-up frame is much louder";
  EXPECT_LT(MeanLevel(output, output.size() - f.frameSamples, f.frameSamples), before / 8)
      << "a long loss does not fade";
  EXPECT_LT(decoder->GetAverageSignalLevel(), before / 8);
}

INSTANTIATE_TEST_SUITE_P(All, Codecs,
                         testing::Values(Format{"G711u", 0, 80}, Format{"G711A", 8, 80}, Format{"G729A", 18, 80},
                                         Format{"G7231", 4, 240}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SplitFrames, CutsPayloadsIntoTheFormatsFrames) {
  std::vector<FrameSlice> s;
  auto g729 = CreateAudioCodec(18, H323AudioCodec::Decoder);
  g729->SplitFrames(std::vector<std::uint8_t>(22), s);  // two frames and a silence descriptor
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[2].offset, 20u);
  EXPECT_EQ(s[2].length, 2u);
  EXPECT_EQ(s[2].samples, 80u);
  s.clear();
  g729->SplitFrames(std::vector<std::uint8_t>(25), s);  // octets that make no frame are left out
  EXPECT_EQ(s.size(), 2u);

  s.clear();
  auto g723 = CreateAudioCodec(4, H323AudioCodec::Decoder);
  std::vector<std::uint8_t> mixed(24 + 20 + 4 + 1 + 10);
  mixed[0] = 0x00;   // 6.3 kbit/s
  mixed[24] = 0x01;  // 5.3 kbit/s
  mixed[44] = 0x02;  // silence descriptor
  mixed[48] = 0x03;  // untransmitted
  mixed[49] = 0x00;  // a 6.3 kbit/s frame cut short
  g723->SplitFrames(mixed, s);
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[1].length, 20u);
  EXPECT_EQ(s[2].length, 4u);
  EXPECT_EQ(s[3].length, 1u);
  for (const FrameSlice& f : s) EXPECT_EQ(f.samples, 240u);

  EXPECT_EQ(CreateAudioCodec(13, H323AudioCodec::Decoder), nullptr);
}

// Peers send G.723.1 at 5.3 kbit/s and, in silence, descriptors and untransmitted frames: each
// stands for 30 ms; silence gives comfort noise, quiet but not dead.
TEST(G7231Decoder, ReadsLowRateFramesAndSilenceDescriptors) {
  auto decoder = CreateAudioCodec(4, H323AudioCodec::Decoder);
  std::mt19937 random(3);
  std::vector<std::int16_t> pcm(240);
  for (int k = 0; k < 20; ++k) {
    std::vector<std::uint8_t> frame(20);
    for (auto& b : frame) b = static_cast<std::uint8_t>(random());
    frame[0] = static_cast<std::uint8_t>((frame[0] & 0xfc) | 0x01);
    frame[3] &= 0x03;  // a pitch lag that is allowed
    EXPECT_EQ(decoder->Decode(frame, pcm), 240u);
  }
  EXPECT_GT(decoder->GetAverageSignalLevel(), 0u);
  const std::vector<std::uint8_t> sid{0x02 | 0x80, 0x55, 0x21, 0x10};
  EXPECT_EQ(decoder->Decode(sid, pcm), 240u);
  unsigned noise = 0;
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(decoder->Decode(std::vector<std::uint8_t>{0x03}, pcm), 240u);
    noise = std::max(noise, decoder->GetAverageSignalLevel());
  }
  EXPECT_GT(noise, 0u);
  EXPECT_LT(noise, 3000u);
}

}  // namespace
}  // namespace vantro::codecs
