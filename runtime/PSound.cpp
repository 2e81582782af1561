#include "runtime/PSound.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

int16_t ToSample(double v) { return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L)); }

std::vector<float> MixDown(const PSound& s) {
  const unsigned ch = std::max(1u, s.GetChannels());
  const size_t frames = s.GetSamples().size() / ch;
  std::vector<float> out(frames);
  const int16_t* p = s.GetSamples().data();
  for (size_t i = 0; i < frames; ++i) {
    int sum = 0;
    for (unsigned c = 0; c < ch; ++c) sum += p[i * ch + c];
    out[i] = float(sum) / float(ch);
  }
  return out;
}

// Each output sample is the mean of the stretch of input it covers (partial samples weighted), which
// costs one pass over the input whatever the ratio. Used to come down to twice the target rate.
std::vector<float> AreaAverage(const std::vector<float>& in, double inRate, double outRate) {
  const size_t n = in.size();
  std::vector<double> prefix(n + 1, 0.0);
  for (size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + in[i];
  auto integral = [&](double x) {
    x = std::clamp(x, 0.0, double(n));
    const size_t i = std::min(size_t(x), n);
    return i < n ? prefix[i] + (x - double(i)) * in[i] : prefix[n];
  };
  const double step = inRate / outRate;
  const size_t m = size_t(double(n) / step);
  std::vector<float> out(m);
  for (size_t j = 0; j < m; ++j) out[j] = float((integral(double(j + 1) * step) - integral(double(j) * step)) / step);
  return out;
}

// Windowed-sinc low-pass (Blackman, 63 taps), delay-compensated so the output lines up with the input.
std::vector<float> LowPass(const std::vector<float>& in, double rate, double cutoff) {
  constexpr int kTaps = 63;
  constexpr int kHalf = kTaps / 2;
  double h[kTaps];
  double sum = 0;
  const double fc = cutoff / rate;
  for (int k = 0; k < kTaps; ++k) {
    const int m = k - kHalf;
    const double sinc = m == 0 ? 2 * fc : std::sin(2 * kPi * fc * m) / (kPi * m);
    const double w = 0.42 - 0.5 * std::cos(2 * kPi * k / (kTaps - 1)) + 0.08 * std::cos(4 * kPi * k / (kTaps - 1));
    h[k] = sinc * w;
    sum += h[k];
  }
  const long n = long(in.size());
  std::vector<float> out(in.size());
  for (long i = 0; i < n; ++i) {
    double acc = 0;
    for (int k = 0; k < kTaps; ++k) {
      const long j = i + k - kHalf;
      if (j >= 0 && j < n) acc += h[k] * in[size_t(j)];
    }
    out[size_t(i)] = float(acc / sum);
  }
  return out;
}

std::vector<float> Linear(const std::vector<float>& in, double inRate, double outRate) {
  const size_t n = in.size();
  if (n == 0) return {};
  const size_t m = std::max<size_t>(1, size_t(std::llround(double(n) * outRate / inRate)));
  std::vector<float> out(m);
  const double step = inRate / outRate;
  for (size_t j = 0; j < m; ++j) {
    const double x = double(j) * step;
    const size_t i = std::min(size_t(x), n - 1);
    const double f = x - double(i);
    const float next = in[std::min(i + 1, n - 1)];
    out[j] = float(in[i] * (1.0 - f) + next * f);
  }
  return out;
}

}  // namespace

PSound PSound::ConvertTo(unsigned channels, unsigned sampleRate) const {
  if (channels == 0 || sampleRate == 0 || m_channels == 0 || m_sampleRate == 0) return PSound(channels, sampleRate);
  if (channels == m_channels && sampleRate == m_sampleRate) return *this;

  std::vector<float> mono = MixDown(*this);
  double rate = m_sampleRate;
  if (sampleRate != m_sampleRate) {
    if (rate > 2.0 * sampleRate) {
      mono = AreaAverage(mono, rate, 2.0 * sampleRate);
      rate = 2.0 * sampleRate;
    }
    if (rate > sampleRate) mono = LowPass(mono, rate, 0.45 * sampleRate);
    mono = Linear(mono, rate, sampleRate);
  }

  std::vector<int16_t> out;
  out.reserve(mono.size() * channels);
  for (float v : mono) {
    const int16_t s = ToSample(v);
    for (unsigned c = 0; c < channels; ++c) out.push_back(s);
  }
  return PSound(channels, sampleRate, std::move(out));
}

PSound PSound::Tones(std::initializer_list<double> frequencies, double amplitude, unsigned durationMs,
                     unsigned sampleRate, unsigned fadeMs) {
  const size_t n = size_t(sampleRate) * durationMs / 1000;
  const size_t fade = std::min(n / 2, size_t(sampleRate) * fadeMs / 1000);
  std::vector<int16_t> samples(n);
  for (size_t i = 0; i < n; ++i) {
    double v = 0;
    for (double f : frequencies) v += std::sin(2 * kPi * f * double(i) / sampleRate);
    double envelope = 1.0;
    const size_t fromEnd = n - 1 - i;
    if (fade > 0 && std::min(i, fromEnd) < fade)
      envelope = 0.5 * (1.0 - std::cos(kPi * double(std::min(i, fromEnd)) / double(fade)));
    samples[i] = ToSample(v * amplitude * 32767.0 * envelope);
  }
  return PSound(1, sampleRate, std::move(samples));
}
