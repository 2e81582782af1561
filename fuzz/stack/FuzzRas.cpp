// RAS datagrams as they arrive on UDP port 1719.
#include "fuzz/stack/PerRoundTrip.h"
#include "stack/asn/generated/H225.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantro::asn::Value v;
  vantro::fuzz::DecodeAndCheck(vantro::asn::h225::RasMessage::Id, data, size, v);
  return 0;
}
