#pragma once
// Audio towards the far end: the record device gives a packet's worth of samples at a time, the
// codec turns them into frames, the session sends them. The first packet, and the first after a
// pause, carries the marker bit; timestamps go on through a pause, as the samples do.

#include "stack/endpoint/H323AudioChannel.h"

namespace vantro::endpoint {

class H323TransmitChannel : public H323AudioChannel {
 public:
  H323TransmitChannel(std::shared_ptr<H323RtpUdpSession> session, const Parameters& parameters,
                      const MediaOptions& options, std::unique_ptr<codecs::H323AudioCodec> codec);
  ~H323TransmitChannel() override;

  ChannelStatistics GetStatistics() const override;
  // The samples of one packet.
  unsigned GetPacketSamples() const { return packetSamples_; }

 private:
  void Main() override;
  std::unique_ptr<AudioSource> OpenSource();

  unsigned packetSamples_;
};

}  // namespace vantro::endpoint
