// Datagrams on the RTP port, one after another (each: a length octet, then the datagram): each is
// a packet or a refusal; a packet's payload lies inside the datagram and survives a round trip;
// the sequence numbers of the packets taken feed the receiver's figures, which stay sane.
#include "stack/rtp/RtpPacket.h"
#include "stack/rtp/RtpSource.h"

#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantro::rtp;
  std::optional<RtpSource> source;
  std::int64_t arrival = 0;
  std::vector<std::uint8_t> out;
  for (std::size_t at = 0; at < size;) {
    const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
    const std::span<const std::uint8_t> datagram(data + at + 1, length);
    at += 1 + length;
    RtpPacket::Error error = RtpPacket::Error::None;
    const auto packet = RtpPacket::Parse(datagram, &error);
    if (!packet) {
      if (error == RtpPacket::Error::None) __builtin_trap();
      continue;
    }
    if (packet->payload.data() < datagram.data() ||
        packet->payload.data() + packet->payload.size() > datagram.data() + datagram.size())
      __builtin_trap();
    packet->Serialize(out);
    const auto back = RtpPacket::Parse(out);
    if (!back || back->sequence != packet->sequence || back->timestamp != packet->timestamp ||
        back->ssrc != packet->ssrc || back->payloadType != packet->payloadType || back->marker != packet->marker ||
        !std::equal(back->payload.begin(), back->payload.end(), packet->payload.begin(), packet->payload.end()))
      __builtin_trap();

    if (!source) source.emplace(packet->ssrc, packet->sequence, 1 + (packet->ssrc & 1));
    arrival += packet->payload.size() * 8;
    if (source->UpdateSequence(packet->sequence)) source->UpdateJitter(packet->timestamp, arrival);
    const RtcpReportBlock block = source->MakeReportBlock();
    if (source->GetJitter() < 0 || block.cumulativeLost < -0x800000 || block.cumulativeLost > 0x7fffff) __builtin_trap();
  }
  return 0;
}
