#pragma once
// An H.323 endpoint: who it is (local user name, gatekeeper password), its sound devices and media
// settings, its capability table, its call signalling listeners and its gatekeeper.
//
// Sockets and timers run on a thread of the endpoint's own, started when first needed. Every
// operation may be called from any thread. UseGatekeeper blocks its caller until the gatekeeper
// registered the endpoint or the attempt failed; RemoveGatekeeper and Shutdown end such a wait at
// once, and no operation waits on the network otherwise.

#include "stack/endpoint/H323Capabilities.h"
#include "stack/endpoint/H323ListenerTCP.h"
#include "stack/ras/H323Gatekeeper.h"
#include "stack/ras/RasTimings.h"

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vantro::endpoint {

class H323EndPoint {
 public:
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

  // Ends pending waits, unregisters (waiting a moment for the gatekeeper's answer), closes the
  // listeners and stops the endpoint's thread. Nothing starts again afterwards.
  void Shutdown();

 private:
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
};

}  // namespace vantro::endpoint
