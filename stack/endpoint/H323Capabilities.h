#pragma once
// The endpoint's capability table: the audio formats it offers and how they combine. Each entry
// stands in a capability descriptor, in one of its simultaneous sets (the alternatives of a set
// exclude each other; different sets may run at the same time).
//
// Each capability knows its H.245 form (an AudioCapability value) both ways: what we put in a
// TerminalCapabilitySet, an OpenLogicalChannel or a fast start proposal, and whether a value a peer
// sent names the same format and with how many frames per packet.

#include "stack/asn/Value.h"

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace vantro::endpoint {

// Asks SetCapability for a new descriptor or a new simultaneous set.
inline constexpr int kNewCapabilitySet = INT_MAX;

class H323Capability {
 public:
  // Receive: what we can take (TerminalCapabilitySet, receive proposals of fast start): the most
  // frames per packet we accept. Transmit: what we send (OpenLogicalChannel, transmit proposals):
  // the frames per packet we put in each packet.
  enum class Direction { Receive, Transmit };

  virtual ~H323Capability() = default;
  virtual std::string GetFormatName() const = 0;
  virtual std::unique_ptr<H323Capability> Clone() const = 0;

  // The H.245 AudioCapability value (a value of type h245::AudioCapability). framesPerPacket 0
  // stands for the default of the direction.
  virtual asn::Value GetAudioCapability(Direction direction, unsigned framesPerPacket = 0) const = 0;
  // Whether an AudioCapability value (of any frame count) names this format.
  virtual bool IsMatch(const asn::Value& audioCapability) const = 0;
  // The frames per packet that a matching value carries.
  virtual unsigned GetFramesInPacket(const asn::Value& audioCapability) const = 0;

  // The defaults: what we accept at most, and what we send when the far end takes that many.
  virtual unsigned GetRxFramesInPacket() const = 0;
  virtual unsigned GetTxFramesInPacket() const = 0;
  // Samples (at 8000 per second) in one frame, as the frame counts of the H.245 value count them.
  virtual unsigned GetFrameSamples() const = 0;
  // The static RTP payload type of the format.
  virtual unsigned GetPayloadType() const = 0;
};

// G.729 Annex A, 8 kbit/s: 10 ms frames of 10 octets. Matches g729AnnexA and g729 (a G.729A
// decoder reads G.729, and a G.729 decoder reads G.729A).
class H323_G729ACapability : public H323Capability {
 public:
  std::string GetFormatName() const override { return "G.729A"; }
  std::unique_ptr<H323Capability> Clone() const override { return std::make_unique<H323_G729ACapability>(*this); }
  asn::Value GetAudioCapability(Direction direction, unsigned framesPerPacket = 0) const override;
  bool IsMatch(const asn::Value& audioCapability) const override;
  unsigned GetFramesInPacket(const asn::Value& audioCapability) const override;
  unsigned GetRxFramesInPacket() const override { return 6; }
  unsigned GetTxFramesInPacket() const override { return 2; }
  unsigned GetFrameSamples() const override { return 80; }
  unsigned GetPayloadType() const override { return 18; }
};

// G.723.1 at 6.3 kbit/s: 30 ms frames of 24 octets; with Annex A the encoder may send silence
// frames (silenceSuppression).
class H323_G7231Capability : public H323Capability {
 public:
  explicit H323_G7231Capability(bool annexA = true) : annexA_(annexA) {}
  bool IsAnnexA() const { return annexA_; }
  std::string GetFormatName() const override { return annexA_ ? "G.723.1A" : "G.723.1"; }
  std::unique_ptr<H323Capability> Clone() const override { return std::make_unique<H323_G7231Capability>(*this); }
  asn::Value GetAudioCapability(Direction direction, unsigned framesPerPacket = 0) const override;
  bool IsMatch(const asn::Value& audioCapability) const override;
  unsigned GetFramesInPacket(const asn::Value& audioCapability) const override;
  unsigned GetRxFramesInPacket() const override { return 4; }
  unsigned GetTxFramesInPacket() const override { return 1; }
  unsigned GetFrameSamples() const override { return 240; }
  unsigned GetPayloadType() const override { return 4; }

 private:
  bool annexA_;
};

// G.711 at 64 kbit/s, mu-law unless A-law is asked for. H.245 counts its packets in frames of
// 1 ms (8 samples); we send 20 ms packets.
class H323_G711Capability : public H323Capability {
 public:
  enum Mode { ALaw, muLaw };
  explicit H323_G711Capability(Mode mode = muLaw) : mode_(mode) {}
  Mode GetMode() const { return mode_; }
  std::string GetFormatName() const override { return mode_ == muLaw ? "G.711-uLaw-64k" : "G.711-ALaw-64k"; }
  std::unique_ptr<H323Capability> Clone() const override { return std::make_unique<H323_G711Capability>(*this); }
  asn::Value GetAudioCapability(Direction direction, unsigned framesPerPacket = 0) const override;
  bool IsMatch(const asn::Value& audioCapability) const override;
  unsigned GetFramesInPacket(const asn::Value& audioCapability) const override;
  unsigned GetRxFramesInPacket() const override { return 30; }
  unsigned GetTxFramesInPacket() const override { return 20; }
  unsigned GetFrameSamples() const override { return 8; }
  unsigned GetPayloadType() const override { return mode_ == muLaw ? 0 : 8; }

 private:
  Mode mode_;
};

class H323Capabilities {
 public:
  struct Entry {
    std::shared_ptr<const H323Capability> capability;
    int descriptor = 0;
    int simultaneous = 0;
  };

  // Puts capability into descriptor descriptorNum (kNewCapabilitySet: a new one), simultaneous set
  // simultaneousNum of it (kNewCapabilitySet: a new one); numbers beyond the existing ones make a
  // new descriptor or set. Returns the simultaneous set used.
  int SetCapability(int descriptorNum, int simultaneousNum, std::unique_ptr<H323Capability> capability);
  void RemoveAll() { entries_.clear(); }

  std::size_t GetSize() const { return entries_.size(); }
  const std::vector<Entry>& Entries() const { return entries_; }
  // The format names, descriptor by descriptor, set by set.
  std::vector<std::vector<std::vector<std::string>>> Descriptors() const;
  // The first entry (in table order) whose capability matches an AudioCapability value, or null.
  std::shared_ptr<const H323Capability> FindMatch(const asn::Value& audioCapability) const;

 private:
  std::vector<Entry> entries_;
};

}  // namespace vantro::endpoint
