#include "stack/h235/H235Authenticators.h"

#include "stack/asn/Per.h"
#include "stack/asn/generated/H225.h"
#include "stack/asn/generated/H235.h"
#include "stack/h235/H235AuthCAT.h"
#include "stack/h235/H235AuthSimpleMD5.h"

#include <chrono>
#include <random>

namespace vantro::h235 {

using asn::Value;
namespace ras = asn::h225;

namespace {

template <std::size_t N>
bool IsOid(const Value& v, const std::array<std::uint32_t, N>& arcs) {
  return v.Oid() == std::vector<std::uint32_t>(arcs.begin(), arcs.end());
}

std::uint32_t SystemSeconds() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

// Which methods protect a message of this kind.
unsigned MethodsFor(std::uint16_t kind) {
  switch (kind) {
    case ras::RasMessage::gatekeeperRequest:
    case ras::RasMessage::gatekeeperConfirm:
    case ras::RasMessage::gatekeeperReject: return 0;
    case ras::RasMessage::registrationRequest:
    case ras::RasMessage::admissionRequest: return H235Authenticators::AllMethods;
    case ras::RasMessage::unregistrationRequest:
    case ras::RasMessage::bandwidthRequest:
    case ras::RasMessage::disengageRequest:
    case ras::RasMessage::infoRequestResponse: return H235Authenticators::Md5 | H235Authenticators::Procedure1;
    default: return H235Authenticators::Procedure1;
  }
}

}  // namespace

H235Authenticators::H235Authenticators() : clock_(SystemSeconds) {
  std::random_device rd;
  catRandom_ = static_cast<std::uint8_t>(rd());
  procedure1Random_ = static_cast<std::uint32_t>(rd()) & 0x7fffffff;
  markers_.seed(rd());
}

void H235Authenticators::SetCapabilities(Value& grq) const {
  if (!IsActive()) return;
  using G = ras::GatekeeperRequest;
  Value& mechanisms = grq.Field(G::authenticationCapability);
  mechanisms.Append().Select(asn::h235::AuthenticationMechanism::pwdHash);
  mechanisms.Append()
      .Select(asn::h235::AuthenticationMechanism::authenticationBES)
      .Select(asn::h235::AuthenticationBES::radius);
  Value& algorithms = grq.Field(G::algorithmOIDs);
  algorithms.Append().SetOid(kOidHmacSha1_96);
  algorithms.Append().SetOid(kOidCat);
  algorithms.Append().SetOid(kOidMd5);
}

void H235Authenticators::SelectFromConfirm(const Value& gcf) {
  methods_ = AllMethods;
  const Value* algorithm = gcf.Get(ras::GatekeeperConfirm::algorithmOID);
  if (!algorithm) return;
  if (IsOid(*algorithm, kOidMd5))
    methods_ = Md5;
  else if (IsOid(*algorithm, kOidCat))
    methods_ = Cat;
  else if (IsOid(*algorithm, kOidHmacSha1_96))
    methods_ = Procedure1;
}

H235Authenticators::Pending H235Authenticators::AddTokens(Value& rasMessage, const Identities& ids) {
  Pending pending;
  const unsigned methods = IsActive() ? MethodsFor(rasMessage.Choice()) & methods_ : 0;
  if (!methods) return pending;
  Value& body = rasMessage.Alternative();
  const std::uint32_t now = clock_();
  const int tokensIndex = body.IndexOf("tokens");
  const int cryptoIndex = body.IndexOf("cryptoTokens");
  if ((methods & Md5) && cryptoIndex >= 0) {
    if (auto token = H235AuthSimpleMD5::CreateCryptoToken(ids.alias, password_, now))
      body.Field(static_cast<std::uint16_t>(cryptoIndex)).Append(std::move(*token));
  }
  if ((methods & Cat) && tokensIndex >= 0) {
    if (auto token = H235AuthCAT::CreateClearToken(ids.alias, password_, now, ++catRandom_))
      body.Field(static_cast<std::uint16_t>(tokensIndex)).Append(std::move(*token));
  }
  if ((methods & Procedure1) && cryptoIndex >= 0) {
    // Only a place holder for the hash, found again in the encoding: unpredictable enough not to
    // occur elsewhere in the message, no secret.
    H235AuthProcedure1::Hash marker;
    for (auto& b : marker) b = static_cast<std::uint8_t>(markers_());
    const std::string& sender = ids.endpointId.empty() ? ids.alias : ids.endpointId;
    // The random value is a 32-bit signed integer to its receivers: it counts within 1 to 2^31 - 1.
    procedure1Random_ = procedure1Random_ % 0x7fffffff + 1;
    if (auto token = H235AuthProcedure1::CreateCryptoToken(sender, ids.gatekeeperId, now, procedure1Random_, marker)) {
      body.Field(static_cast<std::uint16_t>(cryptoIndex)).Append(std::move(*token));
      pending.marker = marker;
    }
  }
  return pending;
}

std::optional<std::vector<std::uint8_t>> H235Authenticators::Encode(const Value& rasMessage,
                                                                    const Pending& pending) const {
  auto encoded = asn::Encode(rasMessage);
  if (!encoded) return std::nullopt;
  if (pending.marker && !H235AuthProcedure1::Sign(*encoded, *pending.marker, password_)) return std::nullopt;
  return std::move(*encoded);
}

TokenCheck H235Authenticators::CheckReceived(const Value& rasMessage, std::span<const std::uint8_t> encoded) const {
  if (!IsActive() || rasMessage.IsUnknownAlternative()) return TokenCheck::Absent;
  const Value& body = rasMessage.Alternative();
  const int cryptoIndex = body.IndexOf("cryptoTokens");
  const Value* tokens = cryptoIndex >= 0 ? body.Get(static_cast<std::uint16_t>(cryptoIndex)) : nullptr;
  if (!tokens) return TokenCheck::Absent;
  TokenCheck result = TokenCheck::Absent;
  for (const Value& token : tokens->Elements()) {
    TokenCheck check = H235AuthProcedure1::Validate(encoded, token, password_);
    if (check == TokenCheck::Ok) return check;
    if (check != TokenCheck::Absent) result = check;
  }
  return result;
}

}  // namespace vantro::h235
