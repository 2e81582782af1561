// RTP payloads of each codec, as a peer may send them: cut into frames that lie inside the
// payload, each decoded (or concealed) into no more samples than it stands for.
#include "stack/codecs/H323AudioCodec.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantro::codecs;
  if (size < 1) return 0;
  static constexpr std::array<unsigned, 4> kTypes{0, 8, 18, 4};
  // One decoder per format for the whole run, as a channel keeps one for a call.
  static std::array<std::unique_ptr<H323AudioCodec>, 4> decoders;
  const std::size_t which = data[0] & 3;
  if (!decoders[which]) decoders[which] = CreateAudioCodec(kTypes[which], H323AudioCodec::Decoder);
  H323AudioCodec& codec = *decoders[which];
  const std::span<const std::uint8_t> payload(data + 1, size - 1);
  std::vector<FrameSlice> frames;
  codec.SplitFrames(payload, frames);
  std::vector<std::int16_t> pcm(codec.GetFrameSamples() + 16, 0x5a5a);
  for (const FrameSlice& f : frames) {
    if (f.offset + f.length > payload.size() || f.samples == 0 || f.samples > codec.GetFrameSamples()) __builtin_trap();
    const unsigned n = codec.Decode(payload.subspan(f.offset, f.length), std::span(pcm).first(f.samples));
    if (n > f.samples) __builtin_trap();
    if (pcm[codec.GetFrameSamples()] != 0x5a5a) __builtin_trap();  // wrote past what it was given
  }
  if ((data[0] & 4) && codec.Conceal(std::span(pcm).first(codec.GetFrameSamples())) > codec.GetFrameSamples())
    __builtin_trap();
  (void)codec.GetAverageSignalLevel();
  return 0;
}
