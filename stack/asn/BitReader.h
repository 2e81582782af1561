#pragma once
// Bit-level input for aligned PER. Every read is checked against the end of the input: a read
// past it fails and leaves the reader failed, so a decoder can check once after a few reads.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vantro::asn {

class BitReader {
 public:
  BitReader(std::span<const std::uint8_t> data) : data_(data), end_(data.size() * 8) {}

  bool Bits(unsigned n, std::uint64_t& out);  // n <= 64
  bool Bit(bool& out);
  bool Align();                                        // skips the padding up to the next octet
  bool Octets(std::size_t n, std::string& out);        // appends n octets at the current position
  bool BitField(std::size_t nbits, std::string& out);  // appends nbits bits, padded to octets
  bool Skip(std::size_t nbits);

  bool Constrained(std::uint64_t range, std::uint64_t& out);
  bool SmallNumber(std::uint64_t& out);
  bool SmallLength(std::size_t& out);
  // Length determinant: out is the count, fragment is set when it is a 16K..64K fragment that
  // more length determinants follow.
  bool Length(std::size_t& out, bool& fragment);
  bool SemiConstrained(std::uint64_t& out);
  bool Unconstrained(std::int64_t& out);

  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return end_ - pos_; }
  std::size_t BitSize() const { return end_; }
  // Whether the last failure was a malformed field rather than the end of the input.
  bool Malformed() const { return malformed_; }

 private:
  // The length (1 to 8 octets) of a semi-constrained or unconstrained whole number.
  bool NumberOctets(std::size_t& n);

  std::span<const std::uint8_t> data_;
  std::size_t end_;
  std::size_t pos_ = 0;
  bool malformed_ = false;
};

}  // namespace vantro::asn
