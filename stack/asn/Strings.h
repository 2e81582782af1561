#pragma once
// Conversions between the codec's stored forms and the forms callers use: BMPString code units
// and UTF-8, OBJECT IDENTIFIER contents octets and arcs.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::asn {

// UTF-16 big-endian code units (as a BMPString stores them) to UTF-8. Unpaired surrogates become
// U+FFFD; an odd trailing octet is dropped.
std::string Utf16beToUtf8(std::string_view units);
// UTF-8 to UTF-16 big-endian. Malformed sequences become U+FFFD.
std::string Utf8ToUtf16be(std::string_view utf8);

// BER contents octets of an OBJECT IDENTIFIER to its arcs. Malformed contents give what could be
// read (the codec keeps the octets themselves, so nothing is lost).
std::vector<std::uint32_t> OidArcs(std::string_view contents);
std::string OidContents(std::span<const std::uint32_t> arcs);
std::string OidToText(std::span<const std::uint32_t> arcs);
std::optional<std::vector<std::uint32_t>> OidFromText(std::string_view text);

}  // namespace vantro::asn
