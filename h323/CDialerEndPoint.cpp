#include "h323/CDialerEndPoint.h"

#include <sstream>

#include "res/Resources.h"
#include "stack/codecs/H323AudioCodec.h"

using vantro::endpoint::H323_G711Capability;
using vantro::endpoint::H323_G7231Capability;
using vantro::endpoint::H323_G729ACapability;
using vantro::endpoint::H323Channel;
using vantro::endpoint::H323Connection;
using vantro::endpoint::H323ConnectionLock;
using vantro::endpoint::kAudioSessionID;
using vantro::endpoint::kNewCapabilitySet;
using Gatekeeper = vantro::ras::H323Gatekeeper;

namespace {

// The type-of-service octet of the call's RTP packets.
constexpr unsigned kRtpTypeOfService = 0xB0;
// The fixed audio tuning: fast start on, H.245 tunnelling on, a jitter buffer of 28 to 400 ms.
constexpr unsigned kJitterMinimumMs = 28;
constexpr unsigned kJitterMaximumMs = 400;
// How long a registration lives at the gatekeeper before a keep-alive must renew it.
constexpr std::chrono::milliseconds kRegistrationTimeToLive{10000};

// The average signal level of the codec of a call's audio channel from the far end (fromRemote)
// or towards it; nullopt without such a channel. The call is locked.
std::optional<unsigned> AverageLevel(const H323Connection& call, bool fromRemote) {
  const H323Channel* channel = call.FindChannel(kAudioSessionID, fromRemote);
  if (!channel || !channel->GetCodec()) return std::nullopt;
  return channel->GetCodec()->GetAverageSignalLevel();
}

}  // namespace

std::string RegistrationFailureMessage(unsigned reason) {
  switch (reason) {
    case Gatekeeper::InvalidListener: return LoadStringResource(102);
    case Gatekeeper::DuplicateAlias: return LoadStringResource(103);
    case Gatekeeper::SecurityDenied: return LoadStringResource(106);
    case Gatekeeper::TransportError: return LoadStringResource(105);
    default:
      return (reason & Gatekeeper::RegistrationRejectReasonMask) ? "Gatekeeper reject the request." : std::string();
  }
}

CDialerEndPoint::CDialerEndPoint() = default;

CDialerEndPoint::~CDialerEndPoint() { Shutdown(); }

int CDialerEndPoint::Initialise(CDialerEvents* w, const CAccount& account, int codecIndex,
                                const std::string& playDevice, const std::string& recordDevice) {
  window = w;
  m_account = account;
  connected = 0;
  if (account.m_nGkPassEnabled != 0) SetGatekeeperPassword(account.m_strGkPass);
  SetLocalUserName(account.m_strPin);
  SetRtpIpTypeofService(kRtpTypeOfService);
  SetSoundChannelPlayDevice(playDevice);
  SetSoundChannelRecordDevice(recordDevice);
  DisableFastStart(false);
  DisableH245Tunneling(false);
  SetAudioJitterDelay(kJitterMinimumMs, kJitterMaximumMs);
  BuildCapabilities(codecIndex);

  std::vector<std::string> interfaces;
  std::stringstream list(listenerInterfaces);
  for (std::string item; std::getline(list, item, ',');)
    if (!item.empty()) interfaces.push_back(item);
  return StartListeners(interfaces) ? 1 : 0;
}

void CDialerEndPoint::BuildCapabilities(int) {
  RemoveAllCapabilities();
  SetCapability(0, 0, std::make_unique<H323_G729ACapability>());
  SetCapability(0, kNewCapabilitySet, std::make_unique<H323_G7231Capability>(true));
  SetCapability(0, kNewCapabilitySet, std::make_unique<H323_G711Capability>(H323_G711Capability::muLaw));
}

int CDialerEndPoint::RegisterWithGatekeeper() {
  std::lock_guard serial(m_registerMutex);
  CDialerEvents* w = window;
  if (!w) return 0;
  // The window shows "Registering....." and the wait cursor until the outcome.
  w->OnRegistering();
  localInterface = "";
  gatekeeperAddress = m_account.Get().m_strGatekeeper;
  gatekeeperIdentifier = "";

  if (auto gatekeeper = GetGatekeeper(); gatekeeper && gatekeeper->IsRegistered()) RemoveGatekeeper(-1);
  SetRegistrationTimeToLive(kRegistrationTimeToLive);
  SetGatekeeperAccessTokenOID("");

  registering = 1;
  const bool registered = UseGatekeeper(gatekeeperAddress.Get(), gatekeeperIdentifier.Get(), localInterface.Get());
  registering = 0;
  if (registered) {
    w->OnRegistered();
    return 1;
  }
  // Overtaken by a newer registration, or the window is closing: nothing to tell the user.
  std::string message;
  if (!WasLastRegistrationCancelled()) {
    message = "No Gatekeeper found .";
    if (auto gatekeeper = GetGatekeeper())
      message = RegistrationFailureMessage(gatekeeper->GetRegistrationFailReason());
  }
  w->OnRegistrationFailed(message);
  return 0;
}

// Calls: the window's operations are the stack's, addressed by the window's token. Those that look
// into a call hold its lock only for that look.

bool CDialerEndPoint::MakeCall(const std::string& party, std::string& token) {
  if (H323EndPoint::MakeCall(party, token)) return true;
  token.clear();  // shut down: no call, and no event will follow
  return false;
}

bool CDialerEndPoint::ClearCall(const std::string& token) {
  return H323EndPoint::ClearCall(token, H323Connection::EndedByLocalUser);
}

bool CDialerEndPoint::HasConnection(const std::string& token) { return H323EndPoint::HasConnection(token); }

bool CDialerEndPoint::SendUserInput(const std::string& token, const std::string& value) {
  const H323ConnectionLock call = FindConnectionWithLock(token);
  if (!call) return false;
  call->SendUserInput(value);
  return true;
}

std::optional<CSignalLevels> CDialerEndPoint::GetSignalLevels(const std::string& token) {
  const H323ConnectionLock call = FindConnectionWithLock(token);
  if (!call) return std::nullopt;
  return CSignalLevels{AverageLevel(*call, true), AverageLevel(*call, false)};
}

std::optional<bool> CDialerEndPoint::TogglePause(const std::string& token, bool fromRemote) {
  const H323ConnectionLock call = FindConnectionWithLock(token);
  if (!call) return std::nullopt;
  H323Channel* channel = call->FindChannel(kAudioSessionID, fromRemote);
  if (!channel) return std::nullopt;
  channel->SetPause(!channel->IsPaused());
  return channel->IsPaused();
}

// The stack's callbacks, on its thread: each hands the window its part and returns.

bool CDialerEndPoint::OnAlerting(H323Connection& connection, const vantro::q931::Q931Message&, const std::string&) {
  if (CDialerEvents* w = window) w->OnCallAlerting(connection.GetCallToken());
  return true;
}

void CDialerEndPoint::OnConnectionEstablished(H323Connection& connection, const std::string& token) {
  // Set first: the window reads it when it handles the event.
  connected = 1;
  // A call the far end placed was answered by the stack's default policy: the window runs it
  // like one of its own and logs the caller's number.
  if (CDialerEvents* w = window)
    w->OnCallEstablished(token, !connection.IsOriginating(), connection.GetRemotePartyNumber());
}

void CDialerEndPoint::OnConnectionCleared(H323Connection& connection, const std::string& token) {
  connected = 0;
  if (CDialerEvents* w = window) w->OnCallCleared(token, connection.GetConnectionStartTime().has_value());
}
