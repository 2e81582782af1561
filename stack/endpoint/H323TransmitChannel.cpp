#include "stack/endpoint/H323TransmitChannel.h"

#include "runtime/PTrace.h"
#include "stack/endpoint/SilentAudioSource.h"
#include "stack/endpoint/SoundDeviceAudioSource.h"

#include <algorithm>

namespace vantro::endpoint {

namespace {

constexpr unsigned kLongestPacketSamples = 1920;  // 240 ms

}  // namespace

H323TransmitChannel::H323TransmitChannel(std::shared_ptr<H323RtpUdpSession> session, const Parameters& parameters,
                                         const MediaOptions& options, std::unique_ptr<codecs::H323AudioCodec> codec)
    : H323AudioChannel(std::move(session), parameters, options, std::move(codec)) {
  // The frames per packet count the capability's frames (1 ms ones for G.711); the packet holds
  // whole codec frames.
  const H323Capability& capability = *parameters_.capability;
  const unsigned frames = parameters_.framesPerPacket ? parameters_.framesPerPacket : capability.GetTxFramesInPacket();
  const unsigned frame = codec_->GetFrameSamples();
  const unsigned wanted = std::clamp(frames * capability.GetFrameSamples(), frame, kLongestPacketSamples);
  packetSamples_ = wanted / frame * frame;
}

H323TransmitChannel::~H323TransmitChannel() { Close(); }

std::unique_ptr<AudioSource> H323TransmitChannel::OpenSource() {
  if (options_.devices.openSource) return options_.devices.openSource(options_.recordDevice);
  return SoundDeviceAudioSource::Open(options_.recordDevice, packetSamples_);
}

void H323TransmitChannel::Main() {
  bool reported = false;
  std::unique_ptr<AudioSource> source = OpenSource();
  if (!source) {
    ReportOnce(reported, "no record device; sending silence");
    source = std::make_unique<SilentAudioSource>();
  }
  SetDeviceAbort([s = source.get()] { s->Abort(); });

  const unsigned frame = codec_->GetFrameSamples();
  std::vector<std::int16_t> pcm(packetSamples_);
  std::vector<std::uint8_t> payload;
  std::uint32_t timestamp = 0;
  bool marker = true;
  bool sendFailed = false;
  while (Running()) {
    if (!source->Read(pcm)) {
      if (!Running()) break;
      ReportOnce(reported, "the record device failed; sending silence");
      auto silence = std::make_unique<SilentAudioSource>();
      SetDeviceAbort([s = silence.get()] { s->Abort(); });
      source = std::move(silence);
      continue;
    }
    if (IsPaused()) {
      codec_->ClearAverageSignalLevel();
      marker = true;
    } else {
      payload.clear();
      bool coded = true;
      for (unsigned at = 0; at + frame <= pcm.size(); at += frame)
        coded = codec_->Encode(std::span<const std::int16_t>(pcm).subspan(at, frame), payload) && coded;
      if (coded && session_->GetRtp().SendData(payload, GetPayloadType(), timestamp, marker)) {
        marker = false;
      } else if (!sendFailed) {
        sendFailed = true;
        PTRACE(3, "Media", "channel " << GetNumber() << ": a packet was not sent (no far end address yet?)");
      }
    }
    timestamp += packetSamples_;
  }
  SetDeviceAbort(nullptr);
}

ChannelStatistics H323TransmitChannel::GetStatistics() const {
  const rtp::RtpSenderStatistics sent = session_->GetRtp().GetSenderStatistics();
  ChannelStatistics s;
  s.packets = sent.packets;
  s.octets = sent.octets;
  if (sent.farEndReport) s.jitterMs = sent.farEndReport->jitter * 1000.0 / 8000.0;
  s.averageLevel = codec_->GetAverageSignalLevel();
  return s;
}

}  // namespace vantro::endpoint
