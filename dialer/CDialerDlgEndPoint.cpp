// The window's side of the endpoint: setting it up, registering, and what the registration and
// the balance refresh report.
#include "dialer/CDialerDlg.h"
#include "platform/MessageBox.h"
#include "platform/UiThread.h"
#include "platform/WaitCursor.h"

void CDialerDlg::InitialiseEndPoint(int codecIndex, const std::string& playDevice, const std::string& recordDevice) {
  m_endpoint.Initialise(this, m_account, codecIndex, playDevice, recordDevice);
}

void CDialerDlg::RemoveRegistration() {
  // Unregisters in the background: the user-interface thread never waits for the gatekeeper.
  m_endpoint.RemoveGatekeeper(-1);
}

void CDialerDlg::StartRegisterThread() {
  StartWorker([this] { m_endpoint.RegisterWithGatekeeper(); });
}

void CDialerDlg::OnRegisterRequest() { StartRegisterThread(); }

void CDialerDlg::ApplySettingsToEndPoint(const std::string& playDevice, const std::string& recordDevice,
                                         const std::string& pin, int codecIndex) {
  m_endpoint.SetSoundChannelPlayDevice(playDevice);
  m_endpoint.SetSoundChannelRecordDevice(recordDevice);
  m_endpoint.SetLocalUserName(pin);
  m_endpoint.BuildCapabilities(codecIndex);
}

void CDialerDlg::ReinitialiseEndPoint() {
  RemoveRegistration();
  const std::string play = GetPlayDeviceName(0);
  const std::string record = GetRecordDeviceName(0);
  InitialiseEndPoint(m_settings.GetCodecIndex(), play, record);
  StartRegisterThread();
}

void CDialerDlg::OnRegistering() {
  BeginWaitCursor();
  PostToUi(this, [this] { SetBalanceLine("Registering....."); });
}

void CDialerDlg::OnRegistered() {
  // The balance line refresh writes the next text.
  EndWaitCursor();
  StartBalanceThread();
}

void CDialerDlg::OnRegistrationFailed(const std::string& message) {
  PostToUi(this, [this] { SetBalanceLine("Not Registered"); });
  EndWaitCursor();
  if (!message.empty()) PostToUi(this, [this, message] { AfxMessageBox(message, MB_OK, "", this); });
}

void CDialerDlg::OnBalanceRefresh(bool running) {
  if (running)
    ++m_bBalanceRunning;
  else
    --m_bBalanceRunning;
}

void CDialerDlg::OnBalance(const std::string& text, const std::string& pin, const std::string& serial) {
  PostToUi(this, [this, text, pin, serial] {
    SetBalanceLine(text);
    m_account.m_strPin = pin;
    m_account.m_strSerial = serial;
  });
}
