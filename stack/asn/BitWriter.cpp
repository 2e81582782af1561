#include "stack/asn/BitWriter.h"

namespace vantro::asn {

unsigned BitsFor(std::uint64_t maxValue) {
  unsigned n = 0;
  while (maxValue) {
    ++n;
    maxValue >>= 1;
  }
  return n;
}

unsigned OctetsFor(std::uint64_t value) {
  unsigned n = 1;
  while (value > 0xff) {
    ++n;
    value >>= 8;
  }
  return n;
}

void BitWriter::Bits(std::uint64_t value, unsigned n) {
  while (n > 0) {
    unsigned used = bits_ % 8;
    if (used == 0) buf_.push_back(0);
    unsigned space = 8 - used;
    unsigned k = n < space ? n : space;
    auto chunk = static_cast<std::uint8_t>((value >> (n - k)) & ((1u << k) - 1));
    buf_.back() = static_cast<std::uint8_t>(buf_.back() | (chunk << (space - k)));
    bits_ += k;
    n -= k;
  }
}

void BitWriter::Align() { bits_ = buf_.size() * 8; }

void BitWriter::Octets(std::string_view bytes) {
  if (bits_ % 8 == 0) {
    buf_.insert(buf_.end(), bytes.begin(), bytes.end());
    bits_ += bytes.size() * 8;
    return;
  }
  for (char c : bytes) Bits(static_cast<std::uint8_t>(c), 8);
}

void BitWriter::BitField(std::string_view bytes, std::size_t nbits) {
  std::size_t whole = nbits / 8;
  Octets(bytes.substr(0, whole));
  if (nbits % 8) Bits(static_cast<std::uint8_t>(bytes[whole]) >> (8 - nbits % 8), nbits % 8);
}

void BitWriter::Constrained(std::uint64_t v, std::uint64_t range) {
  if (range <= 1) return;
  if (range <= 255) {
    Bits(v, BitsFor(range - 1));
  } else if (range == 256) {
    Align();
    Bits(v, 8);
  } else if (range <= 65536) {
    Align();
    Bits(v, 16);
  } else {
    unsigned n = OctetsFor(v);
    Bits(n - 1, BitsFor(OctetsFor(range - 1) - 1));
    Align();
    Bits(v, n * 8);
  }
}

void BitWriter::SmallNumber(std::uint64_t v) {
  if (v <= 63) {
    Bits(v, 7);
  } else {
    Bit(true);
    SemiConstrained(v);
  }
}

void BitWriter::SmallLength(std::size_t n) {
  if (n <= 64) {
    Bits(n - 1, 7);
  } else {
    Bit(true);
    Length(n);
  }
}

void BitWriter::Length(std::size_t n) {
  Align();
  if (n < 128)
    Bits(n, 8);
  else
    Bits(0x8000 | n, 16);
}

void BitWriter::SemiConstrained(std::uint64_t v) {
  unsigned n = OctetsFor(v);
  Length(n);
  Bits(v, n * 8);
}

void BitWriter::Unconstrained(std::int64_t v) {
  unsigned n = 1;
  while (n < 8) {
    std::int64_t lo = -(std::int64_t(1) << (8 * n - 1)), hi = (std::int64_t(1) << (8 * n - 1)) - 1;
    if (v >= lo && v <= hi) break;
    ++n;
  }
  Length(n);
  Bits(static_cast<std::uint64_t>(v), n * 8);
}

std::vector<std::uint8_t> BitWriter::Finish() {
  if (buf_.empty()) buf_.push_back(0);
  bits_ = buf_.size() * 8;
  return std::move(buf_);
}

}  // namespace vantro::asn
