#pragma once
// The mixer lines the volume sliders set: the loudspeaker's wave output and the microphone's input.

#include "platform/Mixer.h"

constexpr unsigned kSpk = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
constexpr unsigned kWaveOut = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
constexpr unsigned kWaveIn = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
constexpr unsigned kMic = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
