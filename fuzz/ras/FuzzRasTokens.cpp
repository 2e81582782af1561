// A datagram from the gatekeeper as the RAS client reads it: decoded, its tokens checked by every
// method, and, when it is an information request, answered (with a call to report).
#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/h235/H235AuthCAT.h"
#include "stack/h235/H235AuthProcedure1.h"
#include "stack/h235/H235AuthSimpleMD5.h"
#include "stack/h235/H235Authenticators.h"
#include "stack/ras/H323GatekeeperMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantro;
  namespace h225 = asn::h225;
  auto message = asn::Decode(h225::RasMessage::Id, {data, size});
  if (!message || message->IsUnknownAlternative()) return 0;
  h235::H235Authenticators auth;
  auth.SetPassword("secret");
  (void)auth.CheckReceived(*message, {data, size});
  const asn::Value& body = message->Alternative();
  if (const int i = body.IndexOf("cryptoTokens"); i >= 0)
    if (const asn::Value* tokens = body.Get(static_cast<std::uint16_t>(i)))
      for (const asn::Value& t : tokens->Elements()) {
        (void)h235::H235AuthSimpleMD5::Validate(t, "secret");
        (void)h235::H235AuthProcedure1::Validate({data, size}, t, "secret");
        (void)h235::H235AuthProcedure1::SendersID(t);
      }
  if (const int i = body.IndexOf("tokens"); i >= 0)
    if (const asn::Value* tokens = body.Get(static_cast<std::uint16_t>(i)))
      for (const asn::Value& t : tokens->Elements()) (void)h235::H235AuthCAT::Validate(t, "secret");
  if (message->Is(h225::RasMessage::gatekeeperConfirm)) auth.SelectFromConfirm(body);
  if (message->Is(h225::RasMessage::infoRequest)) {
    ras::EndpointInfo info{{{127, 0, 0, 1}, 5000}, {{127, 0, 0, 1}, 1737}, "5550100", "gk", "ep", 10};
    ras::CallInfo call;
    call.callReference = 7;
    call.callIdentifier = std::string(16, '\x42');
    call.conferenceID = std::string(16, '\x43');
    call.localCallSignalAddress = info.callSignalAddress;
    asn::Value irr = ras::MakeInfoRequestResponse(body, info, {call});
    auto pending = auth.AddTokens(irr, {"5550100", "ep", "gk"});
    if (!auth.Encode(irr, pending)) __builtin_trap();  // our answer must always encode
  }
  return 0;
}
