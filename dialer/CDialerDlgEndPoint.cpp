// The window's side of the endpoint: setting it up, registering, and sending keypad digits into a
// call.
#include "dialer/CDialerDlg.h"

void CDialerDlg::InitialiseEndPoint(int codecIndex, const std::string &playDevice,
                                    const std::string &recordDevice)
{
    m_endpoint.Initialise(this, codecIndex, playDevice, recordDevice);
}

void CDialerDlg::RemoveRegistration()
{
    // Unregisters in the background: the user-interface thread never waits for the gatekeeper.
    m_endpoint.RemoveGatekeeper(-1);
}

void CDialerDlg::StartRegisterThread()
{
    StartWorker([this] { m_endpoint.RegisterWithGatekeeper(); });
}

void CDialerDlg::OnRegisterRequest()
{
    StartRegisterThread();
}

void CDialerDlg::ApplySettingsToEndPoint(const std::string &playDevice,
                                         const std::string &recordDevice, const std::string &pin,
                                         int codecIndex)
{
    m_endpoint.SetSoundChannelPlayDevice(playDevice);
    m_endpoint.SetSoundChannelRecordDevice(recordDevice);
    m_endpoint.SetLocalUserName(pin);
    m_endpoint.BuildCapabilities(codecIndex);
}

// Keypad digits go into an established call; the endpoint has no calls yet, so there is nothing
// to send them on.
void CDialerDlg::DtmfThread(char) {}
