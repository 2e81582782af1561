#include "platform/SoundDevices.h"

#include "runtime/PSoundChannel.h"

std::vector<std::string> GetPlayDeviceNames() { return PSoundChannel::GetDeviceNames(PSoundChannel::Player); }

std::vector<std::string> GetRecordDeviceNames() { return PSoundChannel::GetDeviceNames(PSoundChannel::Recorder); }

std::string SelectDeviceName(const std::vector<std::string>& names, int index) {
  if (index >= 0 && size_t(index) < names.size()) return names[size_t(index)];
  return names.empty() ? std::string() : names.front();
}

std::string GetPlayDeviceNameByIndex(int index) { return SelectDeviceName(GetPlayDeviceNames(), index); }

std::string GetRecordDeviceNameByIndex(int index) { return SelectDeviceName(GetRecordDeviceNames(), index); }
