#pragma once

#include <string>

// What the endpoint and the balance line refresh report to the dialer's window: the state of the
// gatekeeper registration, the progress of a call, and the balance line.
//
// Every operation may be called from any thread (the stack's threads, registration and balance
// workers) and returns at once: an implementation hands what the user sees to its own
// user-interface thread and never waits for it.
class CDialerEvents {
 public:
  virtual ~CDialerEvents() = default;

  // A registration has started ("Registering....." and the wait cursor).
  virtual void OnRegistering() = 0;
  // The gatekeeper registered the endpoint; the balance line refresh follows.
  virtual void OnRegistered() = 0;
  // The registration failed: "Not Registered", and the message for the user unless it is empty.
  virtual void OnRegistrationFailed(const std::string& message) = 0;

  // The far end of the call rings.
  virtual void OnCallAlerting(const std::string& token) = 0;
  // The call is established. incoming: the far end called us; remoteNumber: its number (for an
  // incoming call, the number to remember in the call log).
  virtual void OnCallEstablished(const std::string& token, bool incoming, const std::string& remoteNumber) = 0;
  // The call has ended, once per call placed or answered; established: it got as far as being
  // established.
  virtual void OnCallCleared(const std::string& token, bool established) = 0;

  // A balance line refresh starts (running) or ends; while one runs the window does not close.
  virtual void OnBalanceRefresh(bool running) = 0;
  // The balance line text, and the PIN and serial stored in the settings file.
  virtual void OnBalance(const std::string& text, const std::string& pin, const std::string& serial) = 0;
};
