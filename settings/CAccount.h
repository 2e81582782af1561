#pragma once

#include <string>

// The subscriber's account: the PIN (the endpoint's user name), the account serial, the gatekeeper
// address, the gatekeeper password and whether that password is used. One value shared by the
// sign-in and settings dialogs, the main window and the endpoint.
struct CAccount {
  std::string m_strPin;
  std::string m_strSerial;
  std::string m_strGatekeeper;
  std::string m_strGkPass;
  int m_nGkPassEnabled = 0;  // non-zero: the endpoint gives the gatekeeper password

  // The flag as the settings file stores it: "1" or "0".
  std::string GkPassEnabledText() const { return m_nGkPassEnabled ? "1" : "0"; }

  bool operator==(const CAccount&) const = default;
};
