#include "stack/endpoint/H323EndPoint.h"

#include "stack/ras/HostResolver.h"
#include "stack/ras/TransportAddress.h"

#include <algorithm>
#include <future>
#include <random>

namespace vantro::endpoint {

H323EndPoint::H323EndPoint() : nextCallReference_(std::random_device{}() & 0x7fff) { h235::WarmUp(); }

H323EndPoint::~H323EndPoint() { Shutdown(); }

// --- identity, sound, media ---

void H323EndPoint::SetLocalUserName(const std::string& name) {
  std::lock_guard lock(mutex_);
  localUserName_ = name;
}

std::string H323EndPoint::GetLocalUserName() const {
  std::lock_guard lock(mutex_);
  return localUserName_;
}

void H323EndPoint::SetGatekeeperPassword(const std::string& password) {
  std::lock_guard lock(mutex_);
  gatekeeperPassword_ = password;
}

std::string H323EndPoint::GetGatekeeperPassword() const {
  std::lock_guard lock(mutex_);
  return gatekeeperPassword_;
}

void H323EndPoint::SetSoundDeviceLister(SoundDeviceLister lister) {
  std::lock_guard lock(mutex_);
  deviceLister_ = std::move(lister);
}

bool H323EndPoint::SetSoundChannelPlayDevice(const std::string& name) {
  SoundDeviceLister lister;
  {
    std::lock_guard lock(mutex_);
    playDevice_ = name;
    lister = deviceLister_;
  }
  if (name.empty() || !lister) return true;
  const auto names = lister(SoundDirection::Player);
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool H323EndPoint::SetSoundChannelRecordDevice(const std::string& name) {
  SoundDeviceLister lister;
  {
    std::lock_guard lock(mutex_);
    recordDevice_ = name;
    lister = deviceLister_;
  }
  if (name.empty() || !lister) return true;
  const auto names = lister(SoundDirection::Recorder);
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string H323EndPoint::GetSoundChannelPlayDevice() const {
  std::lock_guard lock(mutex_);
  return playDevice_;
}

std::string H323EndPoint::GetSoundChannelRecordDevice() const {
  std::lock_guard lock(mutex_);
  return recordDevice_;
}

void H323EndPoint::SetRtpIpTypeofService(unsigned tos) {
  std::lock_guard lock(mutex_);
  rtpTos_ = tos & 0xff;
}

unsigned H323EndPoint::GetRtpIpTypeofService() const {
  std::lock_guard lock(mutex_);
  return rtpTos_;
}

void H323EndPoint::SetAudioJitterDelay(unsigned minimumMs, unsigned maximumMs) {
  std::lock_guard lock(mutex_);
  jitterMin_ = std::max(minimumMs, 10u);
  jitterMax_ = std::max(maximumMs, jitterMin_);
}

std::pair<unsigned, unsigned> H323EndPoint::GetAudioJitterDelay() const {
  std::lock_guard lock(mutex_);
  return {jitterMin_, jitterMax_};
}

void H323EndPoint::DisableFastStart(bool mode) {
  std::lock_guard lock(mutex_);
  fastStartDisabled_ = mode;
}

bool H323EndPoint::IsFastStartDisabled() const {
  std::lock_guard lock(mutex_);
  return fastStartDisabled_;
}

void H323EndPoint::DisableH245Tunneling(bool mode) {
  std::lock_guard lock(mutex_);
  tunnelingDisabled_ = mode;
}

bool H323EndPoint::IsH245TunnelingDisabled() const {
  std::lock_guard lock(mutex_);
  return tunnelingDisabled_;
}

// --- capabilities ---

void H323EndPoint::RemoveAllCapabilities() {
  std::lock_guard lock(mutex_);
  capabilities_.RemoveAll();
}

int H323EndPoint::SetCapability(int descriptorNum, int simultaneousNum, std::unique_ptr<H323Capability> capability) {
  std::lock_guard lock(mutex_);
  return capabilities_.SetCapability(descriptorNum, simultaneousNum, std::move(capability));
}

H323Capabilities H323EndPoint::GetCapabilities() const {
  std::lock_guard lock(mutex_);
  return capabilities_;
}

// --- the endpoint's thread ---

void H323EndPoint::EnsureRunning() {
  std::lock_guard lock(mutex_);
  if (thread_.joinable() || shutdown_) return;
  work_.emplace(asio::make_work_guard(io_));
  thread_ = std::thread([this] { io_.run(); });
}

template <class F>
auto H323EndPoint::RunOnIo(F fn) -> decltype(fn()) {
  EnsureRunning();
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return fn();  // stopped: nothing else runs
  }
  std::packaged_task<decltype(fn())()> task(std::move(fn));
  auto result = task.get_future();
  asio::post(io_, [&task] { task(); });
  return result.get();
}

// --- listeners ---

bool H323EndPoint::StartListeners(const std::vector<std::string>& interfaces) {
  if (shutdown_) return false;
  {
    std::lock_guard lock(mutex_);
    if (!listeners_.empty() && interfaces == listenerInterfaces_) return true;
  }
  RemoveListeners();
  bool all = !interfaces.empty();
  std::vector<std::shared_ptr<H323ListenerTCP>> opened;
  for (const std::string& text : interfaces) {
    auto parsed = ras::ParseListenerInterface(text);
    if (!parsed) {
      all = false;
      continue;
    }
    asn::Ipv4Address at{};
    at.port = parsed->port;
    if (parsed->host != "*") {
      asio::error_code ec;
      at.ip = asio::ip::make_address_v4(parsed->host, ec).to_bytes();
    }
    const auto idle = GetCallTimings().idleConnectionTimeout;
    auto listener = RunOnIo([this, at, idle]() -> std::shared_ptr<H323ListenerTCP> {
      auto l = std::make_shared<H323ListenerTCP>(io_);
      std::error_code ec;
      if (!l->Open(at, ec)) return nullptr;
      l->SetIdleTimeout(idle);
      l->Start([this](std::shared_ptr<h225::TpktChannel> channel, h225::H225Message setup) {
        OnIncomingSetup(std::move(channel), std::move(setup));
      });
      return l;
    });
    if (listener)
      opened.push_back(std::move(listener));
    else
      all = false;
  }
  std::lock_guard lock(mutex_);
  listeners_ = std::move(opened);
  listenerInterfaces_ = all ? interfaces : std::vector<std::string>{};
  return all;
}

void H323EndPoint::RemoveListeners() {
  std::vector<std::shared_ptr<H323ListenerTCP>> old;
  {
    std::lock_guard lock(mutex_);
    old.swap(listeners_);
    listenerInterfaces_.clear();
  }
  if (!old.empty())
    RunOnIo([&old] {
      for (auto& l : old) l->Close();
    });
}

std::optional<asn::Ipv4Address> H323EndPoint::GetListenerAddress() const {
  std::lock_guard lock(mutex_);
  if (listeners_.empty()) return std::nullopt;
  return listeners_.front()->LocalAddress();
}

// --- gatekeeper ---

void H323EndPoint::SetRegistrationTimeToLive(std::chrono::milliseconds ttl) {
  std::lock_guard lock(mutex_);
  timeToLive_ = ttl;
}

std::chrono::milliseconds H323EndPoint::GetRegistrationTimeToLive() const {
  std::lock_guard lock(mutex_);
  return timeToLive_;
}

void H323EndPoint::SetGatekeeperAccessTokenOID(const std::string& oid) {
  std::lock_guard lock(mutex_);
  accessTokenOID_ = oid;
}

std::string H323EndPoint::GetGatekeeperAccessTokenOID() const {
  std::lock_guard lock(mutex_);
  return accessTokenOID_;
}

void H323EndPoint::SetRasTimings(const ras::RasTimings& timings) {
  std::lock_guard lock(mutex_);
  timings_ = timings;
}

bool H323EndPoint::WaitForLeaving(std::chrono::milliseconds limit, bool stopOnCancel) {
  std::unique_lock lock(mutex_);
  leavingDone_.wait_for(lock, limit, [&] { return leaving_.empty() || (stopOnCancel && (cancelUse_ || shutdown_)); });
  return !(stopOnCancel && (cancelUse_ || shutdown_));
}

bool H323EndPoint::UseGatekeeper(const std::string& address, const std::string&, const std::string&) {
  std::lock_guard use(useMutex_);
  cancelled_ = false;
  RemoveGatekeeper();
  cancelUse_ = false;
  if (shutdown_) {
    cancelled_ = true;
    return false;
  }

  ras::H323Gatekeeper::Settings settings;
  {
    std::lock_guard lock(mutex_);
    settings.alias = localUserName_;
    settings.password = gatekeeperPassword_;
    settings.timeToLive = static_cast<std::uint32_t>((timeToLive_.count() + 999) / 1000);
    settings.timings = timings_;
    if (!listeners_.empty()) settings.listener = listeners_.front()->LocalAddress();
  }
  // The old registration goes first, so that the gatekeeper never sees the new one before it.
  if (!WaitForLeaving(
          settings.timings.unregisterTimeout * settings.timings.unregisterTries + std::chrono::milliseconds(500),
          true)) {
    cancelled_ = true;
    return false;
  }

  auto target = ras::ParseHostAndPort(address, ras::kDefaultRasPort);
  if (!target) return false;
  auto ip = ras::ResolveIpv4(target->host, settings.timings.resolveTimeout, &cancelUse_);
  if (cancelUse_ || shutdown_) {
    cancelled_ = true;
    return false;
  }
  if (!ip) return false;

  EnsureRunning();
  auto gatekeeper = std::make_shared<ras::H323Gatekeeper>(io_, std::move(settings));
  WatchCalls(gatekeeper);
  {
    std::lock_guard lock(mutex_);
    if (cancelUse_ || shutdown_) {
      cancelled_ = true;
      return false;
    }
    gatekeeper_ = gatekeeper;
  }
  bool found = false;
  const bool registered =
      gatekeeper->DiscoverAndRegister(asio::ip::udp::endpoint(asio::ip::address_v4(*ip), target->port), found);
  std::lock_guard lock(mutex_);
  if (gatekeeper_ != gatekeeper) {
    cancelled_ = true;
    return false;
  }
  if (!found) {
    gatekeeper_.reset();
    asio::post(io_, [gatekeeper] { gatekeeper->Close(); });
  }
  return registered;
}

bool H323EndPoint::RemoveGatekeeper(int) {
  std::shared_ptr<ras::H323Gatekeeper> gatekeeper;
  {
    std::lock_guard lock(mutex_);
    cancelUse_ = true;
    gatekeeper.swap(gatekeeper_);
    if (gatekeeper) leaving_.push_back(gatekeeper);
  }
  leavingDone_.notify_all();
  if (!gatekeeper) return false;
  gatekeeper->Abort();
  gatekeeper->Unregister([this, gatekeeper] {
    gatekeeper->Close();
    {
      std::lock_guard lock(mutex_);
      leaving_.remove(gatekeeper);
    }
    leavingDone_.notify_all();
  });
  return true;
}

std::shared_ptr<ras::H323Gatekeeper> H323EndPoint::GetGatekeeper() const {
  std::lock_guard lock(mutex_);
  return gatekeeper_;
}

bool H323EndPoint::IsRegisteredWithGatekeeper() const {
  auto gatekeeper = GetGatekeeper();
  return gatekeeper && gatekeeper->IsRegistered();
}

void H323EndPoint::Shutdown() {
  if (shutdown_.exchange(true)) return;
  // The calls end while the gatekeeper still hears their DRQs.
  ClearAllCalls(std::chrono::milliseconds(2000));
  cancelUse_ = true;
  RemoveGatekeeper();
  {
    std::lock_guard lock(mutex_);
    for (auto& gatekeeper : leaving_) gatekeeper->Abort();
  }
  leavingDone_.notify_all();
  // The unregistration is on its way; give the gatekeeper a moment to confirm it.
  WaitForLeaving(std::chrono::milliseconds(500), false);
  std::thread thread;
  {
    std::lock_guard lock(mutex_);
    work_.reset();
    thread.swap(thread_);
  }
  if (thread.joinable()) {
    io_.stop();
    thread.join();
  }
  // Nothing runs on the endpoint's thread any more: the sockets close here.
  std::lock_guard lock(mutex_);
  for (auto& l : listeners_) l->Close();
  listeners_.clear();
  listenerInterfaces_.clear();
  for (auto& g : leaving_) g->Close();
  leaving_.clear();
  if (gatekeeper_) gatekeeper_->Close();
  gatekeeper_.reset();
  std::lock_guard calls(callsMutex_);
  connections_.clear();
}

}  // namespace vantro::endpoint
