#include "stack/asn/generated/H245.h"
#include "stack/h245/H245Control.h"

#include <set>

namespace vantro::h245 {

namespace h245 = asn::h245;

std::vector<asn::Value> RemoteCapabilities::ReceiveAudio() const {
  // Entries that no descriptor names cannot be used; a far end that sends no descriptors at all
  // is taken to allow its whole table.
  std::set<unsigned> usable;
  for (const auto& sets : descriptors)
    for (const auto& alternatives : sets) usable.insert(alternatives.begin(), alternatives.end());
  std::vector<asn::Value> out;
  for (const Entry& e : table) {
    if (!descriptors.empty() && !usable.count(e.number)) continue;
    const asn::Value& c = e.capability;
    if (c.Type() != h245::Capability::Id) continue;
    if (c.Is(h245::Capability::receiveAudioCapability) || c.Is(h245::Capability::receiveAndTransmitAudioCapability))
      out.push_back(c.Alternative());
  }
  return out;
}

std::optional<RemoteCapabilities::Match> RemoteCapabilities::FirstCommon(const endpoint::H323Capabilities& ours) const {
  const std::vector<asn::Value> theirs = ReceiveAudio();
  for (const auto& entry : ours.Entries())
    for (const asn::Value& audio : theirs)
      if (entry.capability->IsMatch(audio)) return Match{entry.capability, audio};
  return std::nullopt;
}

}  // namespace vantro::h245
