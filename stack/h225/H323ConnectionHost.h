#pragma once
// What a connection needs from its endpoint: the io_context its strand runs on, the settings a
// call copies when it starts, the gatekeeper's admission, the media hooks, the callbacks of the
// call API and the endpoint's table of calls. H323EndPoint implements it; tests and fuzzers plug
// in their own.

#include "stack/asn/H323Values.h"
#include "stack/endpoint/H323Capabilities.h"
#include "stack/endpoint/H323Channel.h"
#include "stack/h225/CallTimings.h"
#include "stack/q931/Q931Message.h"
#include "stack/ras/H323Gatekeeper.h"

#include <asio.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vantro::endpoint {

class H323Connection;

// The settings one call works with, copied from the endpoint when it starts.
struct CallSettings {
  std::string localUserName;
  H323Capabilities capabilities;
  bool fastStartDisabled = false;
  bool tunnelingDisabled = false;
  CallTimings timings;
  // Incoming calls: answered only when the gatekeeper admits them, unless this is set and the
  // endpoint is not registered.
  bool acceptUnadmittedCalls = false;
  bool registered = false;
  std::string endpointIdentifier;  // ours, from the gatekeeper's registration confirm
  // Where H.245's master/slave status determination numbers come from; empty: a random generator.
  std::function<std::uint32_t()> masterSlaveNumber;
};

class H323ConnectionHost {
 public:
  // AnswerCallPending: the call rings (Alerting) until H323Connection::AnsweringCall.
  enum AnswerCallResponse { AnswerCallNow, AnswerCallDenied, AnswerCallPending };
  // Every step of a call, for a tool that reports them with time stamps.
  enum class CallEvent {
    AdmissionRequested, Admitted, SetupSent, SetupReceived, Proceeding, Alerting, Progress, FastStartAccepted,
    FastStartRefused, H245Connected, MediaStarted, Connected, Clearing, Cleared
  };
  static const char* CallEventName(CallEvent event);

  virtual ~H323ConnectionHost() = default;

  virtual asio::io_context& GetIoContext() = 0;
  virtual CallSettings GetCallSettings() const = 0;

  // Admission (ARQ) and its end (DRQ) at the gatekeeper we are registered with. done runs once,
  // on any thread (NotRegistered at once when there is no registration).
  virtual void RequestAdmission(const ras::H323Gatekeeper::CallInfo& call,
                                std::function<void(ras::H323Gatekeeper::Admission)> done) = 0;
  virtual void Disengage(const ras::H323Gatekeeper::CallInfo& call, std::uint16_t disengageReason) = 0;

  // Media: one RTP session per call and session id, and a channel per direction.
  virtual std::shared_ptr<H323RtpSession> OpenRtpSession(unsigned sessionID, const asn::Ipv4Address& localIp) = 0;
  virtual std::unique_ptr<H323Channel> CreateChannel(std::shared_ptr<H323RtpSession> session,
                                                     const H323Channel::Parameters& parameters) = 0;

  // The callbacks of the call API (stack threads; none may wait for a UI thread).
  virtual bool OnAlerting(H323Connection& connection, const q931::Q931Message& alertingPDU, const std::string& user) = 0;
  virtual void OnConnectionEstablished(H323Connection& connection, const std::string& token) = 0;
  virtual AnswerCallResponse OnAnswerCall(H323Connection& connection, const std::string& caller,
                                          const q931::Q931Message& setupPDU) = 0;
  virtual void OnUserInputString(H323Connection& connection, const std::string& value) = 0;
  virtual void OnStartLogicalChannel(H323Connection& connection, H323Channel& channel) = 0;
  virtual void OnClosedLogicalChannel(H323Connection& connection, H323Channel& channel) = 0;
  virtual void OnCallEvent(H323Connection& connection, CallEvent event, const std::string& detail) = 0;

  // The table of calls. An incoming call becomes one when it is admitted: false refuses it (the
  // endpoint shuts down). An incoming call refused before that is Withdrawn and never a call.
  virtual bool AddIncomingConnection(const std::shared_ptr<H323Connection>& connection) = 0;
  virtual void WithdrawIncomingConnection(H323Connection& connection) = 0;
  // A call ended: the endpoint takes it out of its table and reports it (OnConnectionCleared).
  // Called once per call, on the connection's strand, without the connection's lock.
  virtual void ConnectionEnded(const std::shared_ptr<H323Connection>& connection) = 0;
};

}  // namespace vantro::endpoint
