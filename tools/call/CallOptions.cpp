#include "tools/call/CallOptions.h"

#include "stack/h225/CallTarget.h"
#include "stack/ras/TransportAddress.h"
#include "tools/call/ExitCode.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <sstream>

namespace vantro::tool {

namespace {

using Codec = CallOptions::Codec;

constexpr double kLongestWaitSeconds = 86400;

const std::vector<std::pair<const char*, Codec>>& CodecNames() {
  static const std::vector<std::pair<const char*, Codec>> names = {
      {"g729a", Codec::G729A}, {"g7231", Codec::G7231}, {"g711u", Codec::G711u}, {"g711a", Codec::G711a}};
  return names;
}

std::optional<double> ParseSeconds(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value) || value <= 0 || value > kLongestWaitSeconds)
    return std::nullopt;
  return value;
}

std::optional<unsigned> ParseUnsigned(const std::string& text, unsigned low, unsigned high) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
  return value;
}

bool ParseRtpPorts(const std::string& text, CallOptions& options) {
  const auto dash = text.find('-');
  if (dash == std::string::npos) return false;
  const auto base = ParseUnsigned(text.substr(0, dash), 1024, 65534);
  const auto max = ParseUnsigned(text.substr(dash + 1), 1025, 65535);
  if (!base || !max || *base % 2 != 0 || *max < *base + 1) return false;
  options.rtpPortBase = static_cast<std::uint16_t>(*base);
  options.rtpPortMax = static_cast<std::uint16_t>(*max);
  return true;
}

// Keys as H.245 user input carries them; letters in upper case.
std::optional<std::string> ParseKeys(const std::string& text) {
  std::string keys;
  for (char c : text) {
    const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!std::isdigit(static_cast<unsigned char>(up)) && up != '*' && up != '#' && (up < 'A' || up > 'D'))
      return std::nullopt;
    keys += up;
  }
  if (keys.empty()) return std::nullopt;
  return keys;
}

// Keeps a value that parsed; false when it did not.
template <class T, class U>
bool Store(T& into, const std::optional<U>& value) {
  if (value) into = *value;
  return value.has_value();
}

// A device name as given: "default" is the sound server's default device.
std::string DeviceName(const std::string& text) { return text == "default" ? std::string() : text; }

// Checks the options against each other once all are read.
bool Check(CallOptions& o, std::string& error) {
  if (o.mode == CallOptions::Mode::Call) {
    const auto target = h225::ParseCallTarget(o.party);
    if (!target) {
      error = "\"" + o.party + "\" names no party (digits@, alias@host[:port] or host[:port])";
      return false;
    }
    if (target->host.empty() && o.gatekeeper.empty()) {
      error = "\"" + o.party + "\" is resolved by a gatekeeper: give --gatekeeper, or call alias@host[:port]";
      return false;
    }
    if (o.maxCalls) {
      error = "--max-calls is for answer";
      return false;
    }
    if (o.answerDelaySeconds > 0) {
      error = "--answer-delay is for answer";
      return false;
    }
  }
  if (!o.wavIn.empty() && o.recordDevice) {
    error = "--wav-in and --record-device both name what is sent: choose one";
    return false;
  }
  if (!o.wavOut.empty() && o.playDevice) {
    error = "--wav-out and --play-device both name where the far end's audio goes: choose one";
    return false;
  }
  if (!o.password.empty() && o.gatekeeper.empty()) {
    error = "--password is the gatekeeper's: give --gatekeeper too";
    return false;
  }
  return true;
}

}  // namespace

const char* CodecOptionName(Codec codec) {
  for (const auto& [name, c] : CodecNames())
    if (c == codec) return name;
  return "?";
}

std::string CallOptions::ListenInterface() const {
  if (!listen.empty()) return listen;
  return mode == Mode::Answer ? "*:1720" : "*:0";
}

std::vector<Codec> CallOptions::EffectiveCodecs() const {
  if (!codecs.empty()) return codecs;
  return {Codec::G729A, Codec::G7231, Codec::G711u, Codec::G711a};
}

std::optional<CallOptions> ParseCallOptions(const std::vector<std::string>& args, std::string& error) {
  CallOptions o;
  bool help = false, listDevices = false;
  std::vector<std::string> words;  // the command and its party

  // Options with a value: what each does with it; false when the value is wrong.
  using Setter = std::function<bool(const std::string&)>;
  const std::map<std::string, Setter> valued = {
      {"--gatekeeper",
       [&](const std::string& v) {
         o.gatekeeper = v;
         return ras::ParseHostAndPort(v, ras::kDefaultRasPort).has_value();
       }},
      {"--user",
       [&](const std::string& v) {
         o.user = v;
         return !v.empty();
       }},
      {"--password",
       [&](const std::string& v) {
         o.password = v;
         return true;
       }},
      {"--listen",
       [&](const std::string& v) {
         o.listen = v;
         return ras::ParseListenerInterface(v).has_value();
       }},
      {"--wav-in",
       [&](const std::string& v) {
         o.wavIn = v;
         return !v.empty();
       }},
      {"--wav-out",
       [&](const std::string& v) {
         o.wavOut = v;
         return !v.empty();
       }},
      {"--play-device",
       [&](const std::string& v) {
         o.playDevice = DeviceName(v);
         return !v.empty();
       }},
      {"--record-device",
       [&](const std::string& v) {
         o.recordDevice = DeviceName(v);
         return !v.empty();
       }},
      {"--dtmf", [&](const std::string& v) { return Store(o.dtmf, ParseKeys(v)); }},
      {"--dtmf-gap", [&](const std::string& v) { return Store(o.dtmfGapMs, ParseUnsigned(v, 40, 60000)); }},
      {"--codec",
       [&](const std::string& v) {
         for (const auto& [name, codec] : CodecNames())
           if (v == name) {
             o.codecs.push_back(codec);
             return true;
           }
         return false;
       }},
      {"--duration", [&](const std::string& v) { return Store(o.durationSeconds, ParseSeconds(v)); }},
      {"--timeout", [&](const std::string& v) { return Store(o.timeoutSeconds, ParseSeconds(v)); }},
      {"--answer-delay", [&](const std::string& v) { return Store(o.answerDelaySeconds, ParseSeconds(v)); }},
      {"--max-calls", [&](const std::string& v) { return Store(o.maxCalls, ParseUnsigned(v, 1, 1000000)); }},
      {"--rtp-ports", [&](const std::string& v) { return ParseRtpPorts(v, o); }},
      {"--trace", [&](const std::string& v) { return Store(o.traceLevel, ParseUnsigned(v, 0, 5)); }},
  };
  const std::map<std::string, bool*> flags = {{"--help", &help},
                                              {"-h", &help},
                                              {"--list-devices", &listDevices},
                                              {"--no-fast-start", &o.noFastStart},
                                              {"--no-tunnel", &o.noTunnel},
                                              {"--json", &o.json},
                                              {"--require-audio", &o.requireAudio}};

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
      continue;
    }
    std::optional<std::string> value;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
    }
    if (auto f = flags.find(arg); f != flags.end()) {
      if (value) {
        error = arg + " takes no value";
        return std::nullopt;
      }
      *f->second = true;
      continue;
    }
    auto v = valued.find(arg);
    if (v == valued.end()) {
      error = "unknown option " + arg + " (--help lists them)";
      return std::nullopt;
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (!v->second(*value)) {
      error = "bad value for " + arg + ": \"" + *value + "\" (--help says what it takes)";
      return std::nullopt;
    }
  }

  if (help) {
    o.mode = CallOptions::Mode::Help;
    return o;
  }
  if (listDevices) {
    if (!words.empty()) {
      error = "--list-devices takes no command";
      return std::nullopt;
    }
    o.mode = CallOptions::Mode::ListDevices;
    return o;
  }
  if (words.empty()) {
    error = "say what to do: call PARTY or answer (--help tells more)";
    return std::nullopt;
  }
  if (words[0] == "call") {
    if (words.size() != 2) {
      error = words.size() < 2 ? "call needs the party to call" : "call takes one party";
      return std::nullopt;
    }
    o.mode = CallOptions::Mode::Call;
    o.party = words[1];
  } else if (words[0] == "answer") {
    if (words.size() != 1) {
      error = "answer takes no party";
      return std::nullopt;
    }
    o.mode = CallOptions::Mode::Answer;
  } else {
    error = "unknown command \"" + words[0] + "\": call PARTY or answer";
    return std::nullopt;
  }
  if (!Check(o, error)) return std::nullopt;
  return o;
}

std::string CallOptionsUsage() {
  std::ostringstream out;
  out << R"(vantro-call: places or answers one H.323 call from the command line and reports it, for line tests.

usage: vantro-call [options] call PARTY
       vantro-call [options] answer
       vantro-call --list-devices

PARTY is "digits@" (a number the gatekeeper resolves, as the dialer's window dials; plain digits
work too), "alias@host[:port]" or "host[:port]" (port 1720 unless given).

Registration (without --gatekeeper, calls go to addresses directly and answer takes every call):
  --gatekeeper HOST[:PORT]  register with this gatekeeper (RAS port 1719 unless given)
  --user ALIAS              our alias (default vantro-call)
  --password PW             the gatekeeper password (H.235 tokens)
  --listen ADDR:PORT        call signalling listener, e.g. 127.0.0.1:1737 or *:1720
                            (default: *:1720 when answering, any free port when calling)

Audio (8000 Hz mono 16-bit; WAV files of other rates or channel counts are converted; by default
silence is sent, and what is heard is measured only):
  --wav-in FILE             send this WAV file (once, then silence)
  --wav-out FILE            record what is heard (answer: the second call to FILE-2.wav, ...)
  --record-device NAME      send what this sound device records
  --play-device NAME        play what is heard on this sound device
                            (NAME as --list-devices prints it; "default": the server's default)
  --list-devices            list the sound devices and exit

The call:
  --codec g729a|g7231|g711u|g711a  offer this codec; repeat in order of preference
                            (default: g729a g7231 g711u g711a)
  --no-fast-start           open the media by H.245 only
  --no-tunnel               H.245 on a connection of its own instead of inside call signalling
  --dtmf KEYS               send these keys (0-9 * # A-D) after the connect
  --dtmf-gap MS             time before each key (default 300)
  --duration S              clear the call S seconds after the connect (default: when the far end does)
  --timeout S               call: give up when not connected after S seconds (also bounds the
                            gatekeeper's discovery); answer: when no call came for S seconds
  --answer-delay S          answer: ring S seconds before answering
  --max-calls N             answer: stop after N calls (default: go on until Ctrl-C)
  --require-audio           an established call that received no RTP counts as media failed
  --rtp-ports BASE-MAX      RTP/RTCP port range (default 5000-5999)

Output:
  --json                    one JSON object per line and event instead of text
  --trace N                 the stack's trace to standard error (1 errors ... 5 every packet)
  --help                    this text

Every step is printed with the seconds since the start; at the end of each call a summary (codec,
set-up times, RTP packets, loss, jitter, concealed frames per direction, average level heard).

Exit status:
)";
  for (int code = 0; code <= static_cast<int>(ExitCode::NoCall); ++code)
    out << "  " << (code < 10 ? " " : "") << code << "  " << ExitCodeMeaning(static_cast<ExitCode>(code)) << "\n";
  out << "Ctrl-C or SIGTERM clears the call and unregisters before exiting.\n";
  return out.str();
}

}  // namespace vantro::tool
