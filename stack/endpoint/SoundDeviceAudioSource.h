#pragma once
// A recorder of the desktop's sound server as the audio of a transmit channel: 8000 samples/s,
// mono, 16-bit, opened with the media role "phone" (so that the server applies its echo
// cancellation and routing) and handing over one read's worth at a time.

#include "runtime/PSoundChannel.h"
#include "stack/endpoint/H323Channel.h"

#include <memory>
#include <string>

namespace vantro::endpoint {

inline constexpr char kPhoneMediaRole[] = "phone";

class SoundDeviceAudioSource : public AudioSource {
 public:
  // nullptr when the device cannot be opened (the reason is logged). "" is the default device.
  static std::unique_ptr<SoundDeviceAudioSource> Open(const std::string& device, std::size_t samplesPerRead);
  bool Read(std::span<std::int16_t> samples) override;
  void Abort() override { channel_.Abort(); }

 private:
  PSoundChannel channel_;
};

}  // namespace vantro::endpoint
