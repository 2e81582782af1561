#pragma once
// One direction of one audio format: an encoder turns frames of samples (8000 per second, mono,
// 16-bit) into the format's frames; a decoder turns received frames back into samples and makes up
// sound for frames that never came. Either reports the average signal level of the last frame it
// handled, which any thread may read.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vantro::codecs {

// Where one frame lies in an RTP payload and how many samples it stands for.
struct FrameSlice {
  std::size_t offset = 0;
  std::size_t length = 0;
  unsigned samples = 0;
};

class H323AudioCodec {
 public:
  enum Direction { Encoder, Decoder };

  explicit H323AudioCodec(Direction direction) : direction_(direction) {}
  virtual ~H323AudioCodec() = default;
  H323AudioCodec(const H323AudioCodec&) = delete;
  H323AudioCodec& operator=(const H323AudioCodec&) = delete;

  Direction GetDirection() const { return direction_; }
  virtual std::string GetName() const = 0;
  // Samples in one frame, and octets of one encoded frame.
  virtual unsigned GetFrameSamples() const = 0;
  virtual unsigned GetFrameBytes() const = 0;
  // Samples the encoder must see beyond a frame before it can code it.
  virtual unsigned GetLookAheadSamples() const { return 0; }
  // False when the library behind the codec could not be set up.
  virtual bool IsOpen() const { return true; }

  // Encoder: codes one frame of GetFrameSamples() samples and appends it to out.
  virtual bool Encode(std::span<const std::int16_t> frame, std::vector<std::uint8_t>& out) = 0;

  // Decoder: the frames of an RTP payload, in order; octets that make no whole frame are left out.
  // Keeps no state, so it may run on another thread than Decode.
  virtual void SplitFrames(std::span<const std::uint8_t> payload, std::vector<FrameSlice>& frames) const = 0;
  // Decodes one frame as SplitFrames cut it into pcm (which has room for its samples); returns the
  // samples written.
  virtual unsigned Decode(std::span<const std::uint8_t> frame, std::span<std::int16_t> pcm) = 0;
  // Makes up pcm.size() samples (at most a frame) for a frame that is missing; returns how many.
  virtual unsigned Conceal(std::span<std::int16_t> pcm) = 0;

  // The mean of the absolute sample values of the last frame coded, decoded or made up; 0 for
  // silence. Safe from any thread.
  unsigned GetAverageSignalLevel() const { return level_.load(std::memory_order_relaxed); }
  // Sets the level to that of silence (the channel sends or plays nothing).
  void ClearAverageSignalLevel() { level_.store(0, std::memory_order_relaxed); }

 protected:
  void UpdateLevel(std::span<const std::int16_t> samples);

 private:
  const Direction direction_;
  std::atomic<unsigned> level_{0};
};

// The codec of a static RTP payload type: 0 (G.711 mu-law), 8 (G.711 A-law), 4 (G.723.1),
// 18 (G.729A); nullptr for any other.
std::unique_ptr<H323AudioCodec> CreateAudioCodec(unsigned payloadType, H323AudioCodec::Direction direction);

}  // namespace vantro::codecs
