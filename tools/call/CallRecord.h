#pragma once
// One call as vantro-call saw it: when each step came, the media's figures per direction, the keys
// sent and received, how it ended, and from that the exit code and the summary printed at its end.

#include "tools/call/CallAudio.h"
#include "tools/call/ExitCode.h"
#include "tools/call/JsonWriter.h"
#include "tools/call/ToolEvent.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantro::tool {

class EventPrinter;

class CallRecord {
 public:
  using Clock = std::chrono::steady_clock;
  using Step = endpoint::H323ConnectionHost::CallEvent;

  // A call that lasted this long after the connect without a channel each way failed its media.
  static constexpr std::chrono::seconds kMediaGrace{2};

  CallRecord(unsigned number, bool originating, std::string party, Clock::time_point start);

  void Apply(const ToolEvent& event);
  void KeySent(char key) { dtmfSent_ += key; }

  unsigned Number() const { return number_; }
  bool Ended() const { return ended_; }
  bool Established() const { return established_ || Seen(Step::Connected); }
  std::optional<Clock::time_point> TimeOf(Step step) const;

  // The exit code this call stands for. interrupted: a signal ended it.
  ExitCode Result(bool requireAudio, bool interrupted) const;
  // Prints the summary (text lines, or one "summary" object).
  void PrintSummary(EventPrinter& printer, const CallAudio::Heard& heard, ExitCode result) const;

 private:
  // The figures of one direction. The RTP counters (packets, octets, lost, dropped, jitter) are the
  // session's, which the channels of a direction share: the latest figures hold them all. The
  // jitter buffer's (late, duplicate, concealed) are each channel's own: added up over channels.
  struct Direction {
    std::string format;
    std::map<unsigned, endpoint::ChannelStatistics> channels;  // each channel's latest, by number
    std::optional<endpoint::ChannelStatistics> latest;
    bool seen = false;
    endpoint::ChannelStatistics Total() const;
  };

  bool Seen(Step step) const { return steps_.count(step) != 0; }
  void Take(Direction& direction, const std::optional<MediaSnapshot>& snapshot);
  bool MediaMissing() const;
  std::optional<long long> MsBetween(Clock::time_point from, std::optional<Clock::time_point> to) const;
  JsonWriter SetupTimes(std::vector<std::string>& words) const;

  const unsigned number_;
  const bool originating_;
  const std::string party_;
  const Clock::time_point start_;
  std::map<Step, Clock::time_point> steps_;  // the first time each step came
  Direction transmit_;
  Direction receive_;
  std::string dtmfSent_;
  std::string dtmfReceived_;
  bool ended_ = false;
  bool established_ = false;
  endpoint::H323CallEndReasons::CallEndReason endReason_ = endpoint::H323CallEndReasons::NumCallEndReasons;
  std::optional<unsigned> q931Cause_;
};

}  // namespace vantro::tool
