#pragma once
// A player of the desktop's sound server as the audio of a receive channel: 8000 samples/s, mono,
// 16-bit, media role "phone", two buffers of 20 ms (about 40 ms from a write to the loudspeaker).

#include "runtime/PSoundChannel.h"
#include "stack/endpoint/H323Channel.h"

#include <memory>
#include <string>

namespace vantro::endpoint {

class SoundDeviceAudioSink : public AudioSink {
 public:
  // nullptr when the device cannot be opened (the reason is logged). "" is the default device.
  static std::unique_ptr<SoundDeviceAudioSink> Open(const std::string& device);
  bool Write(std::span<const std::int16_t> samples) override;
  void Abort() override { channel_.Abort(); }

 private:
  PSoundChannel channel_;
};

}  // namespace vantro::endpoint
