#pragma once
// The media of one call: its RTP session (audio, session 1) and a channel per direction, opened
// by fast start (proposed in Setup, chosen by the callee) or by H.245 logical channel signalling,
// whichever the call uses.
//
// Runs on the connection's strand under its lock; the channels' own threads never call in here.
// Channels are closed outside the lock (TakeAll): closing one joins its thread.

#include "stack/endpoint/H323Capabilities.h"
#include "stack/endpoint/H323Channel.h"
#include "stack/h245/H245Control.h"
#include "stack/h245/H245FastStart.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantro::endpoint {
class H323Connection;
class H323ConnectionHost;
}  // namespace vantro::endpoint

namespace vantro::h225 {

using Octets = std::vector<std::uint8_t>;

class CallMedia {
 public:
  CallMedia(endpoint::H323ConnectionHost& host, endpoint::H323Connection& connection,
            endpoint::H323Capabilities capabilities);
  ~CallMedia();
  CallMedia(const CallMedia&) = delete;
  CallMedia& operator=(const CallMedia&) = delete;

  // Opens the call's audio session on the local address of its signalling. False when none
  // could be opened (the reason is logged).
  bool OpenSession(const asn::Ipv4Address& localIp);
  bool HasSession() const { return session_ != nullptr; }

  // --- fast start ---
  // Caller: the proposals for Setup (empty without a session or capabilities).
  std::vector<Octets> BuildProposals();
  // Callee: picks from the caller's proposals and starts the channels; the elements to return,
  // empty when nothing fits.
  std::vector<Octets> AnswerProposals(const std::vector<Octets>& proposals);
  // Caller: the callee's choice; starts the channels. False when nothing in it could be used.
  bool TakeFastStartAnswer(const std::vector<Octets>& reply);
  bool IsFastStarted() const { return fastStarted_; }
  // The channels fast start opened (number, whether we transmit), for the H.245 control.
  const std::vector<std::pair<unsigned, bool>>& FastStartChannels() const { return fastStartChannels_; }

  // --- H.245 logical channels ---
  // Opens our transmit channel for the first of our capabilities the far end can receive, unless
  // fast start runs. False when there is none.
  bool OpenTransmitChannel(h245::H245Control& control);
  h245::IncomingAnswer OnOpenChannel(const h245::IncomingChannel& channel);
  void OnChannelOpened(unsigned number, std::optional<asn::Ipv4Address> media, std::optional<asn::Ipv4Address> control,
                       std::optional<unsigned> payloadType);
  // Our proposal was rejected: tries the next common capability. False when none is left.
  bool OnChannelRejected(unsigned number, h245::H245Control& control);
  void OnChannelClosed(unsigned number);

  bool IsMediaRunning() const { return transmit_ || receive_; }
  endpoint::H323Channel* FindChannel(unsigned sessionID, bool fromRemote) const;

  // Everything the media holds, for closing outside the lock: the channels, then the session.
  struct Resources {
    std::vector<std::unique_ptr<endpoint::H323Channel>> channels;
    std::shared_ptr<endpoint::H323RtpSession> session;
    void Close();
  };
  Resources TakeAll();
  // Channels closed during the call, for closing outside the lock.
  std::vector<std::unique_ptr<endpoint::H323Channel>> TakeRetired();

 private:
  h245::FastStartLocal Local() const;
  bool StartChannel(const std::shared_ptr<const endpoint::H323Capability>& capability, bool transmit, unsigned number,
                    std::optional<unsigned> payloadType, unsigned framesPerPacket);
  void Retire(std::unique_ptr<endpoint::H323Channel> channel);
  bool OpenNextCandidate(h245::H245Control& control);

  endpoint::H323ConnectionHost& host_;
  endpoint::H323Connection& connection_;
  endpoint::H323Capabilities capabilities_;
  std::shared_ptr<endpoint::H323RtpSession> session_;
  std::unique_ptr<endpoint::H323Channel> transmit_;
  std::unique_ptr<endpoint::H323Channel> receive_;
  std::vector<std::unique_ptr<endpoint::H323Channel>> retired_;  // closed channels, awaiting TakeAll
  std::vector<Octets> proposals_;
  bool fastStarted_ = false;
  bool h245Opening_ = false;  // StartChannel for an H.245 logical channel, not fast start
  std::vector<std::pair<unsigned, bool>> fastStartChannels_;
  bool mediaStartedReported_ = false;
  // Our transmit channel opened through H.245: the candidates left and the one asked for.
  struct Pending {
    unsigned number = 0;
    std::shared_ptr<const endpoint::H323Capability> capability;
    unsigned framesPerPacket = 0;
  };
  std::vector<Pending> candidates_;
  std::optional<Pending> pending_;
};

}  // namespace vantro::h225
