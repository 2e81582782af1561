#include "stack/q931/Tpkt.h"

namespace vantro::q931 {

std::optional<std::vector<std::uint8_t>> TpktFrame(std::span<const std::uint8_t> payload) {
  if (payload.size() > kTpktMaxPayload) return std::nullopt;
  std::size_t total = payload.size() + kTpktHeader;
  std::vector<std::uint8_t> out;
  out.reserve(total);
  out.push_back(3);
  out.push_back(0);
  out.push_back(static_cast<std::uint8_t>(total >> 8));
  out.push_back(static_cast<std::uint8_t>(total & 0xff));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

void TpktReader::Feed(std::span<const std::uint8_t> bytes) {
  if (failed_) return;
  if (start_ > 0 && start_ == buf_.size()) {
    buf_.clear();
    start_ = 0;
  }
  buf_.insert(buf_.end(), bytes.begin(), bytes.end());
}

TpktReader::Status TpktReader::Next(std::vector<std::uint8_t>& payload) {
  for (;;) {
    if (failed_) return Status::Failed;
    if (Buffered() < kTpktHeader) break;
    const std::uint8_t* h = buf_.data() + start_;
    std::size_t total = static_cast<std::size_t>(h[2]) << 8 | h[3];
    if (h[0] != 3 || total < kTpktHeader) {
      failed_ = true;
      buf_.clear();
      start_ = 0;
      return Status::Failed;
    }
    if (Buffered() < total) break;
    payload.assign(h + kTpktHeader, h + total);
    start_ += total;
    if (payload.empty()) continue;  // keep-alive
    return Status::Packet;
  }
  // Drop what has been consumed so the buffer holds at most one partial packet.
  if (start_ > 0) {
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  return Status::NeedMore;
}

}  // namespace vantro::q931
