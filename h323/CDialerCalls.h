#pragma once

#include <optional>
#include <string>

// The average signal levels of the two audio channels of a call, as their codecs report them
// (0 for silence); nullopt for a direction that has no channel.
struct CSignalLevels {
  std::optional<unsigned> received;
  std::optional<unsigned> transmitted;
};

// The call operations the dialer's window uses, each addressing a call by its token. None of them
// waits on the network; the few that look into a call hold its lock only for that look.
class CDialerCalls {
 public:
  virtual ~CDialerCalls() = default;

  // Places a call to party ("digits@" for the gatekeeper to resolve). token receives the new
  // call's token; a call that then fails ends through the endpoint's cleared event. False when
  // no call can be placed at all (no token, and no event will follow).
  virtual bool MakeCall(const std::string& party, std::string& token) = 0;
  // Asks the call to end (ended by the local user). False when there is no such call.
  virtual bool ClearCall(const std::string& token) = 0;
  virtual bool HasConnection(const std::string& token) = 0;
  // Sends value into the call as user input. False when there is no such call.
  virtual bool SendUserInput(const std::string& token, const std::string& value) = 0;
  // nullopt when there is no such call.
  virtual std::optional<CSignalLevels> GetSignalLevels(const std::string& token) = 0;
  // Inverts the pause of the call's audio channel from the far end (fromRemote) or towards it;
  // the channel's new state (true: paused), or nullopt when there is no such call or channel.
  virtual std::optional<bool> TogglePause(const std::string& token, bool fromRemote) = 0;
};
