// The window's side of the endpoint: setting it up, registering, and sending keypad digits into a
// call.
#include "dialer/CDialerDlg.h"

void CDialerDlg::InitialiseEndPoint(int, const std::string &, const std::string &) {}

void CDialerDlg::RemoveRegistration() {}

void CDialerDlg::StartRegisterThread() {}

void CDialerDlg::OnRegisterRequest() {}

void CDialerDlg::ApplySettingsToEndPoint(const std::string &, const std::string &,
                                         const std::string &, int)
{
}

void CDialerDlg::DtmfThread(char) {}
