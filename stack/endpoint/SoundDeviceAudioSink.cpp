#include "stack/endpoint/SoundDeviceAudioSink.h"

#include "runtime/PTrace.h"
#include "stack/endpoint/SoundDeviceAudioSource.h"

namespace vantro::endpoint {

std::unique_ptr<SoundDeviceAudioSink> SoundDeviceAudioSink::Open(const std::string& device) {
  auto sink = std::make_unique<SoundDeviceAudioSink>();
  sink->channel_.SetBuffers(320, 2);
  sink->channel_.SetMediaRole(kPhoneMediaRole);
  if (!sink->channel_.Open(device, PSoundChannel::Player, 1, 8000, 16)) {
    PTRACE(2, "Media", "cannot play on '" << device << "': " << sink->channel_.GetLastError());
    return nullptr;
  }
  return sink;
}

bool SoundDeviceAudioSink::Write(std::span<const std::int16_t> samples) {
  return channel_.Write(samples.data(), samples.size_bytes());
}

}  // namespace vantro::endpoint
