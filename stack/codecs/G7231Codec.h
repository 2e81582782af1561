#pragma once
// G.723.1 (libavcodec): 30 ms frames. We send 6.3 kbit/s frames of 24 octets; we read what peers
// send: 6.3 kbit/s (24 octets), 5.3 kbit/s (20), silence descriptors (4) and untransmitted frames
// (1), told apart by the two low bits of a frame's first octet. The first two lost frames in a row
// go through the decoder's own concealment (which it runs for a frame it cannot read); after that
// the sound is muted.

#include "stack/codecs/H323AudioCodec.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace vantro::codecs {

class G7231Codec : public H323AudioCodec {
 public:
  explicit G7231Codec(Direction direction);
  ~G7231Codec() override;

  std::string GetName() const override { return "G.723.1"; }
  unsigned GetFrameSamples() const override { return 240; }
  unsigned GetFrameBytes() const override { return 24; }
  unsigned GetLookAheadSamples() const override { return 60; }
  bool IsOpen() const override { return context_ != nullptr; }
  bool Encode(std::span<const std::int16_t> frame, std::vector<std::uint8_t>& out) override;
  void SplitFrames(std::span<const std::uint8_t> payload, std::vector<FrameSlice>& frames) const override;
  unsigned Decode(std::span<const std::uint8_t> frame, std::span<std::int16_t> pcm) override;
  unsigned Conceal(std::span<std::int16_t> pcm) override;

 private:
  void Open();
  unsigned Run(std::span<const std::uint8_t> bits, std::span<std::int16_t> pcm);

  AVCodecContext* context_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  unsigned erased_ = 0;   // frames made up since the last that came
  unsigned runaway_ = 0;  // frames in a row mostly at full scale
};

}  // namespace vantro::codecs
