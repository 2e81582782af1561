#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "platform/Guarded.h"
#include "stack/endpoint/H323EndPoint.h"

class CDialerDlg;

// The text the window shows for a registration failure reason; empty for reasons that show none.
std::string RegistrationFailureMessage(unsigned reason);

// The dialer's endpoint: the account PIN as its user name, the gatekeeper password when the user
// enabled it, the chosen sound devices, three audio capabilities and a call signalling listener on
// TCP port 1737; it registers with the gatekeeper the user entered and reports to the window.
class CDialerEndPoint : public vantro::endpoint::H323EndPoint {
public:
    CDialerEndPoint();
    ~CDialerEndPoint() override;

    // Sets the endpoint up for the window (again after the settings dialog). 1 when the listener
    // runs, else 0.
    int Initialise(CDialerDlg *window, int codecIndex, const std::string &playDevice,
                   const std::string &recordDevice);

    // G.729A, G.723.1 with Annex A and G.711 mu-law, in that order, each in a simultaneous set of
    // its own in descriptor 0. The codec index does not change the table.
    void BuildCapabilities(int codecIndex);

    // Registers (again) with the window's gatekeeper: "Registering....." on the registration line,
    // the wait cursor, then either the balance refresh or "Not Registered" and the message for the
    // failure. Blocks until the outcome; one registration at a time. Run it on a worker.
    int RegisterWithGatekeeper();

    std::atomic<int> connected{0};          // 1 while a call is established
    std::atomic<CDialerDlg *> window{nullptr};
    std::atomic<int> registering{0};        // 1 while a registration is under way
    Guarded<std::string> gatekeeperAddress;
    Guarded<std::string> gatekeeperIdentifier;
    Guarded<std::string> localInterface;

    // Where call signalling listens, comma-separated. Tests listen on 127.0.0.1 instead.
    std::string listenerInterfaces = "*:1737";

private:
    std::mutex m_registerMutex; // held for the whole of a registration
};
