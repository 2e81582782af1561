#include "stack/endpoint/SoundDeviceAudioSource.h"

#include "runtime/PTrace.h"

#include <algorithm>

namespace vantro::endpoint {

std::unique_ptr<SoundDeviceAudioSource> SoundDeviceAudioSource::Open(const std::string& device,
                                                                     std::size_t samplesPerRead) {
  auto source = std::make_unique<SoundDeviceAudioSource>();
  source->channel_.SetBuffers(std::max<std::size_t>(samplesPerRead, 80) * sizeof(std::int16_t), 2);
  source->channel_.SetMediaRole(kPhoneMediaRole);
  if (!source->channel_.Open(device, PSoundChannel::Recorder, 1, 8000, 16)) {
    PTRACE(2, "Media", "cannot record from '" << device << "': " << source->channel_.GetLastError());
    return nullptr;
  }
  return source;
}

bool SoundDeviceAudioSource::Read(std::span<std::int16_t> samples) {
  return channel_.Read(samples.data(), samples.size_bytes());
}

}  // namespace vantro::endpoint
