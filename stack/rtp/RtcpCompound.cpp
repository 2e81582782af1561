#include "stack/rtp/RtcpCompound.h"

#include <algorithm>

namespace vantro::rtp {

namespace {

std::uint32_t Read32(std::span<const std::uint8_t> d, std::size_t at) {
  return std::uint32_t(d[at]) << 24 | std::uint32_t(d[at + 1]) << 16 | std::uint32_t(d[at + 2]) << 8 | d[at + 3];
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::optional<RtcpCompound> Fail(RtcpCompound::Error why, RtcpCompound::Error* error) {
  if (error) *error = why;
  return std::nullopt;
}

constexpr std::size_t kReportBlockSize = 24;
constexpr std::size_t kSenderInfoSize = 20;

RtcpReportBlock ReadBlock(std::span<const std::uint8_t> d, std::size_t at) {
  RtcpReportBlock b;
  b.ssrc = Read32(d, at);
  b.fractionLost = d[at + 4];
  std::int32_t lost = static_cast<std::int32_t>(std::uint32_t(d[at + 5]) << 16 | std::uint32_t(d[at + 6]) << 8 | d[at + 7]);
  if (lost & 0x800000) lost -= 0x1000000;
  b.cumulativeLost = lost;
  b.highestSequence = Read32(d, at + 8);
  b.jitter = Read32(d, at + 12);
  b.lastSenderReport = Read32(d, at + 16);
  b.delaySinceLastSenderReport = Read32(d, at + 20);
  return b;
}

// Reads the CNAME items of an SDES packet's chunks (body: after the 4-octet header); keeps the one
// of the reporting source, or the first one when the report has not named its source.
void ReadSourceDescription(std::span<const std::uint8_t> body, unsigned chunks, RtcpCompound& c, bool haveReport) {
  std::size_t at = 0;
  for (unsigned i = 0; i < chunks && at + 4 <= body.size(); ++i) {
    const std::uint32_t source = Read32(body, at);
    at += 4;
    while (at < body.size() && body[at] != 0) {
      if (at + 2 > body.size()) return;
      const std::size_t length = body[at + 1];
      if (at + 2 + length > body.size()) return;
      if (body[at] == 1 && (!haveReport || source == c.ssrc) && c.cname.empty())
        c.cname.assign(reinterpret_cast<const char*>(&body[at + 2]), length);
      at += 2 + length;
    }
    at = (at + 4) & ~std::size_t(3);  // past the end item and the chunk's padding
  }
}

}  // namespace

std::optional<RtcpCompound> RtcpCompound::Parse(std::span<const std::uint8_t> d, Error* error) {
  if (d.size() < 8) return Fail(Error::TooShort, error);
  RtcpCompound c;
  bool first = true;
  std::size_t at = 0;
  while (at < d.size()) {
    if (d.size() - at < 4) return Fail(Error::BadLength, error);
    if ((d[at] >> 6) != 2) return Fail(Error::NotVersion2, error);
    const bool padded = d[at] & 0x20;
    const unsigned count = d[at] & 0x1f;
    const std::uint8_t type = d[at + 1];
    const std::size_t size = (std::size_t(d[at + 2]) << 8 | d[at + 3]) * 4 + 4;
    if (size > d.size() - at) return Fail(Error::BadLength, error);
    if (first && type != kRtcpSenderReport && type != kRtcpReceiverReport) return Fail(Error::NotAReportFirst, error);
    std::size_t bodySize = size - 4;
    if (padded) {
      if (at + size != d.size()) return Fail(Error::BadPadding, error);
      const std::size_t pad = d[at + size - 1];
      if (pad == 0 || pad > bodySize) return Fail(Error::BadPadding, error);
      bodySize -= pad;
    }
    const auto body = d.subspan(at + 4, bodySize);

    if (type == kRtcpSenderReport || type == kRtcpReceiverReport) {
      const std::size_t info = type == kRtcpSenderReport ? kSenderInfoSize : 0;
      if (body.size() < 4 + info + count * kReportBlockSize) return Fail(Error::BadLength, error);
      if (first) {
        c.ssrc = Read32(body, 0);
        if (info) {
          RtcpSenderInfo s;
          s.ntpTimestamp = std::uint64_t(Read32(body, 4)) << 32 | Read32(body, 8);
          s.rtpTimestamp = Read32(body, 12);
          s.packetCount = Read32(body, 16);
          s.octetCount = Read32(body, 20);
          c.sender = s;
        }
      }
      for (unsigned i = 0; i < count; ++i) c.reports.push_back(ReadBlock(body, 4 + info + i * kReportBlockSize));
    } else if (type == kRtcpSourceDescription) {
      ReadSourceDescription(body, count, c, !first);
    } else if (type == kRtcpBye) {
      if (body.size() < count * 4) return Fail(Error::BadLength, error);
      c.bye = true;
      for (unsigned i = 0; i < count; ++i) c.byeSources.push_back(Read32(body, i * 4));
      const std::size_t reason = count * 4;
      if (reason < body.size()) {
        const std::size_t length = std::min<std::size_t>(body[reason], body.size() - reason - 1);
        c.byeReason.assign(reinterpret_cast<const char*>(&body[reason + 1]), length);
      }
    }
    first = false;
    at += size;
  }
  if (error) *error = Error::None;
  return c;
}

void RtcpCompound::Serialize(std::vector<std::uint8_t>& out) const {
  out.clear();
  // Writes a part's header with a length to fill in when the part is complete.
  auto begin = [&out](unsigned count, std::uint8_t type) {
    const std::size_t at = out.size();
    out.push_back(static_cast<std::uint8_t>(0x80 | (count & 0x1f)));
    out.push_back(type);
    out.push_back(0);
    out.push_back(0);
    return at;
  };
  auto end = [&out](std::size_t at) {
    while ((out.size() - at) % 4) out.push_back(0);
    const std::size_t words = (out.size() - at) / 4 - 1;
    out[at + 2] = static_cast<std::uint8_t>(words >> 8);
    out[at + 3] = static_cast<std::uint8_t>(words);
  };

  const std::size_t blocks = std::min<std::size_t>(reports.size(), 31);
  std::size_t at = begin(static_cast<unsigned>(blocks), sender ? kRtcpSenderReport : kRtcpReceiverReport);
  Put32(out, ssrc);
  if (sender) {
    Put32(out, static_cast<std::uint32_t>(sender->ntpTimestamp >> 32));
    Put32(out, static_cast<std::uint32_t>(sender->ntpTimestamp));
    Put32(out, sender->rtpTimestamp);
    Put32(out, sender->packetCount);
    Put32(out, sender->octetCount);
  }
  for (std::size_t i = 0; i < blocks; ++i) {
    const RtcpReportBlock& b = reports[i];
    Put32(out, b.ssrc);
    const std::int32_t lost = std::clamp<std::int32_t>(b.cumulativeLost, -0x800000, 0x7fffff);
    Put32(out, std::uint32_t(b.fractionLost) << 24 | (static_cast<std::uint32_t>(lost) & 0xffffff));
    Put32(out, b.highestSequence);
    Put32(out, b.jitter);
    Put32(out, b.lastSenderReport);
    Put32(out, b.delaySinceLastSenderReport);
  }
  end(at);

  at = begin(1, kRtcpSourceDescription);
  Put32(out, ssrc);
  const std::size_t length = std::min<std::size_t>(cname.size(), 255);
  out.push_back(1);
  out.push_back(static_cast<std::uint8_t>(length));
  out.insert(out.end(), cname.begin(), cname.begin() + static_cast<std::ptrdiff_t>(length));
  out.push_back(0);  // end of the item list; the chunk is padded to a word with more zeros
  end(at);

  if (bye) {
    const std::vector<std::uint32_t> sources = byeSources.empty() ? std::vector<std::uint32_t>{ssrc} : byeSources;
    const std::size_t n = std::min<std::size_t>(sources.size(), 31);
    at = begin(static_cast<unsigned>(n), kRtcpBye);
    for (std::size_t i = 0; i < n; ++i) Put32(out, sources[i]);
    if (!byeReason.empty()) {
      const std::size_t r = std::min<std::size_t>(byeReason.size(), 255);
      out.push_back(static_cast<std::uint8_t>(r));
      out.insert(out.end(), byeReason.begin(), byeReason.begin() + static_cast<std::ptrdiff_t>(r));
    }
    end(at);
  }
}

}  // namespace vantro::rtp
