// What we read of peers' RTP packets, and what we refuse (what we write, tshark reads in
// MediaTsharkTest).
#include "stack/rtp/RtpPacket.h"

#include <gtest/gtest.h>

namespace vantro::rtp {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RtpPacket, ParsesWholeVersion2PacketsAndRefusesTheRest) {
  using Error = RtpPacket::Error;
  const struct {
    const char* what;
    Bytes bytes;
    Error error;
    Bytes payload;
  } rows[] = {
      {"CSRCs, an extension and padding taken off the payload",
       {0xb2, 0x00, 0,  1,    0,    0, 0, 2, 0, 0, 0, 3,    0,    0, 0, 10, 0,
        0,    0,    11, 0xbe, 0xde, 0, 1, 9, 9, 9, 9, 0xaa, 0xbb, 0, 0, 3},
       Error::None,
       {0xaa, 0xbb}},
      {"padding that eats the whole payload", {0xa0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 2}, Error::None, {}},
      {"shorter than the header", {0x80, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}, Error::TooShort, {}},
      {"version 1", {0x40, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3}, Error::NotVersion2, {}},
      {"CSRCs past the end", {0x83, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 1}, Error::Truncated, {}},
      {"padding longer than the payload", {0xa0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 7, 3}, Error::Truncated, {}},
  };
  for (const auto& row : rows) {
    Error error = Error::None;
    auto p = RtpPacket::Parse(row.bytes, &error);
    EXPECT_EQ(error, row.error) << row.what;
    ASSERT_EQ(p.has_value(), row.error == Error::None) << row.what;
    if (p) {
      EXPECT_EQ(Bytes(p->payload.begin(), p->payload.end()), row.payload) << row.what;
    }
  }
}

}  // namespace
}  // namespace vantro::rtp
