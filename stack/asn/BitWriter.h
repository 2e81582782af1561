#pragma once
// Bit-level output for aligned PER: bit-fields most significant bit first, octet alignment, and
// the length determinants and whole numbers of X.691 clause 11.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vantro::asn {

class BitWriter {
 public:
  void Bits(std::uint64_t value, unsigned n);  // n <= 64
  void Bit(bool b) { Bits(b ? 1 : 0, 1); }
  void Align();
  void Octets(std::string_view bytes);  // at the current position (caller aligns)
  // Bits of a BIT STRING value at the current position.
  void BitField(std::string_view bytes, std::size_t nbits);

  // Constrained whole number v in 0..range-1 (range >= 1), X.691 11.5.7 (ALIGNED).
  void Constrained(std::uint64_t v, std::uint64_t range);
  // Normally small non-negative whole number (11.6).
  void SmallNumber(std::uint64_t v);
  // Normally small length 1..n (11.9.3.4): the extension bitmap size.
  void SmallLength(std::size_t n);
  // Unconstrained length below 16K (11.9.3.6/7), aligned.
  void Length(std::size_t n);
  // The minimal octets of a non-negative / two's complement number, with their length.
  void SemiConstrained(std::uint64_t v);
  void Unconstrained(std::int64_t v);

  std::size_t BitCount() const { return bits_; }
  std::vector<std::uint8_t>& Buffer() { return buf_; }
  // The complete encoding: padded to octets, at least one octet.
  std::vector<std::uint8_t> Finish();

 private:
  std::vector<std::uint8_t> buf_;
  std::size_t bits_ = 0;
};

unsigned BitsFor(std::uint64_t maxValue);  // bits to hold 0..maxValue
unsigned OctetsFor(std::uint64_t value);   // octets of value, at least one

}  // namespace vantro::asn
