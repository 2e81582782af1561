// H.245 messages, as tunnelled in H.225.0 or read from a separate H.245 channel.
#include "fuzz/stack/PerRoundTrip.h"
#include "stack/asn/generated/H245.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantro::asn::Value v;
  vantro::fuzz::DecodeAndCheck(vantro::asn::h245::MultimediaSystemControlMessage::Id, data, size, v);
  return 0;
}
