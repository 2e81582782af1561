#include "tools/call/CallRecord.h"

#include "tools/call/EventPrinter.h"

#include <cstdio>

namespace vantro::tool {

namespace {

using endpoint::ChannelStatistics;

std::string Format(const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

CallRecord::CallRecord(unsigned number, bool originating, std::string party, Clock::time_point start)
    : number_(number), originating_(originating), party_(std::move(party)), start_(start) {}

ChannelStatistics CallRecord::Direction::Total() const {
  ChannelStatistics total = latest.value_or(ChannelStatistics());
  total.packetsLate = total.packetsDuplicate = total.framesConcealed = 0;
  for (const auto& [number, s] : channels) {
    total.packetsLate += s.packetsLate;
    total.packetsDuplicate += s.packetsDuplicate;
    total.framesConcealed += s.framesConcealed;
  }
  return total;
}

void CallRecord::Take(Direction& direction, const std::optional<MediaSnapshot>& snapshot) {
  if (!snapshot) return;
  direction.seen = true;
  direction.format = snapshot->format;
  direction.channels[snapshot->channel] = snapshot->statistics;
  direction.latest = snapshot->statistics;
}

void CallRecord::Apply(const ToolEvent& event) {
  switch (event.kind) {
    case ToolEvent::Kind::Step:
      steps_.emplace(event.step, event.at);
      if (event.step == Step::MediaStarted) {
        // "transmit G.711-uLaw-64k": the direction has a channel even if it closes unseen.
        Direction& d = event.detail.starts_with("transmit") ? transmit_ : receive_;
        d.seen = true;
        if (const auto blank = event.detail.find(' '); blank != std::string::npos)
          d.format = event.detail.substr(blank + 1);
      }
      if (event.step == Step::Clearing) {
        Take(transmit_, event.transmit);
        Take(receive_, event.receive);
      }
      break;
    case ToolEvent::Kind::ChannelClosed:
      Take(transmit_, event.transmit);
      Take(receive_, event.receive);
      break;
    case ToolEvent::Kind::UserInput: dtmfReceived_ += event.detail; break;
    case ToolEvent::Kind::Cleared:
      ended_ = true;
      established_ = event.established;
      endReason_ = event.endReason;
      q931Cause_ = event.q931Cause;
      steps_.emplace(Step::Cleared, event.at);
      break;
    case ToolEvent::Kind::Incoming:
    case ToolEvent::Kind::Signal: break;
  }
}

std::optional<CallRecord::Clock::time_point> CallRecord::TimeOf(Step step) const {
  auto it = steps_.find(step);
  if (it == steps_.end()) return std::nullopt;
  return it->second;
}

bool CallRecord::MediaMissing() const {
  const auto connected = TimeOf(Step::Connected);
  const auto end = TimeOf(Step::Clearing) ? TimeOf(Step::Clearing) : TimeOf(Step::Cleared);
  if (!connected || !end || *end - *connected < kMediaGrace) return false;
  return !transmit_.seen || !receive_.seen;
}

ExitCode CallRecord::Result(bool requireAudio, bool interrupted) const {
  if (!Established() && interrupted) return ExitCode::Interrupted;
  const ExitCode code = ExitCodeForCallEnd(endReason_, Established());
  if (code != ExitCode::Ok) return code;
  if (MediaMissing()) return ExitCode::MediaFailed;
  if (requireAudio && receive_.Total().packets == 0) return ExitCode::MediaFailed;
  return code;
}

std::optional<long long> CallRecord::MsBetween(Clock::time_point from, std::optional<Clock::time_point> to) const {
  if (!to) return std::nullopt;
  return std::chrono::duration_cast<std::chrono::milliseconds>(*to - from).count();
}

// The set-up times in milliseconds: calling, from the start of the call; answering, from its Setup.
JsonWriter CallRecord::SetupTimes(std::vector<std::string>& words) const {
  JsonWriter json;
  const auto add = [&](const char* name, std::optional<long long> ms) {
    if (!ms) return;
    json.Add(name, static_cast<std::int64_t>(*ms));
    words.push_back(std::string(name) + " " + std::to_string(*ms) + " ms");
  };
  if (const auto asked = TimeOf(Step::AdmissionRequested)) add("admission", MsBetween(*asked, TimeOf(Step::Admitted)));
  const Clock::time_point from = originating_ ? start_ : TimeOf(Step::SetupReceived).value_or(start_);
  if (originating_) {
    add("proceeding", MsBetween(from, TimeOf(Step::Proceeding)));
    add("alerting", MsBetween(from, TimeOf(Step::Alerting)));
  }
  add("media", MsBetween(from, TimeOf(Step::MediaStarted)));
  add("connect", MsBetween(from, TimeOf(Step::Connected)));
  return json;
}

void CallRecord::PrintSummary(EventPrinter& printer, const CallAudio::Heard& heard, ExitCode result) const {
  const std::string indent(26, ' ');
  JsonWriter json;
  json.Add("call", number_).Add("direction", originating_ ? "outgoing" : "incoming");
  if (!party_.empty()) json.Add("party", party_);
  json.Add("established", Established());
  json.Add("endReason", endpoint::H323CallEndReasons::CallEndReasonName(endReason_));
  if (q931Cause_) json.Add("q931Cause", *q931Cause_);
  json.Add("exitCode", static_cast<int>(result)).Add("result", ExitCodeMeaning(result));

  std::string head = std::string(Established() ? "established" : "not established") + ", " +
                     endpoint::H323CallEndReasons::CallEndReasonName(endReason_) +
                     (q931Cause_ ? ", Q.931 cause " + std::to_string(*q931Cause_) : std::string()) + ": " +
                     ExitCodeMeaning(result);
  std::vector<std::string> lines;

  if (transmit_.seen || receive_.seen) {
    JsonWriter codec;
    if (transmit_.seen) codec.Add("transmit", transmit_.format);
    if (receive_.seen) codec.Add("receive", receive_.format);
    json.Add("codec", codec);
    const bool same = transmit_.seen && receive_.seen && transmit_.format == receive_.format;
    lines.push_back("codec         " +
                    (same ? transmit_.format + " both ways"
                          : "sent " + (transmit_.seen ? transmit_.format : std::string("nothing")) + ", received " +
                                (receive_.seen ? receive_.format : std::string("nothing"))));
  } else {
    lines.push_back("codec         none: no media channel");
  }

  std::vector<std::string> words;
  JsonWriter setup = SetupTimes(words);
  json.Add("setupMs", setup);
  if (!words.empty()) {
    std::string text;
    for (const auto& w : words) text += (text.empty() ? "" : ", ") + w;
    lines.push_back("set-up        " + text);
  }
  if (const auto connected = TimeOf(Step::Connected)) {
    const auto end = TimeOf(Step::Clearing).value_or(TimeOf(Step::Cleared).value_or(Clock::now()));
    const double seconds = std::chrono::duration<double>(end - *connected).count();
    json.Add("connectedSeconds", seconds);
    lines.push_back("connected     " + Format("%.2f s", seconds));
  }

  if (transmit_.seen) {
    const ChannelStatistics s = transmit_.Total();
    json.Add("sent", JsonWriter().Add("packets", s.packets).Add("octets", s.octets).Add("jitterMs", s.jitterMs));
    lines.push_back("sent          " + std::to_string(s.packets) + " RTP packets, " + std::to_string(s.octets) +
                    " octets; jitter at the far end " + Format("%.1f ms", s.jitterMs));
  }
  if (receive_.seen) {
    const ChannelStatistics s = receive_.Total();
    const double expected = static_cast<double>(s.packets + s.packetsLost);
    const double lossPercent = expected > 0 ? 100.0 * static_cast<double>(s.packetsLost) / expected : 0.0;
    json.Add("received", JsonWriter()
                             .Add("packets", s.packets)
                             .Add("octets", s.octets)
                             .Add("lost", s.packetsLost)
                             .Add("lossPercent", lossPercent)
                             .Add("late", s.packetsLate)
                             .Add("duplicate", s.packetsDuplicate)
                             .Add("dropped", s.packetsDropped)
                             .Add("jitterMs", s.jitterMs)
                             .Add("concealedFrames", s.framesConcealed));
    lines.push_back("received      " + std::to_string(s.packets) + " RTP packets, " + std::to_string(s.packetsLost) +
                    " lost (" + Format("%.1f %%", lossPercent) + "), " + std::to_string(s.packetsLate) + " late, " +
                    std::to_string(s.packetsDropped) + " dropped; jitter " + Format("%.1f ms", s.jitterMs) + "; " +
                    std::to_string(s.framesConcealed) + " frames concealed");
  }
  json.Add("levelHeard", heard.meanLevel).Add("heardSeconds", heard.seconds);
  if (receive_.seen || heard.seconds > 0)
    lines.push_back("level heard   " + Format("%.0f", heard.meanLevel) + " (mean of |sample|, full scale 32768, over " +
                    Format("%.1f s)", heard.seconds));
  if (!dtmfSent_.empty() || !dtmfReceived_.empty()) {
    json.Add("dtmfSent", dtmfSent_).Add("dtmfReceived", dtmfReceived_);
    lines.push_back("dtmf          sent \"" + dtmfSent_ + "\", received \"" + dtmfReceived_ + "\"");
  }
  if (!heard.wavPath.empty() && heard.error.empty()) {
    json.Add("recording", heard.wavPath);
    lines.push_back("recording     " + heard.wavPath + (heard.truncated ? " (the first hour)" : ""));
  }

  printer.Print("summary", head, json);
  for (const auto& line : lines) printer.Line(indent + line);
}

}  // namespace vantro::tool
