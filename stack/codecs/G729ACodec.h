#pragma once
// G.729 Annex A at 8 kbit/s (bcg729): 10 ms frames of 10 octets, 5 ms look-ahead. A received
// payload may end in a 2-octet silence descriptor (Annex B), which is decoded as comfort noise;
// lost frames go through the decoder's own concealment.

#include "stack/codecs/H323AudioCodec.h"

struct bcg729EncoderChannelContextStruct_struct;
struct bcg729DecoderChannelContextStruct_struct;

namespace vantro::codecs {

class G729ACodec : public H323AudioCodec {
 public:
  explicit G729ACodec(Direction direction);
  ~G729ACodec() override;

  std::string GetName() const override { return "G.729A"; }
  unsigned GetFrameSamples() const override { return 80; }
  unsigned GetFrameBytes() const override { return 10; }
  unsigned GetLookAheadSamples() const override { return 40; }
  bool IsOpen() const override { return encoder_ || decoder_; }
  bool Encode(std::span<const std::int16_t> frame, std::vector<std::uint8_t>& out) override;
  void SplitFrames(std::span<const std::uint8_t> payload, std::vector<FrameSlice>& frames) const override;
  unsigned Decode(std::span<const std::uint8_t> frame, std::span<std::int16_t> pcm) override;
  unsigned Conceal(std::span<std::int16_t> pcm) override;

 private:
  unsigned Run(std::span<const std::uint8_t> bits, bool erased, bool silence, std::span<std::int16_t> pcm);

  bcg729EncoderChannelContextStruct_struct* encoder_ = nullptr;
  bcg729DecoderChannelContextStruct_struct* decoder_ = nullptr;
};

}  // namespace vantro::codecs
