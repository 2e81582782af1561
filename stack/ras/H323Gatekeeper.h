#pragma once
// The endpoint's gatekeeper: discovery at the address the user gave, registration, keep-alive,
// the answers to the gatekeeper's own requests (information and unregistration requests), and
// unregistration.
//
// Discovery sends a GatekeeperRequest to the address; a confirm names the gatekeeper (and may
// move its RAS address), a reject counts as found but refusing (see GetRegistrationFailReason).
// Registration sends a full RegistrationRequest; the confirm's time to live sets the keep-alive,
// a lightweight RegistrationRequest sent while two fifths of the time to live remain (at most a
// minute before). A keep-alive rejected with fullRegistrationRequired is followed by a full
// registration at once; one left unanswered loses the registration, and full registrations are
// tried again at the keep-alive interval (a minute without a time to live) until one succeeds.
//
// The gatekeeper's unregistration request is confirmed and followed by a full registration at once,
// whatever its reason (a gatekeeper restarting sends one for maintenance); unanswered, it is tried
// again as a lost registration is. An admission refused with callerNotRegistered or
// invalidEndpointIdentifier (a gatekeeper that restarted without telling) registers again and asks
// once more; a call placed while the registration is lost registers first.
//
// Only datagrams from the gatekeeper's RAS address count; answers must carry the sequence number of
// the request, and when H.235.1 protects the exchange, confirms and the gatekeeper's requests must
// carry a valid hash or no token at all; once the gatekeeper has signed a confirm, its requests
// must carry a valid hash.
//
// Calls: admission (ARQ), disengage (DRQ both ways) and the calls' part of information responses.
//
// The protocol runs on the io_context's thread. DiscoverAndRegister blocks its caller (never that
// thread) until an outcome or Abort.

#include "stack/asn/H323Values.h"
#include "stack/h235/H235Authenticators.h"
#include "stack/ras/RasChannel.h"
#include "stack/ras/H323GatekeeperMessages.h"
#include "stack/ras/RasTimings.h"

#include <asio.hpp>

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vantro::ras {

class H323Gatekeeper : public std::enable_shared_from_this<H323Gatekeeper> {
 public:
  // Why the endpoint is not registered.
  enum RegistrationFailReasons : unsigned {
    RegistrationSuccessful,
    UnregisteredLocally,
    UnregisteredByGatekeeper,
    GatekeeperLostRegistration,
    InvalidListener,
    DuplicateAlias,
    SecurityDenied,
    TransportError,
    NumRegistrationFailReasons,
    // A reject whose reason is none of the above: this bit and the reason's index.
    RegistrationRejectReasonMask = 0x8000
  };

  struct Settings {
    std::string alias;                         // the local user name
    std::string password;                      // empty: no authentication
    std::string gatekeeperIdentifier;          // the gatekeeper asked for; empty: whichever answers
    std::optional<asn::Ipv4Address> listener;  // call signalling (0.0.0.0: every interface); none: not listening
    std::uint32_t timeToLive = 0;              // seconds asked for; 0: none
    RasTimings timings;
    std::function<std::uint32_t()> clock;  // seconds since 1970 for tokens; the system clock when empty
  };

  H323Gatekeeper(asio::io_context& io, Settings settings);
  ~H323Gatekeeper();
  H323Gatekeeper(const H323Gatekeeper&) = delete;
  H323Gatekeeper& operator=(const H323Gatekeeper&) = delete;

  // Discovery at address, then registration when a gatekeeper confirmed. found tells whether a
  // gatekeeper answered the discovery at all. Returns IsRegistered().
  bool DiscoverAndRegister(const asio::ip::udp::endpoint& address, bool& found);

  bool IsRegistered() const { return registered_; }
  // Lost, or taken by the gatekeeper's unregistration request: registering again is under way or
  // comes with the next keep-alive interval or admission request.
  bool IsRegistrationLost() const { return !registered_ && Lost(); }
  bool IsDiscoveryComplete() const { return discovered_; }
  unsigned GetRegistrationFailReason() const { return failReason_; }
  std::string GetIdentifier() const;
  std::string GetEndpointIdentifier() const;
  // The gatekeeper's RAS address and our own, as used.
  asio::ip::udp::endpoint GetRasAddress() const;
  asn::Ipv4Address GetLocalRasAddress() const;

  // --- calls ---
  // What the gatekeeper is told about one call (ARQ, DRQ, and the perCallInfo of an IRR).
  using CallInfo = ras::CallInfo;

  struct Admission {
    enum class Outcome { Confirmed, Rejected, TimedOut, TransportFailed, NotRegistered, Cancelled };
    Outcome outcome = Outcome::TimedOut;
    std::uint16_t rejectReason = 0;                         // an AdmissionRejectReason alternative
    std::optional<asn::Ipv4Address> destCallSignalAddress;  // ACF: where Setup goes
    bool gatekeeperRouted = false;                          // ACF callModel
    std::uint32_t bandwidth = 0;
    std::vector<std::string> destinationAliases;  // ACF destinationInfo
    std::optional<std::uint32_t> irrFrequency;    // seconds, when the gatekeeper wants IRRs
    asn::Value confirm;                           // the whole ACF or ARJ, for anything else
    std::string endpointIdentifier;               // the registration the request was made under
  };

  // Asks the gatekeeper to admit a call (ARQ; tokens as for registration). done runs once, on
  // the io_context's thread, with the outcome (NotRegistered at once when not registered;
  // Cancelled when the gatekeeper is unregistered or closed meanwhile). An ACF without a usable
  // destCallSignalAddress counts as TransportFailed. When the ACF asks for information responses
  // (irrFrequency), they go out unasked at that interval until Disengage. Callable from any thread.
  void RequestAdmission(const CallInfo& call, std::function<void(Admission)> done);
  // Tells the gatekeeper a call ended (DRQ with the reason, a DisengageReason alternative; the
  // call's releaseCause becomes its terminationCause). done runs once on the io_context's thread
  // when confirmed, rejected or given up (at once when not registered). Callable from any thread.
  void Disengage(const CallInfo& call, std::uint16_t reason, std::function<void()> done = {});
  // The calls under way, for the perCallInfo of the answer to an InfoRequest; called on the
  // io_context's thread.
  void SetCallInfoProvider(std::function<std::vector<CallInfo>()> provider);
  // A DisengageRequest from the gatekeeper for the call with this call identifier (16 octets; a
  // request that names the call only by conference and call reference is matched through the call
  // information provider): true when there was such a call (DCF), false otherwise (DRJ
  // requestToDropOther; notRegistered when we are not registered). Called on the io_context's
  // thread; the handler ends the call.
  //
  // Once the gatekeeper has signed its registration confirm (H.235.1), its information,
  // disengage and unregistration requests are obeyed only when they carry a valid signature too:
  // others are dropped unanswered, so that a datagram forged with the gatekeeper's address cannot
  // end a call or the registration.
  void SetDisengageHandler(std::function<bool(const std::string& callIdentifier)> handler);
  // Whether the gatekeeper signs what it sends (see above).
  bool IsGatekeeperSigning() const { return gatekeeperSigns_; }

  // Unregisters in the background: an UnregistrationRequest when registered, a pending
  // registration ends as unregistered locally. done runs on the io_context's thread when over.
  void Unregister(std::function<void()> done);
  // Makes a blocked DiscoverAndRegister return at once.
  void Abort();
  // Closes the socket and stops the timers (on the io_context's thread, or once it has stopped).
  void Close();

 private:
  struct Waiter;
  void Post(std::function<void()> fn);
  bool Wait(const std::shared_ptr<Waiter>& waiter);

  void StartDiscovery(std::function<void(bool found)> done);
  void StartRegistration(bool keepAlive, std::function<void(bool registered)> done);
  void OnRegistrationAnswer(bool keepAlive, RasChannel::Answer answer, std::function<void(bool)> done);
  void ScheduleKeepAlive(std::chrono::milliseconds wait);
  void OnRequest(const asn::Value& message, std::span<const std::uint8_t> bytes);
  void SetPeer(const asio::ip::udp::endpoint& peer);
  EndpointInfo Info() const;
  h235::H235Authenticators::Identities Ids() const;
  std::optional<RasChannel::Bytes> Encode(asn::Value message);
  void SetRegistered(bool registered, unsigned reason);
  bool Trusted(const asn::Value& request, std::span<const std::uint8_t> bytes) const;
  bool AcceptAnswer(const asn::Value& message, std::span<const std::uint8_t> bytes);
  void OnInfoRequest(const asn::Value& body);
  void OnDisengageRequest(const asn::Value& body);
  void OnUnregistrationRequest(const asn::Value& body);
  void SendAdmissionRequest(const CallInfo& call, std::function<void(Admission)> done, bool reregistered);
  void OnAdmissionAnswer(const CallInfo& call, RasChannel::Answer answer, const std::function<void(Admission)>& done,
                         bool reregistered);
  // A full registration on behalf of several callers at once (the gatekeeper's request, a keep-alive
  // timer, calls waiting for admission); each is told whether it succeeded.
  void Reregister(std::function<void(bool registered)> done);
  // Whether the registration was lost or taken by the gatekeeper (not ended here, nor refused).
  bool Lost() const;
  std::chrono::milliseconds RetryInterval() const;
  void StartInfoReports(const CallInfo& call, std::chrono::seconds interval);
  void ArmInfoReport(const std::string& callIdentifier);
  void StopInfoReports(const std::string& callIdentifier);
  std::vector<CallInfo> Calls() const;

  asio::io_context& io_;
  Settings settings_;
  std::shared_ptr<RasChannel> channel_;
  h235::H235Authenticators auth_;
  asio::steady_timer keepAliveTimer_;
  asn::Ipv4Address localIp_{};
  std::vector<std::function<void(bool)>> reregistering_;  // waiting for Reregister's registration
  std::chrono::milliseconds keepAliveInterval_{0};
  std::chrono::milliseconds keepAliveTimeout_{0};

  std::atomic<bool> registered_{false};
  std::atomic<bool> discovered_{false};
  std::atomic<unsigned> failReason_{UnregisteredLocally};
  std::atomic<bool> aborted_{false};
  std::atomic<bool> unregistering_{false};
  std::atomic<bool> gatekeeperSigns_{false};

  // On the io_context's thread only.
  std::function<std::vector<CallInfo>()> callInfoProvider_;
  std::function<bool(const std::string&)> disengageHandler_;
  struct InfoReports {
    CallInfo call;
    std::chrono::seconds interval{0};
    std::unique_ptr<asio::steady_timer> timer;
  };
  std::map<std::string, InfoReports> infoReports_;  // by call identifier

  mutable std::mutex mutex_;  // the identifiers, the peer, the waiter
  std::string gatekeeperId_;
  std::string endpointId_;
  asio::ip::udp::endpoint peer_;
  std::shared_ptr<Waiter> waiter_;
};

}  // namespace vantro::ras
