#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "h323/CDialerCalls.h"
#include "h323/CDialerEvents.h"
#include "platform/Guarded.h"
#include "settings/CAccount.h"
#include "stack/endpoint/H323EndPoint.h"

// The text the window shows for a registration failure reason; empty for reasons that show none.
std::string RegistrationFailureMessage(unsigned reason);

// The dialer's endpoint: the account PIN as its user name, the gatekeeper password when the user
// enabled it, the chosen sound devices, three audio capabilities and a call signalling listener on
// TCP port 1737. It registers with the account's gatekeeper, places and clears the window's calls,
// and reports registrations and calls to the window through its event interface. Calls the far
// end places are answered by the stack's default policy (when the gatekeeper admits them) and
// reported like the window's own; the stack turns away a second call while one is up.
class CDialerEndPoint : public vantro::endpoint::H323EndPoint, public CDialerCalls {
 public:
  CDialerEndPoint();
  ~CDialerEndPoint() override;

  // Sets the endpoint up for the window (again after the settings dialog) with the account, the
  // codec index and the device names. 1 when the listener runs, else 0.
  int Initialise(CDialerEvents* window, const CAccount& account, int codecIndex, const std::string& playDevice,
                 const std::string& recordDevice);

  // G.729A, G.723.1 with Annex A and G.711 mu-law, in that order, each in a simultaneous set of
  // its own in descriptor 0. The codec index does not change the table.
  void BuildCapabilities(int codecIndex);

  // Registers (again) with the account's gatekeeper and reports the outcome to the window.
  // Blocks until the outcome; one registration at a time. Run it on a worker.
  int RegisterWithGatekeeper();

  // The window's call operations.
  bool MakeCall(const std::string& party, std::string& token) override;
  bool ClearCall(const std::string& token) override;
  bool HasConnection(const std::string& token) override;
  bool SendUserInput(const std::string& token, const std::string& value) override;
  std::optional<CSignalLevels> GetSignalLevels(const std::string& token) override;
  std::optional<bool> TogglePause(const std::string& token, bool fromRemote) override;

  // The stack's callbacks: the far end rings, the call is established, the call has ended.
  // Each reports to the window and returns at once.
  bool OnAlerting(vantro::endpoint::H323Connection& connection, const vantro::q931::Q931Message& alertingPDU,
                  const std::string& user) override;
  void OnConnectionEstablished(vantro::endpoint::H323Connection& connection, const std::string& token) override;
  void OnConnectionCleared(vantro::endpoint::H323Connection& connection, const std::string& token) override;

  std::atomic<int> connected{0};  // 1 while a call is established
  std::atomic<CDialerEvents*> window{nullptr};
  std::atomic<int> registering{0};  // 1 while a registration is under way
  Guarded<std::string> gatekeeperAddress;
  Guarded<std::string> gatekeeperIdentifier;
  Guarded<std::string> localInterface;

  // Where call signalling listens, comma-separated. Tests listen on 127.0.0.1 instead.
  std::string listenerInterfaces = "*:1737";

 private:
  std::mutex m_registerMutex;   // held for the whole of a registration
  Guarded<CAccount> m_account;  // as Initialise last received it
};
