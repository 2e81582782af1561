#include "stack/endpoint/H323Capabilities.h"

#include "stack/asn/generated/H245.h"

#include <algorithm>
#include <cstdint>

namespace vantro::endpoint {

int H323Capabilities::SetCapability(int descriptorNum, int simultaneousNum,
                                    std::unique_ptr<H323Capability> capability) {
  int descriptors = 0;
  for (const Entry& e : entries_) descriptors = std::max(descriptors, e.descriptor + 1);
  if (descriptorNum < 0 || descriptorNum >= descriptors) descriptorNum = descriptors;
  int sets = 0;
  for (const Entry& e : entries_)
    if (e.descriptor == descriptorNum) sets = std::max(sets, e.simultaneous + 1);
  if (simultaneousNum < 0 || simultaneousNum >= sets) simultaneousNum = sets;
  entries_.push_back(
      Entry{std::shared_ptr<const H323Capability>(std::move(capability)), descriptorNum, simultaneousNum});
  return simultaneousNum;
}

std::vector<std::vector<std::vector<std::string>>> H323Capabilities::Descriptors() const {
  std::vector<std::vector<std::vector<std::string>>> out;
  for (const Entry& e : entries_) {
    if (out.size() <= static_cast<std::size_t>(e.descriptor)) out.resize(e.descriptor + 1);
    auto& sets = out[e.descriptor];
    if (sets.size() <= static_cast<std::size_t>(e.simultaneous)) sets.resize(e.simultaneous + 1);
    sets[e.simultaneous].push_back(e.capability->GetFormatName());
  }
  return out;
}

std::shared_ptr<const H323Capability> H323Capabilities::FindMatch(const asn::Value& audioCapability) const {
  for (const Entry& e : entries_)
    if (e.capability->IsMatch(audioCapability)) return e.capability;
  return nullptr;
}

namespace {

using Audio = asn::h245::AudioCapability;

unsigned FramesOr(unsigned framesPerPacket, unsigned fallback) {
  return std::clamp(framesPerPacket == 0 ? fallback : framesPerPacket, 1u, 256u);
}

bool IsAudio(const asn::Value& v) { return v.Type() == Audio::Id && v.Kind() == asn::Kind::Choice; }

}  // namespace

// --- G.729A ---

asn::Value H323_G729ACapability::GetAudioCapability(Direction direction, unsigned framesPerPacket) const {
  asn::Value v(Audio::Id);
  const unsigned fallback = direction == Direction::Receive ? GetRxFramesInPacket() : GetTxFramesInPacket();
  v.Select(Audio::g729AnnexA).SetInteger(FramesOr(framesPerPacket, fallback));
  return v;
}

bool H323_G729ACapability::IsMatch(const asn::Value& a) const {
  return IsAudio(a) && (a.Is(Audio::g729AnnexA) || a.Is(Audio::g729));
}

unsigned H323_G729ACapability::GetFramesInPacket(const asn::Value& a) const {
  if (!IsMatch(a)) return 0;
  return static_cast<unsigned>(std::clamp<std::int64_t>(a.Alternative().Integer(), 1, 256));
}

// --- G.723.1 ---

asn::Value H323_G7231Capability::GetAudioCapability(Direction direction, unsigned framesPerPacket) const {
  asn::Value v(Audio::Id);
  const unsigned fallback = direction == Direction::Receive ? GetRxFramesInPacket() : GetTxFramesInPacket();
  asn::Value& g = v.Select(Audio::g7231);
  g.Field(asn::h245::AudioCapability_g7231::maxAl_sduAudioFrames).SetInteger(FramesOr(framesPerPacket, fallback));
  g.Field(asn::h245::AudioCapability_g7231::silenceSuppression).SetBoolean(annexA_);
  return v;
}

bool H323_G7231Capability::IsMatch(const asn::Value& a) const { return IsAudio(a) && a.Is(Audio::g7231); }

unsigned H323_G7231Capability::GetFramesInPacket(const asn::Value& a) const {
  if (!IsMatch(a)) return 0;
  const asn::Value* frames = a.Alternative().Get(asn::h245::AudioCapability_g7231::maxAl_sduAudioFrames);
  return frames ? static_cast<unsigned>(std::clamp<std::int64_t>(frames->Integer(), 1, 256)) : 1;
}

// --- G.711 ---

asn::Value H323_G711Capability::GetAudioCapability(Direction direction, unsigned framesPerPacket) const {
  asn::Value v(Audio::Id);
  const unsigned fallback = direction == Direction::Receive ? GetRxFramesInPacket() : GetTxFramesInPacket();
  v.Select(mode_ == muLaw ? Audio::g711Ulaw64k : Audio::g711Alaw64k).SetInteger(FramesOr(framesPerPacket, fallback));
  return v;
}

bool H323_G711Capability::IsMatch(const asn::Value& a) const {
  return IsAudio(a) && a.Is(mode_ == muLaw ? Audio::g711Ulaw64k : Audio::g711Alaw64k);
}

unsigned H323_G711Capability::GetFramesInPacket(const asn::Value& a) const {
  if (!IsMatch(a)) return 0;
  return static_cast<unsigned>(std::clamp<std::int64_t>(a.Alternative().Integer(), 1, 256));
}

}  // namespace vantro::endpoint
