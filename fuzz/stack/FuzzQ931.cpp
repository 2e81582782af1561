// The call signalling byte stream: TPKT framing, Q.931 messages and their user-user element.
// The first octet decides how the stream is cut into reads, as a socket would deliver it.
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/q931/Q931Message.h"
#include "stack/q931/Tpkt.h"

#include <cstdio>
#include <cstdlib>

using namespace vantro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t chunk = data[0] % 32 + 1;
  q931::TpktReader reader;
  std::vector<std::uint8_t> packet;
  for (std::size_t at = 1; at < size; at += chunk) {
    reader.Feed({data + at, std::min(chunk, size - at)});
    while (reader.Next(packet) == q931::TpktReader::Status::Packet) {
      std::optional<q931::Q931Message> m = q931::Q931Message::Decode(packet);
      if (!m) continue;
      if (m->Encode() != packet) {
        std::fprintf(stderr, "Q.931 message does not re-encode to its octets\n");
        std::abort();
      }
      (void)m->BearerCapability();
      (void)m->Cause();
      (void)m->CallingPartyNumber();
      (void)m->CalledPartyNumber();
      (void)m->ProgressIndicator();
      (void)m->Display();
      if (auto uu = m->UserUser()) (void)asn::Decode(asn::h225::H323_UserInformation::Id, *uu);
    }
  }
  return 0;
}
