#include "stack/asn/Strings.h"

#include <charconv>

namespace vantro::asn {

namespace {

void PutUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xc0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xe0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  }
}

void PutUnit(std::string& out, std::uint32_t u) {
  out += static_cast<char>(u >> 8);
  out += static_cast<char>(u & 0xff);
}

}  // namespace

std::string Utf16beToUtf8(std::string_view units) {
  std::string out;
  std::size_t n = units.size() / 2;
  auto unit = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(units[2 * i]) << 8 |
                                      static_cast<unsigned char>(units[2 * i + 1]));
  };
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t u = unit(i);
    if (u >= 0xd800 && u < 0xdc00 && i + 1 < n && unit(i + 1) >= 0xdc00 && unit(i + 1) < 0xe000) {
      PutUtf8(out, 0x10000 + ((u - 0xd800) << 10) + (unit(i + 1) - 0xdc00));
      ++i;
    } else if (u >= 0xd800 && u < 0xe000) {
      PutUtf8(out, 0xfffd);
    } else {
      PutUtf8(out, u);
    }
  }
  return out;
}

std::string Utf8ToUtf16be(std::string_view s) {
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0xfffd;
    std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 1) {
      cp = c;
    } else if (len && i + len <= s.size()) {
      cp = c & (0x7f >> len);
      bool ok = true;
      for (std::size_t k = 1; k < len; ++k) {
        auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xc0) != 0x80) ok = false;
        cp = (cp << 6) | (cc & 0x3f);
      }
      static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      if (!ok || cp < kMin[len] || cp > 0x10ffff || (cp >= 0xd800 && cp < 0xe000)) {
        cp = 0xfffd;
        len = 1;
      }
    } else {
      len = 1;
    }
    i += len;
    if (cp >= 0x10000) {
      PutUnit(out, 0xd800 + ((cp - 0x10000) >> 10));
      PutUnit(out, 0xdc00 + ((cp - 0x10000) & 0x3ff));
    } else {
      PutUnit(out, cp);
    }
  }
  return out;
}

std::vector<std::uint32_t> OidArcs(std::string_view contents) {
  std::vector<std::uint32_t> arcs;
  std::uint64_t v = 0;
  bool first = true;
  for (char ch : contents) {
    auto c = static_cast<unsigned char>(ch);
    v = (v << 7) | (c & 0x7f);
    if (v > 0xffffffffu) return arcs;
    if (c & 0x80) continue;
    if (first) {
      std::uint32_t a = v < 40 ? 0 : v < 80 ? 1 : 2;
      arcs.push_back(a);
      arcs.push_back(static_cast<std::uint32_t>(v - 40 * a));
      first = false;
    } else {
      arcs.push_back(static_cast<std::uint32_t>(v));
    }
    v = 0;
  }
  return arcs;
}

std::string OidContents(std::span<const std::uint32_t> arcs) {
  std::string out;
  auto put = [&](std::uint64_t v) {
    char tmp[10];
    int n = 0;
    do {
      tmp[n++] = static_cast<char>(v & 0x7f);
      v >>= 7;
    } while (v);
    while (n > 1) out += static_cast<char>(tmp[--n] | 0x80);
    out += tmp[0];
  };
  if (arcs.empty()) return out;
  std::uint64_t head = arcs[0] * 40ull + (arcs.size() > 1 ? arcs[1] : 0);
  put(head);
  for (std::size_t i = 2; i < arcs.size(); ++i) put(arcs[i]);
  return out;
}

std::string OidToText(std::span<const std::uint32_t> arcs) {
  std::string out;
  for (std::size_t i = 0; i < arcs.size(); ++i) {
    if (i) out += '.';
    out += std::to_string(arcs[i]);
  }
  return out;
}

std::optional<std::vector<std::uint32_t>> OidFromText(std::string_view text) {
  std::vector<std::uint32_t> arcs;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    std::uint32_t v = 0;
    auto [q, ec] = std::from_chars(p, end, v);
    if (ec != std::errc() || (q < end && *q != '.')) return std::nullopt;
    arcs.push_back(v);
    p = q < end ? q + 1 : q;
    if (q < end && p == end) return std::nullopt;
  }
  if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40)) return std::nullopt;
  return arcs;
}

}  // namespace vantro::asn
