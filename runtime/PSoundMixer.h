#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/PSoundChannel.h"

// The volume of a sound device on the sound server: of a sink for players, of a source for
// recorders. Volumes are in the server's units, where kVolumeNorm is the device's full (100 %)
// volume and 0 is silence. Bounded like every call to the server; false without a server or device.
class PSoundMixer {
 public:
  static constexpr uint32_t kVolumeNorm = 0x10000;

  // The volume of each channel of the device ("" = the default device).
  static bool GetVolume(PSoundChannel::Directions dir, const std::string& device, std::vector<uint32_t>& channels);

  // Sets every channel of the device to the same volume.
  static bool SetVolume(PSoundChannel::Directions dir, const std::string& device, uint32_t volume);
};
