#include "stack/codecs/G711Codec.h"

#include "stack/codecs/G711Law.h"

#include <algorithm>

namespace vantro::codecs {

bool G711Codec::Encode(std::span<const std::int16_t> frame, std::vector<std::uint8_t>& out) {
  UpdateLevel(frame);
  for (std::int16_t s : frame) out.push_back(law_ == MuLaw ? LinearToMuLaw(s) : LinearToALaw(s));
  return true;
}

void G711Codec::SplitFrames(std::span<const std::uint8_t> payload, std::vector<FrameSlice>& frames) const {
  for (std::size_t at = 0; at < payload.size(); at += GetFrameBytes()) {
    const std::size_t length = std::min<std::size_t>(GetFrameBytes(), payload.size() - at);
    frames.push_back(FrameSlice{at, length, static_cast<unsigned>(length)});
  }
}

unsigned G711Codec::Decode(std::span<const std::uint8_t> frame, std::span<std::int16_t> pcm) {
  const std::size_t n = std::min(frame.size(), pcm.size());
  for (std::size_t i = 0; i < n; ++i) pcm[i] = law_ == MuLaw ? MuLawToLinear(frame[i]) : ALawToLinear(frame[i]);
  concealment_.OnGoodFrame(pcm.first(n));
  UpdateLevel(pcm.first(n));
  return static_cast<unsigned>(n);
}

unsigned G711Codec::Conceal(std::span<std::int16_t> pcm) {
  const std::size_t n = std::min<std::size_t>(pcm.size(), GetFrameSamples());
  concealment_.Conceal(pcm.first(n));
  UpdateLevel(pcm.first(n));
  return static_cast<unsigned>(n);
}

}  // namespace vantro::codecs
