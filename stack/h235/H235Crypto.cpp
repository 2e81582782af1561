#include "stack/h235/H235Crypto.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <memory>
#include <stdexcept>

namespace vantro::h235 {

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> Digest(const EVP_MD* type, std::initializer_list<std::span<const std::uint8_t>> parts) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  std::array<std::uint8_t, N> out{};
  unsigned len = 0;
  bool ok = ctx && EVP_DigestInit_ex(ctx.get(), type, nullptr) == 1;
  for (auto part : parts) ok = ok && EVP_DigestUpdate(ctx.get(), part.data(), part.size()) == 1;
  ok = ok && EVP_DigestFinal_ex(ctx.get(), out.data(), &len) == 1 && len == N;
  if (!ok) throw std::runtime_error("libcrypto digest failed");
  return out;
}

void AppendUnit(std::string& out, std::uint32_t cp) {
  auto unit = [&out](std::uint32_t u) {
    out += static_cast<char>(u >> 8);
    out += static_cast<char>(u & 0xff);
  };
  if (cp < 0x10000) {
    unit(cp);
  } else {
    cp -= 0x10000;
    unit(0xd800 + (cp >> 10));
    unit(0xdc00 + (cp & 0x3ff));
  }
}

}  // namespace

Md5Digest Md5(std::initializer_list<std::span<const std::uint8_t>> parts) { return Digest<16>(EVP_md5(), parts); }

Sha1Digest Sha1(std::span<const std::uint8_t> data) { return Digest<20>(EVP_sha1(), {data}); }

Sha1Digest HmacSha1(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
  Sha1Digest out{};
  unsigned len = 0;
  if (!HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()), data.data(), data.size(), out.data(), &len) ||
      len != out.size())
    throw std::runtime_error("libcrypto HMAC failed");
  return out;
}

void WarmUp() {
  static const std::uint8_t sample[] = {'w', 'a', 'r', 'm'};
  (void)Md5({sample});
  (void)Sha1(sample);
  (void)HmacSha1(sample, sample);
}

bool EqualBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  if (a.size() != b.size()) return false;
  std::uint8_t diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<std::uint8_t>(a[i] ^ b[i]);
  return diff == 0;
}

std::string Ucs2PlusNull(std::string_view s) {
  std::string out;
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    std::uint32_t cp = c;
    bool utf8 = len == 1;
    if (len > 1 && i + len <= s.size()) {
      static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      cp = c & (0x7f >> len);
      utf8 = true;
      for (std::size_t k = 1; k < len; ++k) {
        auto cc = static_cast<unsigned char>(s[i + k]);
        utf8 = utf8 && (cc & 0xc0) == 0x80;
        cp = (cp << 6) | (cc & 0x3f);
      }
      utf8 = utf8 && cp >= kMin[len] && cp <= 0x10ffff && (cp < 0xd800 || cp >= 0xe000);
    }
    if (!utf8) {
      cp = c;  // Latin-1
      len = 1;
    }
    AppendUnit(out, cp);
    i += len;
  }
  out.append(2, '\0');
  return out;
}

}  // namespace vantro::h235
