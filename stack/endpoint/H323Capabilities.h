#pragma once
// The endpoint's capability table: the audio formats it offers and how they combine. Each entry
// stands in a capability descriptor, in one of its simultaneous sets (the alternatives of a set
// exclude each other; different sets may run at the same time).

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace vantro::endpoint {

// Asks SetCapability for a new descriptor or a new simultaneous set.
inline constexpr int kNewCapabilitySet = INT_MAX;

class H323Capability {
 public:
  virtual ~H323Capability() = default;
  virtual std::string GetFormatName() const = 0;
  virtual std::unique_ptr<H323Capability> Clone() const = 0;
};

// G.729 Annex A, 8 kbit/s.
class H323_G729ACapability : public H323Capability {
 public:
  std::string GetFormatName() const override { return "G.729A"; }
  std::unique_ptr<H323Capability> Clone() const override { return std::make_unique<H323_G729ACapability>(*this); }
};

// G.723.1 at 6.3 kbit/s; with Annex A the encoder may send silence frames.
class H323_G7231Capability : public H323Capability {
 public:
  explicit H323_G7231Capability(bool annexA = true) : annexA_(annexA) {}
  bool IsAnnexA() const { return annexA_; }
  std::string GetFormatName() const override { return annexA_ ? "G.723.1A" : "G.723.1"; }
  std::unique_ptr<H323Capability> Clone() const override { return std::make_unique<H323_G7231Capability>(*this); }

 private:
  bool annexA_;
};

// G.711 at 64 kbit/s, mu-law unless A-law is asked for.
class H323_G711Capability : public H323Capability {
 public:
  enum Mode { ALaw, muLaw };
  explicit H323_G711Capability(Mode mode = muLaw) : mode_(mode) {}
  Mode GetMode() const { return mode_; }
  std::string GetFormatName() const override { return mode_ == muLaw ? "G.711-uLaw-64k" : "G.711-ALaw-64k"; }
  std::unique_ptr<H323Capability> Clone() const override { return std::make_unique<H323_G711Capability>(*this); }

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

 private:
  std::vector<Entry> entries_;
};

}  // namespace vantro::endpoint
