#include "runtime/PWAVFile.h"

#include <cstring>
#include <fstream>

#include "runtime/AtomicFile.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The GUID of an extensible header's sub-format, after its leading 16-bit format tag.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
// Little-endian writes into a buffer sized beforehand.
uint8_t* Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  return p + 2;
}
uint8_t* Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
  return p + 4;
}
uint8_t* PutTag(uint8_t* p, const char* tag) {
  std::memcpy(p, tag, 4);
  return p + 4;
}

bool Fail(std::string* error, const char* why) {
  if (error) *error = why;
  return false;
}

int16_t DecodeSample(const uint8_t* p, uint16_t format, unsigned bytes) {
  if (format == kFormatFloat) {
    uint32_t bits = Le32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    if (!(f == f))  // NaN
      return 0;
    const float clamped = f > 1.0f ? 1.0f : (f < -1.0f ? -1.0f : f);
    return int16_t(clamped * 32767.0f);
  }
  switch (bytes) {
    case 1: return int16_t((int(p[0]) - 128) << 8);
    case 2: return int16_t(Le16(p));
    case 3: return int16_t(Le16(p + 1));
    default: return int16_t(Le16(p + 2));
  }
}

}  // namespace

bool PWAVFile::Decode(const uint8_t* data, size_t size, PSound& sound, std::string* error) {
  if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    return Fail(error, "not a RIFF WAVE file");

  const uint8_t* fmt = nullptr;
  size_t fmtSize = 0;
  const uint8_t* pcm = nullptr;
  size_t pcmSize = 0;
  // Chunks follow one another, each padded to an even length. The RIFF length is not trusted:
  // many writers get it wrong, so the walk goes by the bytes that are really there.
  size_t pos = 12;
  while (pos + 8 <= size && !(fmt && pcm)) {
    const uint8_t* id = data + pos;
    const size_t declared = Le32(data + pos + 4);
    const size_t avail = size - pos - 8;
    const size_t len = declared < avail ? declared : avail;
    if (!fmt && std::memcmp(id, "fmt ", 4) == 0) {
      fmt = data + pos + 8;
      fmtSize = len;
    } else if (!pcm && std::memcmp(id, "data", 4) == 0) {
      pcm = data + pos + 8;
      pcmSize = len;
    }
    if (declared >= avail) break;
    pos += 8 + declared + (declared & 1);
  }
  if (!fmt) return Fail(error, "no format chunk");
  if (fmtSize < 16) return Fail(error, "format chunk too short");
  if (!pcm) return Fail(error, "no data chunk");

  uint16_t format = Le16(fmt);
  const unsigned channels = Le16(fmt + 2);
  const uint32_t rate = Le32(fmt + 4);
  const unsigned blockAlign = Le16(fmt + 12);
  const unsigned bits = Le16(fmt + 14);
  if (format == kFormatExtensible) {
    if (fmtSize < 40 || Le16(fmt + 16) < 22) return Fail(error, "extensible format chunk too short");
    if (std::memcmp(fmt + 26, kSubFormatTail, sizeof kSubFormatTail) != 0) return Fail(error, "unknown sub-format");
    format = Le16(fmt + 24);
  }
  if (format != kFormatPcm && format != kFormatFloat) return Fail(error, "compressed WAV formats are not supported");
  if (channels < 1 || channels > 8) return Fail(error, "unsupported channel count");
  if (rate < 1000 || rate > 384000) return Fail(error, "unsupported sample rate");
  if (format == kFormatFloat ? bits != 32 : (bits != 8 && bits != 16 && bits != 24 && bits != 32))
    return Fail(error, "unsupported sample size");
  const unsigned bytes = bits / 8;
  if (blockAlign != channels * bytes) return Fail(error, "block size does not match the format");

  const size_t frames = pcmSize / blockAlign;
  if (frames > size_t(rate) * kMaxSeconds) return Fail(error, "sound too long");

  std::vector<int16_t> samples(frames * channels);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = DecodeSample(pcm + i * bytes, format, bytes);
  sound = PSound(channels, rate, std::move(samples));
  return true;
}

bool PWAVFile::Read(const std::string& path, PSound& sound, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, "cannot open the file");
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < 0) return Fail(error, "cannot read the file");
  if (size_t(length) > kMaxFileBytes) return Fail(error, "file too large");
  in.seekg(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) return Fail(error, "cannot read the file");
  return Decode(bytes, sound, error);
}

std::vector<uint8_t> PWAVFile::Encode(const PSound& sound) {
  const uint32_t dataBytes = uint32_t(sound.GetByteCount());
  const uint16_t channels = uint16_t(sound.GetChannels());
  const uint32_t rate = sound.GetSampleRate();
  std::vector<uint8_t> out(44 + size_t(dataBytes));
  uint8_t* p = out.data();
  p = PutTag(p, "RIFF");
  p = Put32(p, 36 + dataBytes);
  p = PutTag(p, "WAVE");
  p = PutTag(p, "fmt ");
  p = Put32(p, 16);
  p = Put16(p, kFormatPcm);
  p = Put16(p, channels);
  p = Put32(p, rate);
  p = Put32(p, rate * channels * 2);
  p = Put16(p, uint16_t(channels * 2));
  p = Put16(p, 16);
  p = PutTag(p, "data");
  p = Put32(p, dataBytes);
  for (int16_t s : sound.GetSamples()) p = Put16(p, uint16_t(s));
  return out;
}

bool PWAVFile::Write(const std::string& path, const PSound& sound, std::string* error) {
  const std::vector<uint8_t> bytes = Encode(sound);
  return ReplaceFileAtomically(path, std::string(bytes.begin(), bytes.end()), 0644, error);
}
