#pragma once
// The media path as call signalling sees it. This header is the whole of what H.245, fast start
// and the connection use of media:
//
//   - a call opens one RTP session per media kind (session 1: audio) on the local address its
//     signalling connection uses, and announces the session's two addresses (RTP data and RTCP
//     control) in OpenLogicalChannel, OpenLogicalChannelAck and fast start proposals;
//   - it gives the session the far end's addresses as they become known (fast start answer,
//     OpenLogicalChannel, OpenLogicalChannelAck);
//   - it creates one channel per direction for the capability chosen, starts it, pauses it when the
//     user asks, reads its statistics and closes it.
//
// Each channel moves its audio on a thread of its own, paced by its sound device (or by the clock
// when the device is a file or silence). Every operation here may be called from any thread; none
// waits on the network. Close joins the channel's thread, which takes at most about one frame.
//
// A missing or failing sound device never ends a call: the channel runs with silence in (transmit)
// or drops what it decodes (receive), and says so once in the log.

#include "stack/asn/H323Values.h"
#include "stack/endpoint/H323Capabilities.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace vantro::codecs {
class H323AudioCodec;
}

namespace vantro::endpoint {

// H.245 session number of audio.
inline constexpr unsigned kAudioSessionID = 1;

// Audio into a transmit channel: 8000 samples/s, mono, 16-bit. Read blocks for about the time the
// samples stand for (a sound device paces itself; a file or silence waits for the clock).
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // False when the source failed or was aborted; the channel then goes on with silence.
  virtual bool Read(std::span<std::int16_t> samples) = 0;
  // From any thread: a blocked Read returns false, and so does every later one.
  virtual void Abort() = 0;
};

// Audio out of a receive channel, in the same format; Write blocks as the device plays.
class AudioSink {
 public:
  virtual ~AudioSink() = default;
  virtual bool Write(std::span<const std::int16_t> samples) = 0;
  virtual void Abort() = 0;
};

// How a call's channels open their audio. Empty functions: the desktop's sound server (the named
// device, "" for its default, media role "phone", small buffers). A tool or a test plugs in files,
// silence or buffers here. A function that returns nullptr means the device cannot be used.
struct AudioDevices {
  std::function<std::unique_ptr<AudioSource>(const std::string& recordDevice)> openSource;
  std::function<std::unique_ptr<AudioSink>(const std::string& playDevice)> openSink;
};

// The endpoint's media settings, copied into each session and channel when it is made.
struct MediaOptions {
  std::string playDevice;
  std::string recordDevice;
  AudioDevices devices;
  unsigned typeOfService = 0;  // IP type-of-service octet of RTP and RTCP packets
  unsigned jitterMinimumMs = 28;
  unsigned jitterMaximumMs = 400;
  std::uint16_t rtpPortBase = 5000;  // RTP takes an even port of the range, RTCP the next one
  std::uint16_t rtpPortMax = 5999;
};

// The counters of one direction of one channel (RFC 3550 terms where they apply).
struct ChannelStatistics {
  std::uint64_t packets = 0;           // sent (transmit) or accepted (receive)
  std::uint64_t octets = 0;            // payload octets
  std::uint64_t packetsLost = 0;       // receive: expected but never arrived
  std::uint64_t packetsLate = 0;       // receive: arrived too late to play
  std::uint64_t packetsDuplicate = 0;  // receive
  std::uint64_t packetsDropped = 0;    // receive: not RTP v2, truncated, wrong payload type, wrong source
  std::uint64_t framesConcealed = 0;   // receive: frames made up for lost or late ones
  double jitterMs = 0;                 // receive: interarrival jitter; transmit: as the far end reports it
  unsigned jitterBufferMs = 0;         // receive: the jitter buffer's current delay
  unsigned averageLevel = 0;           // the codec's average signal level of the last frame
};

// One RTP session of a call: an RTP and an RTCP socket, shared by the session's channels.
class H323RtpSession {
 public:
  virtual ~H323RtpSession() = default;
  virtual unsigned GetSessionID() const = 0;
  // Where the far end sends RTP and RTCP to: the local IP the session was opened on and its ports.
  virtual asn::Ipv4Address GetLocalDataAddress() const = 0;
  virtual asn::Ipv4Address GetLocalControlAddress() const = 0;
  // The far end's addresses. Transmit channels send RTP to the data address; receive channels
  // take packets only from the far end (the data address's IP; a packet from another port of that
  // IP is latched onto once, as NAT boxes make peers do). Until a data address is known, the first
  // valid packet's source is latched.
  virtual void SetRemoteDataAddress(const asn::Ipv4Address& address) = 0;
  virtual void SetRemoteControlAddress(const asn::Ipv4Address& address) = 0;
  virtual std::optional<asn::Ipv4Address> GetRemoteDataAddress() const = 0;
  // Sends RTCP BYE, stops the session's channels and closes the sockets. Idempotent.
  virtual void Close() = 0;
};

// Opens a session: an even/odd port pair, the first free one of the options' range, on localIp.
// nullptr when no pair is free or the address cannot be bound; the reason goes to *error.
std::shared_ptr<H323RtpSession> OpenRtpSession(unsigned sessionID, const asn::Ipv4Address& localIp,
                                               const MediaOptions& options, std::string* error = nullptr);

// One direction of audio of a call: record device -> codec -> RTP (transmit), or RTP -> jitter
// buffer -> codec -> play device (receive).
class H323Channel {
 public:
  enum Directions { IsTransmitter, IsReceiver };

  struct Parameters {
    std::shared_ptr<const H323Capability> capability;
    Directions direction = IsReceiver;
    unsigned number = 0;                  // the H.245 logical channel number
    std::optional<unsigned> payloadType;  // dynamicRTPPayloadType of the far end; else the capability's
    unsigned framesPerPacket = 0;         // transmit: codec frames per RTP packet; 0: the capability's default
  };

  virtual ~H323Channel() = default;
  virtual Directions GetDirection() const = 0;
  virtual unsigned GetSessionID() const = 0;
  virtual unsigned GetNumber() const = 0;
  virtual const H323Capability& GetCapability() const = 0;
  // The channel's codec; its average signal level may be read from any thread.
  virtual codecs::H323AudioCodec* GetCodec() const = 0;

  // Opens the sound device and starts the channel's thread. False when the codec cannot run (the
  // call should then close the channel); a sound device that cannot be opened is not a failure.
  virtual bool Start() = 0;
  virtual bool IsRunning() const = 0;
  // Stops the thread and closes the device. Idempotent.
  virtual void Close() = 0;

  // A paused transmit channel sends nothing; a paused receive channel plays silence and keeps its
  // buffer drained.
  virtual bool IsPaused() const = 0;
  virtual void SetPause(bool pause) = 0;

  virtual ChannelStatistics GetStatistics() const = 0;
};

// A channel on a session, not yet started. nullptr when the capability has no codec here.
std::unique_ptr<H323Channel> CreateAudioChannel(std::shared_ptr<H323RtpSession> session,
                                                const H323Channel::Parameters& parameters, const MediaOptions& options);

}  // namespace vantro::endpoint
