#pragma once
// Audio devices a test keeps hold of while a channel uses them: the channel owns a forwarder, the
// test owns the device.

#include "stack/endpoint/H323Channel.h"

#include <memory>

namespace vantro::test {

template <class Device>
class SharedAudioSource : public endpoint::AudioSource {
 public:
  explicit SharedAudioSource(std::shared_ptr<Device> device) : device_(std::move(device)) {}
  bool Read(std::span<std::int16_t> samples) override { return device_->Read(samples); }
  void Abort() override { device_->Abort(); }

 private:
  std::shared_ptr<Device> device_;
};

template <class Device>
class SharedAudioSink : public endpoint::AudioSink {
 public:
  explicit SharedAudioSink(std::shared_ptr<Device> device) : device_(std::move(device)) {}
  bool Write(std::span<const std::int16_t> samples) override { return device_->Write(samples); }
  void Abort() override { device_->Abort(); }

 private:
  std::shared_ptr<Device> device_;
};

}  // namespace vantro::test
