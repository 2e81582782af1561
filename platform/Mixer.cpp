#include "platform/Mixer.h"

#include <string>
#include <vector>

#include "runtime/PSoundChannel.h"

namespace {

// The device a line of a mixer stands for; false when the line or the mixer does not exist.
bool FindLine(unsigned dst, unsigned src, unsigned mixer, PSoundChannel::Directions& dir, std::string& device) {
  if (dst == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS && src == MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT)
    dir = PSoundChannel::Player;
  else if (dst == MIXERLINE_COMPONENTTYPE_DST_WAVEIN && src == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE)
    dir = PSoundChannel::Recorder;
  else
    return false;
  const std::vector<std::string> names = PSoundChannel::GetDeviceNames(dir);
  if (mixer >= names.size()) return false;
  device = names[mixer];
  return true;
}

}  // namespace

int GetVolume(unsigned dst, unsigned src, unsigned mixer) {
  PSoundChannel::Directions dir;
  std::string device;
  std::vector<uint32_t> channels;
  if (!FindLine(dst, src, mixer, dir, device) || !PSoundMixer::GetVolume(dir, device, channels) || channels.empty())
    return -1;
  return int(ServerToMixerVolume(channels.front()));
}

bool SetVolume(unsigned dst, unsigned src, unsigned value, unsigned mixer) {
  PSoundChannel::Directions dir;
  std::string device;
  return FindLine(dst, src, mixer, dir, device) && PSoundMixer::SetVolume(dir, device, MixerToServerVolume(value));
}
