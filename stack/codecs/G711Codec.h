#pragma once
// G.711 at 64 kbit/s, mu-law or A-law: one octet per sample. Frames are 10 ms; a received payload
// of any length is cut into frames of at most 10 ms. Lost frames are made up by repeating and
// fading the sound before them.

#include "stack/codecs/H323AudioCodec.h"
#include "stack/codecs/RepeatFadeConcealment.h"

namespace vantro::codecs {

class G711Codec : public H323AudioCodec {
 public:
  enum Law { MuLaw, ALaw };
  G711Codec(Law law, Direction direction) : H323AudioCodec(direction), law_(law) {}

  std::string GetName() const override { return law_ == MuLaw ? "G.711 mu-law" : "G.711 A-law"; }
  unsigned GetFrameSamples() const override { return 80; }
  unsigned GetFrameBytes() const override { return 80; }
  bool Encode(std::span<const std::int16_t> frame, std::vector<std::uint8_t>& out) override;
  void SplitFrames(std::span<const std::uint8_t> payload, std::vector<FrameSlice>& frames) const override;
  unsigned Decode(std::span<const std::uint8_t> frame, std::span<std::int16_t> pcm) override;
  unsigned Conceal(std::span<std::int16_t> pcm) override;

 private:
  const Law law_;
  RepeatFadeConcealment concealment_;
};

}  // namespace vantro::codecs
