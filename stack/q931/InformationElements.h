#pragma once
// Typed forms of the Q.931 information elements that H.225.0 call signalling uses. Each reads
// from and writes to the contents octets of its element (identifier and length excluded).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vantro::q931 {

struct BearerCapability {
  enum : std::uint8_t { Speech = 0x00, UnrestrictedDigital = 0x08, Audio3k1 = 0x10, Video = 0x18 };
  enum : std::uint8_t { Rate64k = 0x10, RateMulti = 0x18 };
  enum : std::uint8_t { Layer1Mulaw = 0x02, Layer1Alaw = 0x03, Layer1H221 = 0x05 };

  std::uint8_t codingStandard = 0;  // 0: ITU-T
  std::uint8_t transferCapability = UnrestrictedDigital;
  std::uint8_t transferMode = 0;  // 0: circuit
  std::uint8_t transferRate = Rate64k;
  std::optional<std::uint8_t> rateMultiplier;  // with RateMulti
  std::optional<std::uint8_t> layer1Protocol;
  std::vector<std::uint8_t> more;  // octets after layer 1, as they came

  static BearerCapability speech() { return {0, Speech, 0, Rate64k, std::nullopt, Layer1Mulaw, {}}; }
  static BearerCapability Digital() { return {0, UnrestrictedDigital, 0, Rate64k, std::nullopt, Layer1H221, {}}; }

  static std::optional<BearerCapability> Decode(std::span<const std::uint8_t> c);
  std::vector<std::uint8_t> Encode() const;
  bool operator==(const BearerCapability&) const = default;
};

struct Cause {
  enum : std::uint8_t {
    NormalCallClearing = 16,
    UserBusy = 17,
    NoAnswer = 19,
    CallRejected = 21,
    NumberChanged = 22,
    InvalidNumberFormat = 28,
    NormalUnspecified = 31,
    NoCircuitAvailable = 34,
    TemporaryFailure = 41,
  };
  std::uint8_t codingStandard = 0;
  std::uint8_t location = 0;  // 0: user
  std::uint8_t value = NormalCallClearing;
  std::vector<std::uint8_t> diagnostics;

  static std::optional<Cause> Decode(std::span<const std::uint8_t> c);
  std::vector<std::uint8_t> Encode() const;
  bool operator==(const Cause&) const = default;
};

struct ProgressIndicator {
  enum : std::uint8_t { NotEndToEndIsdn = 1, DestinationNotIsdn = 2, OriginNotIsdn = 3, InbandAvailable = 8 };
  std::uint8_t codingStandard = 0;
  std::uint8_t location = 0;
  std::uint8_t description = InbandAvailable;

  static std::optional<ProgressIndicator> Decode(std::span<const std::uint8_t> c);
  std::vector<std::uint8_t> Encode() const;
  bool operator==(const ProgressIndicator&) const = default;
};

// Calling or called party number. Presentation and screening belong to the calling number only.
struct PartyNumber {
  std::uint8_t typeOfNumber = 0;   // 0: unknown, 1: international, 2: national, 4: subscriber
  std::uint8_t numberingPlan = 1;  // 1: ISDN/telephony (E.164), 9: private
  std::optional<std::uint8_t> presentation;
  std::optional<std::uint8_t> screening;
  std::string digits;

  static std::optional<PartyNumber> Decode(std::span<const std::uint8_t> c);
  std::vector<std::uint8_t> Encode() const;
  bool operator==(const PartyNumber&) const = default;
};

}  // namespace vantro::q931
