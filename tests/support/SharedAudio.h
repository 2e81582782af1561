#pragma once
// Audio devices a test keeps hold of while a channel uses them: the channel owns a forwarder, the
// test owns the device.

#include "stack/endpoint/H323Channel.h"

#include <memory>

namespace vantro::test {

template <class Device>
struct SharedAudioSource : endpoint::AudioSource {
  explicit SharedAudioSource(std::shared_ptr<Device> d) : device(std::move(d)) {}
  bool Read(std::span<std::int16_t> samples) override { return device->Read(samples); }
  void Abort() override { device->Abort(); }
  std::shared_ptr<Device> device;
};

template <class Device>
struct SharedAudioSink : endpoint::AudioSink {
  explicit SharedAudioSink(std::shared_ptr<Device> d) : device(std::move(d)) {}
  bool Write(std::span<const std::int16_t> samples) override { return device->Write(samples); }
  void Abort() override { device->Abort(); }
  std::shared_ptr<Device> device;
};

}  // namespace vantro::test
