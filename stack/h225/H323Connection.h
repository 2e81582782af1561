#pragma once
// One call: its call signalling channel (Q.931 with H.225.0 over TCP), its H.245 control
// (tunnelled or on a connection of its own), its media (fast start or H.245 logical channels),
// its admission at the gatekeeper, and the one path by which it ends.
//
// The endpoint owns its connections and finds them by token. All of a connection's work runs on
// its strand of the endpoint's io_context; the operations of the public API may be called from
// any thread and return at once (they post to the strand). The connection's mutex is held by the
// strand's handlers for their short work and by H323ConnectionLock for a user thread.
//
// A call ends once, whatever ends it (ClearCall, the far end's Release Complete, a closed or
// failed signalling connection, a timer, the gatekeeper's DisengageRequest): H.245 says
// EndSessionCommand, Release Complete goes out with the reason, channels and sockets close, the
// gatekeeper hears DRQ, and OnConnectionCleared runs exactly once.

#include "stack/asn/Value.h"
#include "stack/endpoint/H323Channel.h"
#include "stack/h225/CallTarget.h"
#include "stack/h225/H225Message.h"
#include "stack/h225/H225MessageBuilder.h"
#include "stack/h225/H245Transport.h"
#include "stack/h225/H323CallEndReasons.h"
#include "stack/h225/H323ConnectionHost.h"
#include "stack/h245/H245Control.h"

#include <asio.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace vantro::h225 {
class CallMedia;
class TpktChannel;
}  // namespace vantro::h225

namespace vantro::endpoint {

class H323Connection : public H323CallEndReasons,
                       public std::enable_shared_from_this<H323Connection>,
                       private h225::H245Transport::Owner,
                       private h245::H245Control::Owner {
 public:
  H323Connection(H323ConnectionHost& host, unsigned callReference);
  virtual ~H323Connection();
  H323Connection(const H323Connection&) = delete;
  H323Connection& operator=(const H323Connection&) = delete;

  // --- the call API ---
  const std::string& GetCallToken() const { return token_; }
  unsigned GetCallReference() const { return callReference_; }
  bool IsOriginating() const;
  bool IsEstablished() const;
  // Set when the call was established (Connect sent or received); nullopt before / never.
  std::optional<std::chrono::system_clock::time_point> GetConnectionStartTime() const;
  CallEndReason GetCallEndReason() const;        // NumCallEndReasons while the call runs
  std::optional<unsigned> GetQ931Cause() const;  // the cause of the Release Complete, either way
  std::string GetRemotePartyName() const;        // display / h323-ID of the far end
  std::string GetRemotePartyNumber() const;      // its dialedDigits / calling or called number
  std::string GetRemotePartyAddress() const;     // "ip:port" of its signalling
  // Returns at once; sends one UserInputIndication alphanumeric carrying value.
  void SendUserInput(const std::string& value);
  // The channel of an RTP session from the far end (fromRemote) or towards it. Valid while the
  // connection is locked (FindConnectionWithLock).
  H323Channel* FindChannel(unsigned sessionID, bool fromRemote) const;
  // Returns at once; the call ends through the one clearing path.
  void ClearCall(CallEndReason reason = EndedByLocalUser);
  // Answers an incoming call that OnAnswerCall left ringing (AnswerCallPending): AnswerCallNow
  // connects it, AnswerCallDenied refuses it. Returns at once.
  void AnsweringCall(H323ConnectionHost::AnswerCallResponse response);

  // --- for the endpoint ---
  std::recursive_mutex& GetMutex() const { return mutex_; }
  // The connection's strand.
  asio::any_io_executor GetExecutor() const { return strand_; }
  // Places the call to a party (see CallTarget.h); returns at once.
  void PlaceCall(const std::string& party);
  // Takes over an accepted signalling channel whose first message was this Setup; returns at once.
  void AnswerIncoming(std::shared_ptr<h225::TpktChannel> channel, h225::H225Message setup);
  // What the gatekeeper hears about the call (ARQ, DRQ, IRR).
  ras::H323Gatekeeper::CallInfo GetCallInfo() const;
  // The call identifier's 16 octets.
  std::string GetCallIdentifier() const;
  bool IsCleared() const;
  // True once the call is in the endpoint's table (outgoing: from the start).
  bool IsAdmittedCall() const;

 private:
  enum class Phase {
    Idle,            // created, not started
    Admitting,       // outgoing: ARQ sent; incoming: Setup received, ARQ sent
    Connecting,      // outgoing: TCP connect
    AwaitingAnswer,  // outgoing: Setup sent
    Proceeding,      // outgoing: Call Proceeding (or Progress) received
    Alerting,        // outgoing: Alerting received
    Answering,       // incoming: admitted, Call Proceeding sent, deciding
    Ringing,         // incoming: Alerting sent, waiting for AnsweringCall
    Established,     // Connect sent or received
    Released,        // cleared
  };

  // Runs fn under the lock; an exception ends the call (never the thread). Post runs it on the
  // strand later; Guarded, on the strand now.
  void Post(const char* where, std::function<void()> fn);
  void Guarded(const char* where, const std::function<void()>& fn);

  // outgoing
  void StartOutgoing(const h225::CallTarget& target);
  void RequestAdmission(std::optional<asn::Ipv4Address> direct);
  void OnAdmission(const ras::H323Gatekeeper::Admission& admission, std::optional<asn::Ipv4Address> direct);
  void ConnectSignalling(const asn::Ipv4Address& to);
  void OnSignallingConnected(std::error_code ec);
  void SendSetup();
  void FollowForward(const asn::Value& facility);
  // incoming
  void OnIncomingSetup();
  void OnIncomingAdmission(const ras::H323Gatekeeper::Admission& admission);
  void Answer();
  void SendConnect();
  void RefuseIncoming(CallEndReason reason, const char* why);

  // signalling
  void StartSignalChannel();
  bool SendSignal(h225::H225Message& message);
  void OnSignalPacket(const h225::Octets& payload);
  void OnSignalClosed(std::error_code ec);
  void HandleSignal(h225::H225Message& message);
  void OnAnswerMessage(h225::H225Message& message);
  void OnConnect(h225::H225Message& message);
  void OnFacility(h225::H225Message& message);
  void OnReleaseComplete(const h225::H225Message& message);
  void OnStatus(const h225::H225Message& message);
  void TakeCommonFields(h225::H225Message& message);
  void SetPhase(Phase phase);
  void ArmPhaseTimer();
  void ArmStatusEnquiry();
  h225::H225MessageBuilder::CallState Q931State() const;
  void Event(H323ConnectionHost::CallEvent event, const std::string& detail = {});

  // H.245
  void DecideSeparateH245(const h225::H225Message& message);
  void OfferH245Address();
  void EnsureH245Transport();
  void StartH245();
  void MaybeOpenChannels();
  void FlushTunnel();
  // H245Transport::Owner
  void OnH245Message(const asn::Value& message) override;
  void OnH245Connected() override;
  void OnH245Closed(std::error_code ec) override;
  void OnTunnelledPending() override;
  // H245Control::Owner
  void SendMessage(const asn::Value& message) override;
  void OnRemoteCapabilities(const h245::RemoteCapabilities& capabilities) override;
  void OnControlReady(bool isMaster) override;
  h245::IncomingAnswer OnOpenChannel(const h245::IncomingChannel& channel) override;
  void OnChannelOpened(unsigned number, std::optional<asn::Ipv4Address> media, std::optional<asn::Ipv4Address> control,
                       std::optional<unsigned> payloadType) override;
  void OnChannelRejected(unsigned number) override;
  void OnChannelClosed(unsigned number, bool byRemote) override;
  void OnUserInput(const std::string& text) override;
  void OnEndSession() override;
  void OnFailure(const std::string& why) override;

  // clearing
  void Release(CallEndReason reason, bool sendReleaseComplete = true);
  void Finish();
  void CloseRetiredChannels();

  H323ConnectionHost& host_;
  const unsigned callReference_;
  const std::string token_;
  asio::any_io_executor strand_;
  mutable std::recursive_mutex mutex_;

  CallSettings settings_;
  Phase phase_ = Phase::Idle;
  bool originating_ = true;
  bool inTable_ = false;
  h225::CallTarget target_;
  bool forwarded_ = false;
  std::string callIdentifier_;
  std::string conferenceID_;
  std::optional<h225::H225MessageBuilder> builder_;
  std::shared_ptr<h225::TpktChannel> signal_;
  std::optional<h225::H225Message> setup_;  // incoming: the Setup being answered
  asio::steady_timer phaseTimer_;
  asio::steady_timer statusTimer_;
  bool awaitingStatus_ = false;
  asio::ip::tcp::resolver resolver_;

  // admission
  ras::H323Gatekeeper::CallInfo callInfo_;
  bool admitted_ = false;  // an ACF to disengage at the end
  bool gatekeeperRouted_ = false;

  // H.245 and media
  bool tunnelling_ = true;
  bool tunnellingDecided_ = false;
  bool fastStartProposed_ = false;
  bool fastStartSettled_ = false;
  bool tunnelFlushPosted_ = false;
  std::unique_ptr<h225::H245Transport> h245Transport_;
  std::unique_ptr<h245::H245Control> h245_;
  bool controlReady_ = false;
  std::unique_ptr<h225::CallMedia> media_;

  // the far end
  std::string remoteName_;
  std::string remoteNumber_;
  std::string remoteAddress_;

  // the end
  std::optional<std::chrono::system_clock::time_point> startTime_;
  CallEndReason endReason_ = NumCallEndReasons;
  std::optional<unsigned> q931Cause_;
  bool remoteEnding_ = false;  // EndSessionCommand or a closed H.245 connection: Release Complete comes next
  bool finishPosted_ = false;
  bool ended_ = false;
};

}  // namespace vantro::endpoint
