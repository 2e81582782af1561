// Any bytes given to the WAV decoder: a sound or a refusal, never a crash; what it decodes survives
// conversion to the channel format and a round trip through the encoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "runtime/PWAVFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PSound sound;
  std::string why;
  if (!PWAVFile::Decode(data, size, sound, &why)) {
    if (why.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  if (sound.GetChannels() < 1 || sound.GetSamples().size() % sound.GetChannels() != 0) std::abort();

  const PSound converted = sound.ConvertTo(1, 8000);
  if (converted.GetChannels() != 1 || converted.GetSampleRate() != 8000) std::abort();

  PSound back;
  if (!PWAVFile::Decode(PWAVFile::Encode(sound), back) || back.GetSamples() != sound.GetSamples() ||
      back.GetChannels() != sound.GetChannels() || back.GetSampleRate() != sound.GetSampleRate())
    std::abort();
  return 0;
}
