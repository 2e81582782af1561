#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "h323/CDialerCalls.h"

// The call operations of an endpoint without a network, for tests of the window: calls are
// tokens that live until the test (or ClearCall) ends them; what the window asks is recorded. The
// test plays the stack and sends the window's events itself. Thread-safe.
class FakeCalls : public CDialerCalls {
 public:
  bool MakeCall(const std::string& party, std::string& token) override;
  bool ClearCall(const std::string& token) override;
  bool HasConnection(const std::string& token) override;
  bool SendUserInput(const std::string& token, const std::string& value) override;
  std::optional<CSignalLevels> GetSignalLevels(const std::string& token) override;
  std::optional<bool> TogglePause(const std::string& token, bool fromRemote) override;

  // MakeCall fails (no token) while this is false.
  void SetPlaceable(bool placeable);
  // The levels every live call reports.
  void SetLevels(const CSignalLevels& levels);
  // The call ends (its cleared event is the test's to send).
  void End(const std::string& token);

  std::vector<std::string> Parties() const;        // MakeCall's parties, in order
  std::vector<std::string> ClearRequests() const;  // ClearCall's tokens, in order
  std::string LastToken() const;

 private:
  struct Call {
    bool receivePaused = false;
    bool transmitPaused = false;
  };
  mutable std::mutex m_mutex;
  bool m_placeable = true;
  int m_next = 0;
  CSignalLevels m_levels;
  std::map<std::string, Call> m_live;
  std::vector<std::string> m_parties;
  std::vector<std::string> m_clears;
  std::string m_last;
};
