#pragma once
// vantro-call's command line: `vantro-call [options] call PARTY | answer`, or --list-devices, or
// --help. Parsing checks every value and the options against each other, so that a mistake is
// told before anything touches the network.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantro::tool {

struct CallOptions {
  enum class Mode { Call, Answer, ListDevices, Help };
  enum class Codec { G729A, G7231, G711u, G711a };

  Mode mode = Mode::Help;
  std::string party;  // call: "digits@", "alias@host[:port]" or "host[:port]"

  // Registration; no gatekeeper: calls go to addresses directly.
  std::string gatekeeper;  // "host[:port]"
  std::string user = "vantro-call";
  std::string password;
  std::string listen;  // "addr:port"; empty: the mode's default (ListenInterface)

  // Audio. Devices are named as --list-devices prints them; "" is the sound server's default.
  std::string wavIn;
  std::string wavOut;
  std::optional<std::string> playDevice;
  std::optional<std::string> recordDevice;

  std::string dtmf;  // keys to send after the connect: 0-9 * # A-D
  unsigned dtmfGapMs = 300;

  std::vector<Codec> codecs;  // in order of preference; empty: DefaultCodecs()
  bool noFastStart = false;
  bool noTunnel = false;
  std::optional<double> durationSeconds;  // from the connect; none: until the far end clears
  std::optional<double> timeoutSeconds;   // call: until connected; answer: until a call comes
  double answerDelaySeconds = 0;          // answer: ring this long before answering
  unsigned maxCalls = 0;                  // answer: stop after this many calls; 0: no limit
  bool requireAudio = false;              // an established call that received no RTP failed
  std::uint16_t rtpPortBase = 0;          // 0: the stack's default range
  std::uint16_t rtpPortMax = 0;
  std::optional<unsigned> traceLevel;
  bool json = false;

  // The listener to open: --listen, or *:1720 when answering and *:0 (any free port) when calling.
  std::string ListenInterface() const;
  std::vector<Codec> EffectiveCodecs() const;
};

// nullopt with error set when the arguments (without the program name) are wrong.
std::optional<CallOptions> ParseCallOptions(const std::vector<std::string>& args, std::string& error);

// The --help text.
std::string CallOptionsUsage();

const char* CodecOptionName(CallOptions::Codec codec);

}  // namespace vantro::tool
