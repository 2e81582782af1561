#pragma once

#include <cstdint>

#include "runtime/PSoundMixer.h"

// The system mixer as the window uses it: a volume line is named by a destination and a source
// component type, and a mixer by its number. On this system the mixer with number n is the n-th
// device of the sound layer's list for that direction; the speaker line (speakers, wave output) is
// the play device's volume and the microphone line (wave input, microphone) the record device's.
enum : unsigned {
  MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4,
  MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 7,
  MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = 0x1003,
  MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = 0x1008,
};

// Mixer values run from 0 to 65535 (full volume); the server's from 0 to its full volume
// (PSoundMixer::kVolumeNorm). Values above the range are taken as full volume.
constexpr uint32_t MixerToServerVolume(unsigned value) {
  const uint64_t v = value > 0xFFFFu ? 0xFFFFu : value;
  return uint32_t((v * PSoundMixer::kVolumeNorm + 0x7FFFu) / 0xFFFFu);
}
constexpr unsigned ServerToMixerVolume(uint32_t volume) {
  const uint64_t v = volume > PSoundMixer::kVolumeNorm ? PSoundMixer::kVolumeNorm : volume;
  return unsigned((v * 0xFFFFu + PSoundMixer::kVolumeNorm / 2) / PSoundMixer::kVolumeNorm);
}

// The line's volume (its first channel's), 0..65535; -1 when there is no such mixer, line or
// server. Waits on the sound server (bounded): call it off the user-interface thread.
int GetVolume(unsigned dst, unsigned src, unsigned mixer);

// Sets every channel of the line to value (0..65535). False when nothing was set. Waits on the
// sound server like GetVolume.
bool SetVolume(unsigned dst, unsigned src, unsigned value, unsigned mixer);
