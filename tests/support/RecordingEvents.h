#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "h323/CDialerEvents.h"

// A window stand-in that writes down what it is told, one line per event ("registering",
// "registered", "failed <message>", "alerting <token>", "established <token> <in|out> <number>",
// "cleared <token> <0|1>", "balance start", "balance end", "balance <text>|<pin>|<serial>").
// Thread-safe.
class RecordingEvents : public CDialerEvents {
 public:
  void OnRegistering() override;
  void OnRegistered() override;
  void OnRegistrationFailed(const std::string& message) override;
  void OnCallAlerting(const std::string& token) override;
  void OnCallEstablished(const std::string& token, bool incoming, const std::string& remoteNumber) override;
  void OnCallCleared(const std::string& token, bool established) override;
  void OnBalanceRefresh(bool running) override;
  void OnBalance(const std::string& text, const std::string& pin, const std::string& serial) override;

  std::vector<std::string> Events() const;
  // Waits until pred holds for the events so far; false when the time runs out.
  bool WaitFor(const std::function<bool(const std::vector<std::string>&)>& pred,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

 private:
  void Note(std::string event);
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<std::string> m_events;
};
