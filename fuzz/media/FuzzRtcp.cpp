// Datagrams on the RTCP port: a compound packet or a refusal that says why; what is read is
// written again and reads back the same.
#include "stack/rtp/RtcpCompound.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantro::rtp;
  RtcpCompound::Error error = RtcpCompound::Error::None;
  auto report = RtcpCompound::Parse(std::span(data, size), &error);
  if (!report) {
    if (error == RtcpCompound::Error::None) __builtin_trap();
    return 0;
  }
  if (report->reports.size() > size / 24) __builtin_trap();
  // We write at most 31 blocks and 31 leaving sources, and texts of up to 255 octets.
  if (report->reports.size() > 31) report->reports.resize(31);
  if (report->byeSources.size() > 31) report->byeSources.resize(31);
  if (report->cname.size() > 255) report->cname.resize(255);
  if (report->byeReason.size() > 255) report->byeReason.resize(255);
  if (report->bye && report->byeSources.empty()) report->byeSources.push_back(report->ssrc);
  std::vector<std::uint8_t> out;
  report->Serialize(out);
  const auto back = RtcpCompound::Parse(out);
  if (!back || out.size() % 4 != 0) __builtin_trap();
  if (back->ssrc != report->ssrc || back->sender != report->sender || back->reports != report->reports ||
      back->bye != report->bye || back->byeSources != report->byeSources || back->byeReason != report->byeReason ||
      back->cname != report->cname)
    __builtin_trap();
  return 0;
}
