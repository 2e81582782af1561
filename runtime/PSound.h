#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

// A sound in memory: 16-bit signed samples, interleaved by channel, at a given rate. This is the form
// in which WAV files are read and sound channels play; other sample formats are converted on reading.
class PSound {
 public:
  PSound() = default;
  PSound(unsigned channels, unsigned sampleRate, std::vector<int16_t> samples = {})
      : m_channels(channels), m_sampleRate(sampleRate), m_samples(std::move(samples)) {}

  unsigned GetChannels() const { return m_channels; }
  unsigned GetSampleRate() const { return m_sampleRate; }
  const std::vector<int16_t>& GetSamples() const { return m_samples; }
  std::vector<int16_t>& GetSamples() { return m_samples; }

  // Frames (one sample per channel) and playing time.
  size_t GetFrameCount() const { return m_channels ? m_samples.size() / m_channels : 0; }
  double GetDurationSeconds() const { return m_sampleRate ? double(GetFrameCount()) / m_sampleRate : 0.0; }
  size_t GetByteCount() const { return m_samples.size() * sizeof(int16_t); }
  const void* GetData() const { return m_samples.data(); }

  // The same sound with another channel count and rate. Channels are mixed down to their average
  // and then copied to every output channel; lowering the rate filters out what the new rate cannot
  // carry, so a tone above the new half-rate does not come back as a false lower tone.
  PSound ConvertTo(unsigned channels, unsigned sampleRate) const;

  // Sine tones of the given frequencies added together, each at amplitude (a fraction of full scale,
  // 0..1), mono, with a raised-cosine fade of fadeMs at both ends so that the tone starts and stops
  // without a click.
  static PSound Tones(std::initializer_list<double> frequencies, double amplitude, unsigned durationMs,
                      unsigned sampleRate = 8000, unsigned fadeMs = 5);

 private:
  unsigned m_channels = 1;
  unsigned m_sampleRate = 8000;
  std::vector<int16_t> m_samples;
};
