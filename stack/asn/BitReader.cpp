#include "stack/asn/BitReader.h"

#include "stack/asn/BitWriter.h"

namespace vantro::asn {

bool BitReader::bits(unsigned n, std::uint64_t& out) {
  out = 0;
  if (n > remaining()) {
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

bool BitReader::bit(bool& out) {
  std::uint64_t v;
  if (!bits(1, v)) return false;
  out = v != 0;
  return true;
}

bool BitReader::align() {
  std::size_t next = (pos_ + 7) / 8 * 8;
  if (next > end_) {
    malformed_ = false;
    return false;
  }
  pos_ = next;
  return true;
}

bool BitReader::skip(std::size_t nbits) {
  if (nbits > remaining()) {
    malformed_ = false;
    return false;
  }
  pos_ += nbits;
  return true;
}

bool BitReader::octets(std::size_t n, std::string& out) {
  if (n > remaining() / 8) {
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
    bits(8, v);
    out += static_cast<char>(v);
  }
  return true;
}

bool BitReader::bitField(std::size_t nbits, std::string& out) {
  if (nbits > remaining()) {
    malformed_ = false;
    return false;
  }
  octets(nbits / 8, out);
  if (nbits % 8) {
    std::uint64_t v;
    bits(static_cast<unsigned>(nbits % 8), v);
    out += static_cast<char>(v << (8 - nbits % 8));
  }
  return true;
}

bool BitReader::constrained(std::uint64_t range, std::uint64_t& out) {
  out = 0;
  if (range <= 1) return true;
  if (range <= 255) return bits(bitsFor(range - 1), out);
  if (range == 256) return align() && bits(8, out);
  if (range <= 65536) return align() && bits(16, out);
  std::uint64_t n;
  if (!bits(bitsFor(octetsFor(range - 1) - 1), n) || !align()) return false;
  return bits(static_cast<unsigned>(n + 1) * 8, out);
}

bool BitReader::smallNumber(std::uint64_t& out) {
  bool large;
  if (!bit(large)) return false;
  if (!large) return bits(6, out);
  return semiConstrained(out);
}

bool BitReader::smallLength(std::size_t& out) {
  bool large;
  if (!bit(large)) return false;
  std::uint64_t v;
  if (!large) {
    if (!bits(6, v)) return false;
    out = v + 1;
    return true;
  }
  bool fragment;
  if (!length(out, fragment)) return false;
  if (fragment || out == 0) {
    malformed_ = true;
    return false;
  }
  return true;
}

bool BitReader::length(std::size_t& out, bool& fragment) {
  fragment = false;
  std::uint64_t b;
  if (!align() || !bits(8, b)) return false;
  if ((b & 0x80) == 0) {
    out = b;
  } else if ((b & 0x40) == 0) {
    std::uint64_t lo;
    if (!bits(8, lo)) return false;
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

bool BitReader::numberOctets(std::size_t& n) {
  bool fragment;
  if (!length(n, fragment)) return false;
  if (fragment || n == 0 || n > 8) {
    malformed_ = true;
    return false;
  }
  return true;
}

bool BitReader::semiConstrained(std::uint64_t& out) {
  std::size_t n;
  return numberOctets(n) && bits(static_cast<unsigned>(n * 8), out);
}

bool BitReader::unconstrained(std::int64_t& out) {
  std::size_t n;
  std::uint64_t v;
  if (!numberOctets(n) || !bits(static_cast<unsigned>(n * 8), v)) return false;
  if (n < 8 && (v >> (n * 8 - 1)) & 1) v |= ~std::uint64_t(0) << (n * 8);  // sign extension
  out = static_cast<std::int64_t>(v);
  return true;
}

}  // namespace vantro::asn
