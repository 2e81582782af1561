#pragma once
// An H.323 endpoint: who it is (local user name, gatekeeper password), its sound devices and media
// settings, its capability table, its call signalling listeners, its gatekeeper and its calls.
//
// Sockets and timers run on a thread of the endpoint's own, started when first needed. Every
// operation may be called from any thread. UseGatekeeper blocks its caller until the gatekeeper
// registered the endpoint or the attempt failed; RemoveGatekeeper and Shutdown end such a wait at
// once, and no operation waits on the network otherwise.
//
// Calls: MakeCall places one, the listeners take incoming ones. An incoming call is answered only
// when the gatekeeper we are registered with admits it (or SetAcceptUnadmittedCalls allows calls
// while not registered); one refused before that, or refused because the endpoint is busy
// (SetMaxCalls, 1 by default: Release Complete inConf, cause 17), never becomes a call: it reaches
// no callback and is only logged. The callbacks run on the endpoint's thread and must not wait for
// another thread that might wait for a call (a UI thread). A subclass that overrides them calls
// Shutdown() in its own destructor, so that no callback reaches a half-destroyed object.

#include "stack/endpoint/H323Capabilities.h"
#include "stack/endpoint/H323Channel.h"
#include "stack/endpoint/H323ListenerTCP.h"
#include "stack/h225/H323Connection.h"
#include "stack/h225/H323ConnectionHost.h"
#include "stack/h225/H323ConnectionLock.h"
#include "stack/ras/H323Gatekeeper.h"
#include "stack/ras/RasTimings.h"

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vantro::endpoint {

class H323EndPoint : public H323ConnectionHost {
 public:
  using CallTimings = endpoint::CallTimings;

  H323EndPoint();
  virtual ~H323EndPoint();
  H323EndPoint(const H323EndPoint&) = delete;
  H323EndPoint& operator=(const H323EndPoint&) = delete;

  // --- identity ---
  void SetLocalUserName(const std::string& name);
  std::string GetLocalUserName() const;
  // Used for the gatekeeper's password tokens from the next UseGatekeeper on; empty: none.
  void SetGatekeeperPassword(const std::string& password);
  std::string GetGatekeeperPassword() const;

  // --- sound and media ---
  // The devices calls play and record on ("": the default device). False when the name is not
  // among the devices the lister knows (the name is kept all the same).
  enum class SoundDirection { Player, Recorder };
  using SoundDeviceLister = std::function<std::vector<std::string>(SoundDirection)>;
  void SetSoundDeviceLister(SoundDeviceLister lister);
  bool SetSoundChannelPlayDevice(const std::string& name);
  bool SetSoundChannelRecordDevice(const std::string& name);
  std::string GetSoundChannelPlayDevice() const;
  std::string GetSoundChannelRecordDevice() const;
  // The IP type-of-service octet of RTP packets.
  void SetRtpIpTypeofService(unsigned tos);
  unsigned GetRtpIpTypeofService() const;
  // The jitter buffer's least and greatest delay, in milliseconds.
  void SetAudioJitterDelay(unsigned minimumMs, unsigned maximumMs);
  std::pair<unsigned, unsigned> GetAudioJitterDelay() const;
  void DisableFastStart(bool mode);
  bool IsFastStartDisabled() const;
  void DisableH245Tunneling(bool mode);
  bool IsH245TunnelingDisabled() const;

  // --- capabilities ---
  void RemoveAllCapabilities();
  int SetCapability(int descriptorNum, int simultaneousNum, std::unique_ptr<H323Capability> capability);
  H323Capabilities GetCapabilities() const;  // a copy: the table may change meanwhile

  // --- call signalling listeners ---
  // Listens on each interface ("*:1737", "127.0.0.1:0"). The same list as the running listeners
  // keeps them; another list replaces them. True when every interface listens.
  bool StartListeners(const std::vector<std::string>& interfaces);
  void RemoveListeners();
  // The first listener's address (0.0.0.0 for every interface), or nullopt when none listens.
  std::optional<asn::Ipv4Address> GetListenerAddress() const;

  // --- gatekeeper ---
  void SetRegistrationTimeToLive(std::chrono::milliseconds ttl);
  std::chrono::milliseconds GetRegistrationTimeToLive() const;
  // An access token the gatekeeper gave out of band; empty: none.
  void SetGatekeeperAccessTokenOID(const std::string& oid);
  std::string GetGatekeeperAccessTokenOID() const;
  void SetRasTimings(const ras::RasTimings& timings);

  // Removes any gatekeeper (unregistering first), then discovers the gatekeeper at address
  // ("host[:port]", port 1719 by default) and registers with it. identifier and localAddress
  // are accepted for compatibility: the gatekeeper that answers is used, and the local address
  // is the one the system uses towards it. True when registered.
  bool UseGatekeeper(const std::string& address = "", const std::string& identifier = "",
                     const std::string& localAddress = "");
  // Unregisters in the background and drops the gatekeeper; a pending UseGatekeeper returns false.
  // False when there was none. The reason is accepted for compatibility.
  bool RemoveGatekeeper(int reason = -1);
  // The gatekeeper found by the last UseGatekeeper, or null: none answered, or it was removed.
  std::shared_ptr<ras::H323Gatekeeper> GetGatekeeper() const;
  bool IsRegisteredWithGatekeeper() const;
  // True when the last UseGatekeeper ended because RemoveGatekeeper or Shutdown came first.
  bool WasLastRegistrationCancelled() const { return cancelled_; }

  // --- calls ---
  // Places a call; returns at once with the new call's token in `token` (always set, even when
  // the party cannot be called: such a failure comes through OnConnectionCleared). nullptr only
  // when the endpoint is shut down.
  //   "digits@"            an alias resolved by the gatekeeper (ARQ, Setup to the ACF's address)
  //   "alias@host[:port]"  that address directly (ARQ first when registered); port 1720 unless given
  //   "host[:port]"        likewise, without an alias
  std::shared_ptr<H323Connection> MakeCall(const std::string& remoteParty, std::string& token,
                                           void* userData = nullptr);
  // Returns at once; false when there is no such call.
  bool ClearCall(const std::string& token, H323Connection::CallEndReason reason = H323Connection::EndedByLocalUser);
  bool HasConnection(const std::string& token) const;
  H323ConnectionLock FindConnectionWithLock(const std::string& token);
  std::vector<std::string> GetAllConnections() const;

  // Callbacks, on the stack's thread (never holding the endpoint's table lock; a callback may call
  // FindConnectionWithLock, ClearCall, HasConnection). None may wait for a UI thread.
  bool OnAlerting(H323Connection& connection, const q931::Q931Message& alertingPDU, const std::string& user) override;
  void OnConnectionEstablished(H323Connection& connection, const std::string& token) override;
  // Exactly once per call.
  virtual void OnConnectionCleared(H323Connection& connection, const std::string& token);
  // A new connection object (the endpoint's table holds it); override for a subclass.
  virtual std::shared_ptr<H323Connection> CreateConnection(unsigned callReference);
  AnswerCallResponse OnAnswerCall(H323Connection& connection, const std::string& caller,
                                  const q931::Q931Message& setupPDU) override;
  void OnUserInputString(H323Connection& connection, const std::string& value) override;
  void OnStartLogicalChannel(H323Connection& connection, H323Channel& channel) override;
  void OnClosedLogicalChannel(H323Connection& connection, H323Channel& channel) override;
  // Every step of a call, for a tool that reports them with time stamps.
  void OnCallEvent(H323Connection& connection, CallEvent event, const std::string& detail) override;

  // Settings of calls (all have working defaults); they apply to calls that start afterwards.
  void SetAudioDevices(AudioDevices devices);  // files / silence / buffers instead of the sound server
  void SetRtpPortRange(std::uint16_t base, std::uint16_t max);
  void SetCallTimings(const CallTimings& timings);
  CallTimings GetCallTimings() const;
  void SetAcceptUnadmittedCalls(bool accept);  // default false
  void SetMaxCalls(unsigned calls);            // incoming calls beyond this are refused as busy
  // The media settings calls copy (devices, type of service, jitter buffer, RTP ports).
  MediaOptions GetMediaOptions() const;
  // Media hooks: tests and fuzzers replace these (defaults: OpenRtpSession / CreateAudioChannel).
  std::shared_ptr<H323RtpSession> OpenRtpSession(unsigned sessionID, const asn::Ipv4Address& localIp) override;
  std::unique_ptr<H323Channel> CreateChannel(std::shared_ptr<H323RtpSession> session,
                                             const H323Channel::Parameters& parameters) override;

  // Clears the calls (waiting a moment for them to end), ends pending waits, unregisters
  // (waiting a moment for the gatekeeper's answer), closes the listeners and stops the endpoint's
  // thread. Nothing starts again afterwards.
  void Shutdown();

  asio::io_context& GetIoContext() override;
  CallSettings GetCallSettings() const override;

 private:
  // H323ConnectionHost: the gatekeeper and the table of calls
  void RequestAdmission(const ras::H323Gatekeeper::CallInfo& call,
                        std::function<void(ras::H323Gatekeeper::Admission)> done) override;
  void Disengage(const ras::H323Gatekeeper::CallInfo& call, std::uint16_t disengageReason) override;
  bool AddIncomingConnection(const std::shared_ptr<H323Connection>& connection) override;
  void WithdrawIncomingConnection(H323Connection& connection) override;
  void ConnectionEnded(const std::shared_ptr<H323Connection>& connection) override;

  void OnIncomingSetup(std::shared_ptr<h225::TpktChannel> channel, h225::H225Message setup);
  void RefuseBusy(const std::shared_ptr<h225::TpktChannel>& channel, const h225::H225Message& setup);
  unsigned NextCallReference();
  void WatchCalls(const std::shared_ptr<ras::H323Gatekeeper>& gatekeeper);
  std::vector<std::shared_ptr<H323Connection>> Connections() const;
  void ClearAllCalls(std::chrono::milliseconds wait);

  void EnsureRunning();
  template <class F>
  auto RunOnIo(F fn) -> decltype(fn());
  // Waits until the gatekeepers that unregister are done (or the limit passes, or, when
  // stopOnCancel, a RemoveGatekeeper or Shutdown comes). False when cancelled.
  bool WaitForLeaving(std::chrono::milliseconds limit, bool stopOnCancel);

  // First, so that it goes last: every socket below belongs to it.
  asio::io_context io_;

  mutable std::mutex mutex_;  // settings, capabilities, listeners, gatekeepers
  std::string localUserName_;
  std::string gatekeeperPassword_;
  SoundDeviceLister deviceLister_;
  std::string playDevice_;
  std::string recordDevice_;
  unsigned rtpTos_ = 0;
  unsigned jitterMin_ = 50;
  unsigned jitterMax_ = 250;
  bool fastStartDisabled_ = false;
  bool tunnelingDisabled_ = false;
  H323Capabilities capabilities_;
  std::vector<std::string> listenerInterfaces_;
  std::vector<std::shared_ptr<H323ListenerTCP>> listeners_;
  std::chrono::milliseconds timeToLive_{0};
  std::string accessTokenOID_;
  ras::RasTimings timings_;

  std::mutex useMutex_;  // one UseGatekeeper at a time
  std::shared_ptr<ras::H323Gatekeeper> gatekeeper_;
  std::list<std::shared_ptr<ras::H323Gatekeeper>> leaving_;  // unregistering
  std::condition_variable leavingDone_;
  std::atomic<bool> cancelUse_{false};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> shutdown_{false};

  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work_;
  std::thread thread_;

  // Calls
  mutable std::mutex callsMutex_;  // never held while a connection's lock is taken
  std::condition_variable callsChanged_;
  std::map<std::string, std::shared_ptr<H323Connection>> connections_;  // by token
  std::size_t pendingIncoming_ = 0;                                     // incoming calls waiting for admission
  unsigned maxCalls_ = 1;
  std::atomic<unsigned> nextCallReference_;
  // Settings of calls, under mutex_
  CallTimings callTimings_;
  bool acceptUnadmittedCalls_ = false;
  AudioDevices audioDevices_;
  std::uint16_t rtpPortBase_ = MediaOptions{}.rtpPortBase;
  std::uint16_t rtpPortMax_ = MediaOptions{}.rtpPortMax;
};

}  // namespace vantro::endpoint
