#include "stack/endpoint/H323ReceiveChannel.h"

#include "stack/endpoint/DiscardAudioSink.h"
#include "stack/endpoint/SoundDeviceAudioSink.h"

#include <algorithm>
#include <cstdlib>

namespace vantro::endpoint {

namespace {

rtp::JitterBuffer::Settings JitterSettings(const MediaOptions& options, const codecs::H323AudioCodec& codec) {
  rtp::JitterBuffer::Settings s;
  s.minimumMs = options.jitterMinimumMs;
  s.maximumMs = options.jitterMaximumMs;
  s.frameSamples = codec.GetFrameSamples();
  return s;
}

unsigned MeanLevel(std::span<const std::int16_t> pcm) {
  if (pcm.empty()) return 0;
  std::uint64_t sum = 0;
  for (std::int16_t s : pcm) sum += static_cast<unsigned>(std::abs(static_cast<int>(s)));
  return static_cast<unsigned>(sum / pcm.size());
}

// Sound counts as quiet when it is far below the loudest of the last seconds, or near silence.
class QuietTracker {
 public:
  bool Update(unsigned level) {
    loud_ = std::max(loud_ - loud_ / 128, level);
    return level < 32 || level * 16 < loud_;
  }

 private:
  unsigned loud_ = 0;
};

}  // namespace

H323ReceiveChannel::H323ReceiveChannel(std::shared_ptr<H323RtpUdpSession> session, const Parameters& parameters,
                                       const MediaOptions& options, std::unique_ptr<codecs::H323AudioCodec> codec)
    : H323AudioChannel(std::move(session), parameters, options, std::move(codec)),
      jitter_(JitterSettings(options_, *codec_)) {}

H323ReceiveChannel::~H323ReceiveChannel() { Close(); }

void H323ReceiveChannel::OnStarting() {
  session_->GetRtp().SetDataHandler(
      GetPayloadType(),
      [this](const rtp::RtpPacket& packet, rtp::JitterBuffer::Clock::time_point arrival, bool newSource) {
        OnPacket(packet, arrival, newSource);
      },
      this);
}

// A channel that took this one's place on the session (the far end reopened its channel) keeps the
// packets.
void H323ReceiveChannel::OnStopped() { session_->GetRtp().ClearDataHandler(this); }

void H323ReceiveChannel::OnPacket(const rtp::RtpPacket& packet, rtp::JitterBuffer::Clock::time_point arrival,
                                  bool newSource) {
  slices_.clear();
  codec_->SplitFrames(packet.payload, slices_);
  frames_.clear();
  unsigned offset = 0;
  for (const codecs::FrameSlice& slice : slices_) {
    frames_.push_back(
        rtp::JitterBuffer::Frame{offset, slice.samples, packet.payload.subspan(slice.offset, slice.length)});
    offset += slice.samples;
  }
  jitter_.Put(packet.sequence, packet.timestamp, frames_, arrival, newSource);
}

std::unique_ptr<AudioSink> H323ReceiveChannel::OpenSink() {
  if (options_.devices.openSink) return options_.devices.openSink(options_.playDevice);
  return SoundDeviceAudioSink::Open(options_.playDevice);
}

void H323ReceiveChannel::Main() {
  bool reported = false;
  std::unique_ptr<AudioSink> sink =
      UseDevice<DiscardAudioSink>(OpenSink(), reported, "no play device; the far end's audio is dropped");

  std::vector<std::int16_t> pcm(codec_->GetFrameSamples());
  std::vector<std::uint8_t> bytes;
  QuietTracker quiet;
  bool wasQuiet = true;
  while (Running()) {
    const rtp::JitterBuffer::Output out = jitter_.Read(rtp::JitterBuffer::Clock::now(), wasQuiet, bytes);
    if (pcm.size() < out.samples) pcm.resize(out.samples);
    const std::span<std::int16_t> piece(pcm.data(), out.samples);
    unsigned made = 0;
    if (out.kind == rtp::JitterBuffer::Output::Play)
      made = codec_->Decode(bytes, piece);
    else if (out.kind == rtp::JitterBuffer::Output::Missing)
      made = codec_->Conceal(piece);
    else
      codec_->ClearAverageSignalLevel();
    std::fill(piece.begin() + std::min<std::size_t>(made, piece.size()), piece.end(), std::int16_t(0));
    if (out.discard) continue;
    wasQuiet = quiet.Update(MeanLevel(piece));
    if (IsPaused()) {
      std::fill(piece.begin(), piece.end(), std::int16_t(0));
      codec_->ClearAverageSignalLevel();
    }
    if (!sink->Write(piece)) {
      if (!Running()) break;
      sink = UseDevice<DiscardAudioSink>(std::unique_ptr<AudioSink>(), reported,
                                         "the play device failed; the far end's audio is dropped");
    }
  }
  SetDeviceAbort(nullptr);
}

ChannelStatistics H323ReceiveChannel::GetStatistics() const {
  const rtp::RtpReceiverStatistics received = session_->GetRtp().GetReceiverStatistics();
  const rtp::JitterBufferStatistics buffered = jitter_.GetStatistics();
  ChannelStatistics s;
  s.packets = received.packets;
  s.octets = received.octets;
  s.packetsLost = static_cast<std::uint64_t>(std::max<std::int64_t>(received.lost, 0));
  s.packetsLate = buffered.packetsLate;
  s.packetsDuplicate = buffered.packetsDuplicate;
  s.packetsDropped = received.Dropped();
  s.framesConcealed = buffered.framesConcealed;
  s.jitterMs = received.jitterMs;
  s.jitterBufferMs = buffered.currentDelayMs;
  s.averageLevel = codec_->GetAverageSignalLevel();
  return s;
}

}  // namespace vantro::endpoint
