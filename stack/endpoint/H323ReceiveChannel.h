#pragma once
// Audio from the far end: the session hands each packet over on its thread, where it is cut into
// the codec's frames and put into the jitter buffer; the channel's thread takes the next piece the
// jitter buffer gives, decodes it or has the codec make it up, and writes it to the play device,
// which sets the pace. Paused, the channel goes on taking and decoding, and plays silence.

#include "stack/endpoint/H323AudioChannel.h"
#include "stack/rtp/JitterBuffer.h"

#include <vector>

namespace vantro::endpoint {

class H323ReceiveChannel : public H323AudioChannel {
 public:
  H323ReceiveChannel(std::shared_ptr<H323RtpUdpSession> session, const Parameters& parameters,
                     const MediaOptions& options, std::unique_ptr<codecs::H323AudioCodec> codec);
  ~H323ReceiveChannel() override;

  ChannelStatistics GetStatistics() const override;
  rtp::JitterBufferStatistics GetJitterBufferStatistics() const { return jitter_.GetStatistics(); }

 private:
  void Main() override;
  void OnStarting() override;
  void OnStopped() override;
  void OnPacket(const rtp::RtpPacket& packet, rtp::JitterBuffer::Clock::time_point arrival, bool newSource);
  std::unique_ptr<AudioSink> OpenSink();

  rtp::JitterBuffer jitter_;
  // On the session's thread only.
  std::vector<codecs::FrameSlice> slices_;
  std::vector<rtp::JitterBuffer::Frame> frames_;
};

}  // namespace vantro::endpoint
