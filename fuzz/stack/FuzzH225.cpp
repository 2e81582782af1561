// H323-UserInformation (the user-user element of Q.931), and the fastStart proposals and
// tunnelled H.245 messages inside it, as the call signalling reads them.
#include "fuzz/stack/PerRoundTrip.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H245.h"

using namespace vantro::asn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Value uu;
  if (!vantro::fuzz::DecodeAndCheck(h225::H323_UserInformation::Id, data, size, uu)) return 0;
  if (const Value* control = uu.Find("h323-uu-pdu.h245Control"))
    for (const Value& m : control->Elements()) (void)Decode(h245::MultimediaSystemControlMessage::Id, m.Octets());
  const Value* body = uu.Find("h323-uu-pdu.h323-message-body");
  if (body && !body->IsUnknownAlternative() && body->Alternative().Kind() == Kind::Sequence)
    if (const Value* fastStart = body->Alternative().Find("fastStart"))
      for (const Value& olc : fastStart->Elements()) (void)Decode(h245::OpenLogicalChannel::Id, olc.Octets());
  return 0;
}
