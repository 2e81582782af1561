#include "h323/CDialerEndPoint.h"

#include <sstream>

#include "dialer/CDialerDlg.h"
#include "platform/MessageBox.h"
#include "platform/UiThread.h"
#include "platform/WaitCursor.h"
#include "res/Resources.h"

using vantro::endpoint::H323_G711Capability;
using vantro::endpoint::H323_G7231Capability;
using vantro::endpoint::H323_G729ACapability;
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

} // namespace

std::string RegistrationFailureMessage(unsigned reason)
{
    switch (reason) {
    case Gatekeeper::InvalidListener: return LoadStringResource(102);
    case Gatekeeper::DuplicateAlias: return LoadStringResource(103);
    case Gatekeeper::SecurityDenied: return LoadStringResource(106);
    case Gatekeeper::TransportError: return LoadStringResource(105);
    default:
        return (reason & Gatekeeper::RegistrationRejectReasonMask) ? "Gatekeeper reject the request."
                                                                    : std::string();
    }
}

CDialerEndPoint::CDialerEndPoint() = default;

CDialerEndPoint::~CDialerEndPoint()
{
    Shutdown();
}

int CDialerEndPoint::Initialise(CDialerDlg *w, int codecIndex, const std::string &playDevice,
                                const std::string &recordDevice)
{
    window = w;
    connected = 0;
    if (w->m_nGkPassEnabled != 0)
        SetGatekeeperPassword(w->m_strGkPass.Get());
    SetLocalUserName(w->m_strPin.Get());
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
        if (!item.empty())
            interfaces.push_back(item);
    return StartListeners(interfaces) ? 1 : 0;
}

void CDialerEndPoint::BuildCapabilities(int)
{
    RemoveAllCapabilities();
    SetCapability(0, 0, std::make_unique<H323_G729ACapability>());
    SetCapability(0, kNewCapabilitySet, std::make_unique<H323_G7231Capability>(true));
    SetCapability(0, kNewCapabilitySet, std::make_unique<H323_G711Capability>(H323_G711Capability::muLaw));
}

int CDialerEndPoint::RegisterWithGatekeeper()
{
    std::lock_guard serial(m_registerMutex);
    CDialerDlg *w = window;
    if (!w)
        return 0;
    PostToUi(w, [w] { w->SetBalanceLine("Registering....."); });
    localInterface = "";
    gatekeeperAddress = w->m_strGatekeeper.Get();
    gatekeeperIdentifier = "";

    if (auto gatekeeper = GetGatekeeper(); gatekeeper && gatekeeper->IsRegistered())
        RemoveGatekeeper(-1);
    SetRegistrationTimeToLive(kRegistrationTimeToLive);
    SetGatekeeperAccessTokenOID("");

    BeginWaitCursor();
    registering = 1;
    const bool registered =
        UseGatekeeper(gatekeeperAddress.Get(), gatekeeperIdentifier.Get(), localInterface.Get());
    if (registered) {
        registering = 0;
        EndWaitCursor();
        w->StartBalanceThread();
        return 1;
    }

    PostToUi(w, [w] { w->SetBalanceLine("Not Registered"); });
    EndWaitCursor();
    registering = 0;
    // Overtaken by a newer registration, or the window is closing: nothing to tell the user.
    if (WasLastRegistrationCancelled())
        return 0;
    std::string message = "No Gatekeeper found .";
    if (auto gatekeeper = GetGatekeeper())
        message = RegistrationFailureMessage(gatekeeper->GetRegistrationFailReason());
    if (!message.empty())
        PostToUi(w, [w, message] { AfxMessageBox(message, MB_OK, "", w); });
    return 0;
}
