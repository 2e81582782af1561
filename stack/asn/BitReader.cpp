#include "stack/asn/BitReader.h"

#include "stack/asn/BitWriter.h"

namespace vantro::asn {

bool BitReader::Bits(unsigned n, std::uint64_t& out) {
  out = 0;
  if (n > Remaining()) {
    malformed_ = false;
    return false;
  }
  while (n > 0) {
    unsigned used = pos_ % 8;
    unsigned avail = 8 - used;
    unsigned k = n < avail ? n : avail;
    unsigned byte = data_[pos_ / 8];
    out = (out << k) | ((byte >> (avail - k)) & ((1u << k) - 1));
    pos_ += k;
    n -= k;
  }
  return true;
}

bool BitReader::Bit(bool& out) {
  std::uint64_t v;
  if (!Bits(1, v)) return false;
  out = v != 0;
  return true;
}

bool BitReader::Align() {
  std::size_t next = (pos_ + 7) / 8 * 8;
  if (next > end_) {
    malformed_ = false;
    return false;
  }
  pos_ = next;
  return true;
}

bool BitReader::Skip(std::size_t nbits) {
  if (nbits > Remaining()) {
    malformed_ = false;
    return false;
  }
  pos_ += nbits;
  return true;
}

bool BitReader::Octets(std::size_t n, std::string& out) {
  if (n > Remaining() / 8) {
    malformed_ = false;
    return false;
  }
  if (pos_ % 8 == 0) {
    out.append(reinterpret_cast<const char*>(data_.data()) + pos_ / 8, n);
    pos_ += n * 8;
    return true;
  }
  for (std::size_t i = 0; i < n; ++i) {
    std::uint64_t v;
    Bits(8, v);
    out += static_cast<char>(v);
  }
  return true;
}

bool BitReader::BitField(std::size_t nbits, std::string& out) {
  if (nbits > Remaining()) {
    malformed_ = false;
    return false;
  }
  Octets(nbits / 8, out);
  if (nbits % 8) {
    std::uint64_t v;
    Bits(static_cast<unsigned>(nbits % 8), v);
    out += static_cast<char>(v << (8 - nbits % 8));
  }
  return true;
}

bool BitReader::Constrained(std::uint64_t range, std::uint64_t& out) {
  out = 0;
  if (range <= 1) return true;
  if (range <= 255) return Bits(BitsFor(range - 1), out);
  if (range == 256) return Align() && Bits(8, out);
  if (range <= 65536) return Align() && Bits(16, out);
  std::uint64_t n;
  if (!Bits(BitsFor(OctetsFor(range - 1) - 1), n) || !Align()) return false;
  return Bits(static_cast<unsigned>(n + 1) * 8, out);
}

bool BitReader::SmallNumber(std::uint64_t& out) {
  bool large;
  if (!Bit(large)) return false;
  if (!large) return Bits(6, out);
  return SemiConstrained(out);
}

bool BitReader::SmallLength(std::size_t& out) {
  bool large;
  if (!Bit(large)) return false;
  std::uint64_t v;
  if (!large) {
    if (!Bits(6, v)) return false;
    out = v + 1;
    return true;
  }
  bool fragment;
  if (!Length(out, fragment)) return false;
  if (fragment || out == 0) {
    malformed_ = true;
    return false;
  }
  return true;
}

bool BitReader::Length(std::size_t& out, bool& fragment) {
  fragment = false;
  std::uint64_t b;
  if (!Align() || !Bits(8, b)) return false;
  if ((b & 0x80) == 0) {
    out = b;
  } else if ((b & 0x40) == 0) {
    std::uint64_t lo;
    if (!Bits(8, lo)) return false;
    out = ((b & 0x3f) << 8) | lo;
  } else {
    std::uint64_t m = b & 0x3f;
    if (m < 1 || m > 4) {
      malformed_ = true;
      return false;
    }
    out = m * 16384;
    fragment = true;
  }
  return true;
}

bool BitReader::NumberOctets(std::size_t& n) {
  bool fragment;
  if (!Length(n, fragment)) return false;
  if (fragment || n == 0 || n > 8) {
    malformed_ = true;
    return false;
  }
  return true;
}

bool BitReader::SemiConstrained(std::uint64_t& out) {
  std::size_t n;
  return NumberOctets(n) && Bits(static_cast<unsigned>(n * 8), out);
}

bool BitReader::Unconstrained(std::int64_t& out) {
  std::size_t n;
  std::uint64_t v;
  if (!NumberOctets(n) || !Bits(static_cast<unsigned>(n * 8), v)) return false;
  if (n < 8 && (v >> (n * 8 - 1)) & 1) v |= ~std::uint64_t(0) << (n * 8);  // sign extension
  out = static_cast<std::int64_t>(v);
  return true;
}

}  // namespace vantro::asn
