#include "stack/codecs/G729ACodec.h"

extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
}

#include <algorithm>
#include <array>

namespace vantro::codecs {

namespace {

constexpr std::size_t kFrameBytes = 10;
constexpr std::size_t kSilenceBytes = 2;
constexpr std::size_t kSamples = 80;

}  // namespace

G729ACodec::G729ACodec(Direction direction) : H323AudioCodec(direction) {
  if (direction == Encoder)
    encoder_ = initBcg729EncoderChannel(0);  // no voice activity detection: every frame is sent
  else
    decoder_ = initBcg729DecoderChannel();
}

G729ACodec::~G729ACodec() {
  if (encoder_) closeBcg729EncoderChannel(encoder_);
  if (decoder_) closeBcg729DecoderChannel(decoder_);
}

bool G729ACodec::Encode(std::span<const std::int16_t> frame, std::vector<std::uint8_t>& out) {
  if (!encoder_ || frame.size() != kSamples) return false;
  std::array<std::uint8_t, kFrameBytes> bits{};
  std::uint8_t length = 0;
  bcg729Encoder(encoder_, frame.data(), bits.data(), &length);
  UpdateLevel(frame);
  out.insert(out.end(), bits.begin(), bits.begin() + std::min<std::size_t>(length, kFrameBytes));
  return length == kFrameBytes;
}

void G729ACodec::SplitFrames(std::span<const std::uint8_t> payload, std::vector<FrameSlice>& frames) const {
  std::size_t at = 0;
  for (; payload.size() - at >= kFrameBytes; at += kFrameBytes) frames.push_back(FrameSlice{at, kFrameBytes, kSamples});
  if (payload.size() - at == kSilenceBytes) frames.push_back(FrameSlice{at, kSilenceBytes, kSamples});
}

unsigned G729ACodec::Run(std::span<const std::uint8_t> bits, bool erased, bool silence, std::span<std::int16_t> pcm) {
  if (!decoder_) return 0;
  std::array<std::uint8_t, kFrameBytes> input{};
  std::copy_n(bits.begin(), std::min(bits.size(), input.size()), input.begin());
  std::array<std::int16_t, kSamples> output{};
  bcg729Decoder(decoder_, input.data(), static_cast<std::uint8_t>(erased ? kFrameBytes : bits.size()), erased,
                silence, 0, output.data());
  const std::size_t n = std::min(pcm.size(), kSamples);
  std::copy_n(output.begin(), n, pcm.begin());
  UpdateLevel(pcm.first(n));
  return static_cast<unsigned>(n);
}

unsigned G729ACodec::Decode(std::span<const std::uint8_t> frame, std::span<std::int16_t> pcm) {
  if (frame.size() == kFrameBytes) return Run(frame, false, false, pcm);
  if (frame.size() == kSilenceBytes) return Run(frame, false, true, pcm);
  return Run({}, true, false, pcm);
}

unsigned G729ACodec::Conceal(std::span<std::int16_t> pcm) { return Run({}, true, false, pcm); }

}  // namespace vantro::codecs
