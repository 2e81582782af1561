#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "runtime/PWAVFile.h"
#include "tests/support/TempDir.h"

namespace {

// A WAV file put together by hand, so that each test can get one field or chunk wrong.
struct WavBuilder {
  uint16_t format = 1;
  uint16_t channels = 1;
  uint32_t rate = 8000;
  uint16_t bits = 16;
  int blockAlign = -1;  // -1: computed
  std::vector<uint8_t> extraBeforeFmt;
  std::vector<uint8_t> fmtExtension;
  std::vector<uint8_t> data;
  int dataSizeField = -1;  // -1: the real size

  static void Put(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(uint8_t(x >> (8 * i)));
  }
  static void Tag(std::vector<uint8_t>& v, const char* t) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(t[i]));
  }

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> fmt;
    Put(fmt, format, 2);
    Put(fmt, channels, 2);
    Put(fmt, rate, 4);
    const unsigned align = blockAlign >= 0 ? unsigned(blockAlign) : channels * bits / 8u;
    Put(fmt, rate * align, 4);
    Put(fmt, align, 2);
    Put(fmt, bits, 2);
    fmt.insert(fmt.end(), fmtExtension.begin(), fmtExtension.end());

    std::vector<uint8_t> out;
    Tag(out, "RIFF");
    Put(out, 0, 4);  // the RIFF length is not relied on
    Tag(out, "WAVE");
    out.insert(out.end(), extraBeforeFmt.begin(), extraBeforeFmt.end());
    Tag(out, "fmt ");
    Put(out, uint32_t(fmt.size()), 4);
    out.insert(out.end(), fmt.begin(), fmt.end());
    Tag(out, "data");
    Put(out, dataSizeField >= 0 ? uint32_t(dataSizeField) : uint32_t(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
  }
};

std::vector<uint8_t> Le16Samples(std::initializer_list<int16_t> s) {
  std::vector<uint8_t> v;
  for (int16_t x : s) WavBuilder::Put(v, uint16_t(x), 2);
  return v;
}

PSound DecodeOk(const std::vector<uint8_t>& bytes) {
  PSound s;
  std::string why;
  EXPECT_TRUE(PWAVFile::Decode(bytes, s, &why)) << why;
  return s;
}

std::string DecodeError(const std::vector<uint8_t>& bytes) {
  PSound s;
  std::string why;
  EXPECT_FALSE(PWAVFile::Decode(bytes, s, &why));
  return why;
}

}  // namespace

TEST(PWAVFile, EncodeThenDecodeGivesTheSameSound) {
  const PSound in(2, 11025, {0, -1, 32767, -32768, 1234, -4321});
  const std::vector<uint8_t> bytes = PWAVFile::Encode(in);
  ASSERT_EQ(bytes.size(), 44u + 12u);
  EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
  EXPECT_EQ(bytes[4] | bytes[5] << 8, 36 + 12);  // RIFF length
  const PSound out = DecodeOk(bytes);
  EXPECT_EQ(out.GetChannels(), 2u);
  EXPECT_EQ(out.GetSampleRate(), 11025u);
  EXPECT_EQ(out.GetSamples(), in.GetSamples());
}

TEST(PWAVFile, OtherSampleFormatsAreReadAs16Bit) {
  std::vector<uint8_t> floats;
  for (float f : {0.5f, -2.0f, std::nanf("")}) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    WavBuilder::Put(floats, u, 4);
  }
  const struct {
    uint16_t format, bits;
    std::vector<uint8_t> data;
    std::vector<int16_t> samples;
  } cases[] = {
      {1, 8, {0x80, 0xFF, 0x00}, {0, 127 << 8, -32768}},
      {1, 24, {0x99, 0x34, 0x12, 0x00, 0x00, 0x80}, {0x1234, -32768}},
      {1, 32, {0xFF, 0xFF, 0xCD, 0xAB}, {int16_t(0xABCD)}},
      {3, 32, floats, {16383, -32767, 0}},  // IEEE float: clipped, NaN silent
  };
  for (const auto& c : cases) {
    WavBuilder b;
    b.format = c.format;
    b.bits = c.bits;
    b.data = c.data;
    EXPECT_EQ(DecodeOk(b.Build()).GetSamples(), c.samples) << c.format << "/" << c.bits;
  }
}

TEST(PWAVFile, ExtensibleHeaderWithPcmSubFormat) {
  WavBuilder b;
  b.format = 0xFFFE;
  b.channels = 2;
  WavBuilder::Put(b.fmtExtension, 22, 2);  // extension size
  WavBuilder::Put(b.fmtExtension, 16, 2);  // valid bits
  WavBuilder::Put(b.fmtExtension, 3, 4);   // channel mask
  WavBuilder::Put(b.fmtExtension, 1, 2);   // PCM
  const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  b.fmtExtension.insert(b.fmtExtension.end(), tail, tail + 14);
  b.data = Le16Samples({5, -5});
  EXPECT_EQ(DecodeOk(b.Build()).GetSamples(), (std::vector<int16_t>{5, -5}));

  b.fmtExtension[8] = 2;  // an ADPCM sub-format
  EXPECT_EQ(DecodeError(b.Build()), "compressed WAV formats are not supported");
  b.fmtExtension.resize(10);  // cut short
  EXPECT_EQ(DecodeError(b.Build()), "extensible format chunk too short");
}

TEST(PWAVFile, OtherChunksAreSkippedWithTheirPadding) {
  WavBuilder b;
  // An odd-length LIST chunk before the format, padded to an even length as RIFF requires.
  b.extraBeforeFmt = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  b.data = Le16Samples({7, 8});
  EXPECT_EQ(DecodeOk(b.Build()).GetSamples(), (std::vector<int16_t>{7, 8}));
}

TEST(PWAVFile, DataCutShortGivesTheWholeFramesThatAreThere) {
  WavBuilder b;
  b.channels = 2;
  b.data = Le16Samples({1, 2, 3, 4});
  b.data.pop_back();  // the last frame is incomplete
  b.dataSizeField = 1000;
  EXPECT_EQ(DecodeOk(b.Build()).GetSamples(), (std::vector<int16_t>{1, 2}));

  b.data.clear();
  EXPECT_EQ(DecodeOk(b.Build()).GetFrameCount(), 0u);
}

TEST(PWAVFile, BrokenHeadersAreRefusedWithAReason) {
  EXPECT_EQ(DecodeError({}), "not a RIFF WAVE file");
  EXPECT_EQ(DecodeError({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}), "not a RIFF WAVE file");

  WavBuilder ok;
  ok.data = Le16Samples({1});
  std::vector<uint8_t> bytes = ok.Build();
  EXPECT_EQ(DecodeError(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 30)), "format chunk too short");
  EXPECT_EQ(DecodeError(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12)), "no format chunk");
  EXPECT_EQ(DecodeError(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 36)), "no data chunk");

  auto refused = [](auto change) {
    WavBuilder b;
    b.data = Le16Samples({1, 2});
    change(b);
    return DecodeError(b.Build());
  };
  EXPECT_EQ(refused([](WavBuilder& b) { b.format = 2; }), "compressed WAV formats are not supported");
  EXPECT_EQ(refused([](WavBuilder& b) { b.channels = 0; }), "unsupported channel count");
  EXPECT_EQ(refused([](WavBuilder& b) { b.channels = 9; }), "unsupported channel count");
  EXPECT_EQ(refused([](WavBuilder& b) { b.rate = 999; }), "unsupported sample rate");
  EXPECT_EQ(refused([](WavBuilder& b) { b.rate = 0xFFFFFFFF; }), "unsupported sample rate");
  EXPECT_EQ(refused([](WavBuilder& b) { b.bits = 12; }), "unsupported sample size");
  EXPECT_EQ(refused([](WavBuilder& b) { b.format = 3; }), "unsupported sample size");
  EXPECT_EQ(refused([](WavBuilder& b) { b.blockAlign = 0; }), "block size does not match the format");
  EXPECT_EQ(refused([](WavBuilder& b) { b.blockAlign = 3; }), "block size does not match the format");
}

TEST(PWAVFile, SoundsLongerThanTenMinutesAreRefused) {
  WavBuilder b;
  b.rate = 1000;
  b.bits = 8;
  b.data.assign(600 * 1000 + 1, 0x80);
  EXPECT_EQ(DecodeError(b.Build()), "sound too long");
  b.data.pop_back();
  EXPECT_EQ(DecodeOk(b.Build()).GetFrameCount(), 600000u);
}

TEST(PWAVFile, FilesAreWrittenWholeAndReadBack) {
  TempDir dir;
  const std::string path = (dir / "tone.wav").string();
  WriteFileBytes(path, "old contents");
  const PSound sound = PSound::Tones({440}, 0.5, 50);
  ASSERT_TRUE(PWAVFile::Write(path, sound));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no leftovers
  PSound back;
  ASSERT_TRUE(PWAVFile::Read(path, back));
  EXPECT_EQ(back.GetSamples(), sound.GetSamples());

  std::string why;
  EXPECT_FALSE(PWAVFile::Read((dir / "missing.wav").string(), back, &why));
  EXPECT_EQ(why, "cannot open the file");
  EXPECT_FALSE(PWAVFile::Write((dir / "no-such-folder" / "x.wav").string(), sound, &why));
}
