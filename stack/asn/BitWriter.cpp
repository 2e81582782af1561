#include "stack/asn/BitWriter.h"

namespace vantro::asn {

unsigned bitsFor(std::uint64_t maxValue) {
  unsigned n = 0;
  while (maxValue) {
    ++n;
    maxValue >>= 1;
  }
  return n;
}

unsigned octetsFor(std::uint64_t value) {
  unsigned n = 1;
  while (value > 0xff) {
    ++n;
    value >>= 8;
  }
  return n;
}

void BitWriter::bits(std::uint64_t value, unsigned n) {
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

void BitWriter::align() { bits_ = buf_.size() * 8; }

void BitWriter::octets(std::string_view bytes) {
  if (bits_ % 8 == 0) {
    buf_.insert(buf_.end(), bytes.begin(), bytes.end());
    bits_ += bytes.size() * 8;
    return;
  }
  for (char c : bytes) bits(static_cast<std::uint8_t>(c), 8);
}

void BitWriter::bitField(std::string_view bytes, std::size_t nbits) {
  std::size_t whole = nbits / 8;
  octets(bytes.substr(0, whole));
  if (nbits % 8) bits(static_cast<std::uint8_t>(bytes[whole]) >> (8 - nbits % 8), nbits % 8);
}

void BitWriter::constrained(std::uint64_t v, std::uint64_t range) {
  if (range <= 1) return;
  if (range <= 255) {
    bits(v, bitsFor(range - 1));
  } else if (range == 256) {
    align();
    bits(v, 8);
  } else if (range <= 65536) {
    align();
    bits(v, 16);
  } else {
    unsigned n = octetsFor(v);
    bits(n - 1, bitsFor(octetsFor(range - 1) - 1));
    align();
    bits(v, n * 8);
  }
}

void BitWriter::smallNumber(std::uint64_t v) {
  if (v <= 63) {
    bits(v, 7);
  } else {
    bit(true);
    semiConstrained(v);
  }
}

void BitWriter::smallLength(std::size_t n) {
  if (n <= 64) {
    bits(n - 1, 7);
  } else {
    bit(true);
    length(n);
  }
}

void BitWriter::length(std::size_t n) {
  align();
  if (n < 128)
    bits(n, 8);
  else
    bits(0x8000 | n, 16);
}

void BitWriter::semiConstrained(std::uint64_t v) {
  unsigned n = octetsFor(v);
  length(n);
  bits(v, n * 8);
}

void BitWriter::unconstrained(std::int64_t v) {
  unsigned n = 1;
  while (n < 8) {
    std::int64_t lo = -(std::int64_t(1) << (8 * n - 1)), hi = (std::int64_t(1) << (8 * n - 1)) - 1;
    if (v >= lo && v <= hi) break;
    ++n;
  }
  length(n);
  bits(static_cast<std::uint64_t>(v), n * 8);
}

std::vector<std::uint8_t> BitWriter::finish() {
  if (buf_.empty()) buf_.push_back(0);
  bits_ = buf_.size() * 8;
  return std::move(buf_);
}

}  // namespace vantro::asn
