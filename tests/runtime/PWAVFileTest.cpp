// The RIFF WAVE reader and writer: every sample format read, the chunks skipped, and one table of the
// bad files refused (the fuzz target covers the breadth).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "runtime/PWAVFile.h"

using namespace std::string_literals;

namespace {

std::string Le(uint32_t x, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += char(x >> (8 * i));
  return s;
}

// A WAV file put together by hand, so that each case can get one field or chunk wrong.
struct Wav {
  uint16_t format = 1, channels = 1;
  uint32_t rate = 8000;
  uint16_t bits = 16;
  int align = -1;  // -1: what the format says
  std::string before = "", fmtExtra = "", data = "";
  uint32_t dataSize = ~0u;  // ~0u: the real size

  std::vector<uint8_t> Bytes(size_t cut = std::string::npos) const {
    const uint32_t a = align >= 0 ? uint32_t(align) : channels * bits / 8u;
    const std::string fmt = Le(format, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * a, 4) + Le(a, 2) + Le(bits, 2);
    const std::string chunks = before + "fmt " + Le(uint32_t(fmt.size() + fmtExtra.size()), 4) + fmt + fmtExtra +
                               "data" + Le(dataSize == ~0u ? uint32_t(data.size()) : dataSize, 4) + data;
    const std::string all = ("RIFF" + Le(uint32_t(chunks.size() + 4), 4) + "WAVE" + chunks).substr(0, cut);
    return {all.begin(), all.end()};
  }
};

const std::string kSubFormatTail = "\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71"s;
// An extensible header's extension: its size, valid bits, channel mask, sub-format.
std::string Extension(uint16_t subFormat, const std::string& tail = kSubFormatTail) {
  return Le(22, 2) + Le(16, 2) + Le(3, 4) + Le(subFormat, 2) + tail;
}

std::string Floats(std::initializer_list<float> values) {
  std::string s;
  for (float f : values) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    s += Le(u, 4);
  }
  return s;
}

}  // namespace

TEST(PWAVFile, EncodesAndReadsEverySampleFormat) {
  EXPECT_EQ(PWAVFile::Encode(PSound(2, 11025, {1, -2, 32767, -32768})),
            (Wav{.channels = 2, .rate = 11025, .data = "\1\0\xFE\xFF\xFF\x7F\0\x80"s}.Bytes()));
  const struct {
    Wav wav;
    std::vector<int16_t> samples;
  } cases[] = {
      {{.bits = 8, .data = "\x80\xFF\0"s}, {0, 127 << 8, -32768}},
      {{.bits = 24, .data = "\x99\x34\x12\0\0\x80"s}, {0x1234, -32768}},
      {{.bits = 32, .data = "\xFF\xFF\xCD\xAB"s}, {int16_t(0xABCD)}},
      {{.format = 3, .bits = 32, .data = Floats({0.5f, -2.0f, std::nanf("")})}, {16383, -32767, 0}},  // clipped
      {{.format = 0xFFFE, .channels = 2, .fmtExtra = Extension(1), .data = Le(5, 2) + Le(uint16_t(-5), 2)}, {5, -5}},
      // An odd-length chunk before the format, padded to an even length as RIFF requires.
      {{.before = "LIST\3\0\0\0abc\0"s, .data = Le(7, 2) + Le(8, 2)}, {7, 8}},
      // Data cut short: the whole frames that are there.
      {{.channels = 2, .data = Le(1, 2) + Le(2, 2) + Le(3, 2) + "\4"s, .dataSize = 1000}, {1, 2}},
      {{.data = ""}, {}},
  };
  for (const auto& c : cases) {
    PSound sound;
    std::string why;
    EXPECT_TRUE(PWAVFile::Decode(c.wav.Bytes(), sound, &why)) << why;
    EXPECT_EQ(sound.GetSamples(), c.samples) << c.wav.format << "/" << c.wav.bits;
  }
  PSound tenMinutes;
  EXPECT_TRUE(PWAVFile::Decode(Wav{.rate = 1000, .bits = 8, .data = std::string(600000, '\x80')}.Bytes(), tenMinutes));
  EXPECT_EQ(tenMinutes.GetFrameCount(), 600000u);
}

TEST(PWAVFile, BadFilesAreRefusedWithAReason) {
  const Wav ok{.data = Le(1, 2)};
  const struct {
    std::vector<uint8_t> bytes;
    std::string why;
  } cases[] = {
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, "not a RIFF WAVE file"},
      {ok.Bytes(12), "no format chunk"},
      {ok.Bytes(30), "format chunk too short"},
      {ok.Bytes(36), "no data chunk"},
      {Wav{.format = 0xFFFE, .fmtExtra = Extension(1).substr(0, 10)}.Bytes(), "extensible format chunk too short"},
      {Wav{.format = 0xFFFE, .fmtExtra = Extension(1, std::string(14, 'x'))}.Bytes(), "unknown sub-format"},
      {Wav{.format = 0xFFFE, .fmtExtra = Extension(2)}.Bytes(), "compressed WAV formats are not supported"},
      {Wav{.channels = 0}.Bytes(), "unsupported channel count"},
      {Wav{.rate = 0xFFFFFFFF}.Bytes(), "unsupported sample rate"},
      {Wav{.bits = 12}.Bytes(), "unsupported sample size"},
      {Wav{.format = 3}.Bytes(), "unsupported sample size"},
      {Wav{.align = 3}.Bytes(), "block size does not match the format"},
      {Wav{.rate = 1000, .bits = 8, .data = std::string(600001, '\x80')}.Bytes(), "sound too long"},
  };
  for (const auto& c : cases) {
    PSound sound;
    std::string why;
    EXPECT_FALSE(PWAVFile::Decode(c.bytes, sound, &why)) << c.why;
    EXPECT_EQ(why, c.why);
  }
}
